#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_dispatch: valid replies of every handled type,
alone and in the sequences a self-test produces. Run it again after changing the
input format of fuzz_dispatch.cpp."""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "dispatch")


def reply(t, payload=b""):
    return b"Quorix" + bytes([t | 0x80, 0]) + payload


def name(text):
    return text.encode().ljust(12, b"\0")[:12]


def ip(a, b, c, d):
    return bytes([a, b, c, d])


def record(datagram, request=None):
    r = struct.pack("<H", len(datagram)) + datagram
    if request is not None:
        r += bytes([request])
    return r


def seed(setup, *records):
    return bytes([setup]) + b"".join(records)


def terminal(data, claimed=None):
    return reply(5, struct.pack("<H", len(data) if claimed is None else claimed) + data)


def status(n, state, code, wan=ip(0, 0, 0, 0), speed=0):
    return reply(36, name(n) + bytes([state, code]) + wan + struct.pack("<H", speed))


config_block = bytes((i * 7 + 3) & 0xFF for i in range(512))
config_block = bytearray(config_block)
config_block[131] = 1
config_block[164:169] = bytes([0, 3, 3, 5, 60])
config_block = bytes(config_block)

SEEDS = {
    "discovery": seed(0, record(reply(1, name("BOX7") + ip(10, 0, 0, 9) + b"\x05" + ip(10, 0, 0, 1)), 1),
                      record(reply(1, name("ABCDEFGHIJKL") + ip(192, 168, 1, 254) + b"\x07" + ip(10, 0, 0, 1)), 2)),
    "discovery_full": seed(8, record(reply(1, name("NEW") + ip(10, 0, 0, 50) + b"\x00" + ip(10, 0, 0, 1))),
                           record(reply(1, name("NEWER") + ip(10, 0, 0, 51) + b"\x00" + ip(10, 0, 0, 1)), 13)),
    "config": seed(0, record(reply(2, config_block), 5), record(reply(7), 7)),
    "dial_ok": seed(0, record(reply(3, b"\x00"), 3)),
    "dial_fail": seed(0, record(reply(3, b"\x04")), record(reply(3, b"\xc8"))),
    "login": seed(0, record(reply(4, b"\x00"), 4), record(reply(9), 9), record(reply(4, b"\x03"))),
    "terminal_text": seed(0, record(terminal(b"login: ")), record(terminal(b"Password:", 300), 5)),
    "terminal_ok": seed(32 | 1, record(terminal(b"Welcome\r\n")), record(terminal(b"\x7e\xff\x7d\x23\xc0\x21\x01"))),
    "terminal_ppp": seed(0, record(terminal(b"\x7e\xff\x7d\x23\xc0\x21\x7d\x21")), record(terminal(b"more"), 15)),
    "terminal_full": seed(4 | 1, record(terminal(b"x" * 100)), record(terminal(b"y" * 10))),
    "acks": seed(16, *[record(reply(t), t) for t in (7, 8, 11, 12, 13, 14, 15)]),
    "firmware": seed(0, record(reply(33, b"\0" * 16 + b"V2.31".ljust(16, b"\0") + b"MODEM 1.0".ljust(16, b"\0")), 33)),
    "status": seed(0, record(status("BOX7", 5, 0, ip(203, 0, 113, 45), 33600), 36),
                   record(status("BOX8", 7, 3)), record(status("BOX7", 3, 0, speed=14400)),
                   record(status("BOX9", 25, 99))),
    "status_full": seed(8, record(status("ONE", 6, 4)), record(status("TWO", 12, 0))),
    "self_test": seed(16, record(reply(3, b"\x00"), 5), record(terminal(b"login: ")),
                      record(terminal(b"\x7e\xff\x7d\x23\x01\x02\x03\x04")), record(reply(4, b"\x00")),
                      record(reply(9), 8)),
    "requests_ignored": seed(0, record(b"Quorix\x01\x00"), record(reply(37, b"\x41" * 512)),
                             record(reply(6, b"\x41" * 20)), record(b"Quorix")),
}


def main():
    os.makedirs(OUT, exist_ok=True)
    for label, data in SEEDS.items():
        with open(os.path.join(OUT, label), "wb") as f:
            f.write(data)
    print(f"wrote {len(SEEDS)} seeds to {OUT}")


if __name__ == "__main__":
    main()
