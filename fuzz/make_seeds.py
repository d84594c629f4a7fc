#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets: for fuzz_dispatch, valid replies
of every handled type, alone and in the sequences the dialogs and a self-test
produce; for fuzz_requests, shared states worth building every request from.
The seeds are committed; run this again after changing the input format of a
target (fuzz_dispatch.cpp, fuzz_requests.cpp)."""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

CATALOGUE = [1, 2, 3, 4, 5, 7, 8, 9, 11, 12, 13, 14, 15, 33, 36]

# fuzz_dispatch set-up bits
UNDECIDED, TERMINAL, PPP = 0, 1, 2
TERMINAL_FULL, TABLES_FULL, DISPATCH, NOT_RUNNING, FILLED_RECORD, STRANGER = 4, 8, 16, 32, 64, 128
# dialog actions
MARK_UNKNOWN, CLEAR_DEVICES, MONITOR_OPENS, CHOOSE_ROW, TEST_STARTS, TEST_ENDS, TARGET, KIND, REFRESH = range(9)


def reply(t, payload=b""):
    return b"Quorix" + bytes([t | 0x80, 0]) + payload


def name(text):
    return text.encode().ljust(12, b"\0")[:12]


def ip(a, b, c, d):
    return bytes([a, b, c, d])


def datagram(d, sender=0):
    """A datagram step; sender 0 unknown, 1 the target, 2 a stranger."""
    return bytes([sender]) + struct.pack("<H", len(d)) + d


def request(t, row=0, slot=0):
    return bytes([4, CATALOGUE.index(t), 0, row + 7, slot & 0xFF])


def action(a, argument=0):
    return bytes([5, a, argument])


def typed(text, enter=True):
    """Typing in the Login Terminal, then Enter."""
    return bytes([6, len(text) | (0x80 if enter else 0)]) + text


CANCEL = bytes([7])


def seed(setup, *steps):
    return bytes([setup]) + b"".join(steps)


def terminal(data, claimed=None):
    return reply(5, struct.pack("<H", len(data) if claimed is None else claimed) + data)


def status(n, state, code, wan=ip(0, 0, 0, 0), speed=0):
    return reply(36, name(n) + bytes([state, code]) + wan + struct.pack("<H", speed))


def discovery(n, address, state=0, yours=ip(10, 0, 0, 1)):
    return reply(1, name(n) + address + bytes([state]) + yours)


PPP_START = b"\x7e\xff\x7d\x23\xc0\x21\x01\x02"

config_block = bytearray((i * 7 + 3) & 0xFF for i in range(512))
config_block[131] = 1
config_block[164:169] = bytes([0, 3, 3, 5, 60])
config_block = bytes(config_block)

DISPATCH_SEEDS = {
    "discovery": seed(0, datagram(discovery("BOX7", ip(10, 0, 0, 9), 5)),
                      datagram(discovery("ABCDEFGHIJKL", ip(192, 168, 1, 254), 7)),
                      datagram(discovery("BOX7", ip(10, 0, 0, 9), 5)),
                      request(2, 0), request(13, 1), action(CHOOSE_ROW, 0), request(33)),
    "discovery_full": seed(TABLES_FULL, datagram(discovery("NEW", ip(10, 0, 0, 50))),
                           datagram(discovery("NEWER", ip(10, 0, 0, 51))), request(13, 49),
                           action(CLEAR_DEVICES), datagram(discovery("AGAIN", ip(10, 0, 0, 52)))),
    "config": seed(STRANGER, request(2), datagram(reply(2, config_block), 1), request(7),
                   datagram(reply(7)), request(5, slot=2)),
    "config_stranger": seed(STRANGER | FILLED_RECORD, request(2),
                            datagram(reply(2, config_block), 2), datagram(reply(2, b"\1" * 100))),
    "dial_ok": seed(0, request(3), datagram(reply(3, b"\x00"))),
    "dial_fail": seed(0, datagram(reply(3, b"\x04")), datagram(reply(9)), datagram(reply(3, b"\xc8"))),
    "login": seed(0, request(4), datagram(reply(4, b"\x00")), datagram(reply(9)),
                  datagram(reply(4, b"\x03"))),
    "terminal_login": seed(FILLED_RECORD, datagram(reply(3, b"\x00")), datagram(terminal(b"login: ")),
                           typed(b"la", enter=False), action(REFRESH), typed(b"lab"),
                           datagram(terminal(b"\r\nPassword:")), typed(b"secret"),
                           datagram(terminal(PPP_START)), datagram(reply(4, b"\x00")), datagram(reply(9))),
    "terminal_cancel": seed(0, datagram(terminal(b"login: ")), typed(b"x" * 32), CANCEL,
                            datagram(reply(9))),
    "terminal_no_room": seed(0, datagram(terminal(b"a:")), typed(b"1" * 16),
                             datagram(terminal(b"b:")), typed(b"2" * 16), datagram(terminal(b"c:")),
                             typed(b"3" * 16), datagram(terminal(b"d:")), typed(b"4" * 16),
                             datagram(terminal(b"e:")), typed(b"5"), CANCEL),
    "terminal_claims_more": seed(0, datagram(terminal(b"Password:", 300)), request(5, slot=-1)),
    "terminal_ppp_first": seed(0, datagram(terminal(PPP_START)), datagram(terminal(b"more")),
                               request(15)),
    "terminal_full": seed(TERMINAL_FULL | TERMINAL, datagram(terminal(b"x" * 100)), action(REFRESH),
                          datagram(discovery("INSIDE", ip(10, 0, 0, 7))), datagram(terminal(b"y" * 10))),
    "terminal_full_nested": seed(TERMINAL_FULL, datagram(terminal(b"z" * 90)),
                                 datagram(reply(3, b"\x00")), datagram(terminal(b"login: ")),
                                 action(REFRESH), CANCEL),
    "reset": seed(DISPATCH, request(8), datagram(reply(8)), datagram(reply(8)),
                  datagram(status("BOX7", 0, 0))),
    "reset_nested": seed(DISPATCH, request(8), datagram(reply(8)), request(8), datagram(reply(8)),
                         datagram(reply(8)), request(8), datagram(reply(8))),
    "acks": seed(DISPATCH, *[request(t) + datagram(reply(t)) for t in (7, 11, 12, 13, 14, 15)]),
    "firmware": seed(0, request(33),
                     datagram(reply(33, b"\0" * 16 + b"V2.31".ljust(16, b"\0") + b"MODEM 1.0".ljust(16, b"\0")))),
    "status": seed(0, action(MONITOR_OPENS), request(36),
                   datagram(status("BOX7", 5, 0, ip(203, 0, 113, 45), 33600)),
                   datagram(status("BOX8", 7, 3)), datagram(status("BOX7", 3, 0, speed=14400)),
                   datagram(status("BOX9", 25, 99)), datagram(discovery("BOX7", ip(10, 0, 0, 9))),
                   action(MARK_UNKNOWN), datagram(status("BOX8", 9, 0))),
    "status_full": seed(TABLES_FULL, datagram(status("ONE", 6, 4)), datagram(status("TWO", 12, 0)),
                        action(MARK_UNKNOWN)),
    "self_test": seed(DISPATCH, action(TEST_ENDS), action(TEST_STARTS), request(3),
                      datagram(reply(3, b"\x00")), datagram(terminal(b"login: ")), typed(b"me"),
                      datagram(terminal(PPP_START)), datagram(reply(4, b"\x00")), datagram(reply(9))),
    "not_running": seed(NOT_RUNNING, datagram(reply(3, b"\x00")), datagram(terminal(b"login: ")),
                        datagram(reply(4, b"\x00"))),
    "requests": seed(PPP | FILLED_RECORD, *[request(t, row=-3 + t % 5, slot=t % 6 - 1) for t in CATALOGUE]),
    "requests_ignored": seed(0, datagram(b"Quorix\x01\x00"), datagram(reply(37, b"\x41" * 512)),
                             datagram(reply(6, b"\x41" * 20)), datagram(b"Quorix")),
}


def requests_seed(type_selector=0, raw=0, row=0, slot=0, kind=0xFF, target=None, line=None,
                  rows=(), in_use=None, record=b""):
    out = bytes([type_selector, raw, row, slot & 0xFF, kind])
    out += b"\x00" if target is None else b"\x01" + target
    out += b"\x00" if line is None else bytes([0x80 | len(line)]) + line
    out += bytes([len(rows)])
    if rows:
        out += bytes([len(rows) if in_use is None else in_use])
    for n, address, state in rows:
        out += n + address + bytes([state])
    return out + record


def script_record():
    r = bytearray(512)
    r[2:14] = name("BOX7")
    r[18:22] = ip(10, 0, 0, 77)
    r[74:90] = b"0123456789012345"
    r[131] = 1
    r[132:164] = b"login: \0ssword: \0".ljust(32, b"\0")
    r[164:169] = bytes([0, 3, 9, 48, 40])
    r[169:217] = b"lab" + b"secret" + b"x" * 39
    return bytes(r)


def ppp_record():
    r = bytearray(512)
    r[131] = 2
    r[132:164] = b"u" * 32
    r[164:217] = b"p" * 53
    return bytes(r)


REQUESTS_SEEDS = {
    "empty_state": requests_seed(),
    "rows": requests_seed(row=1, target=ip(10, 0, 0, 9),
                          rows=[(name("BOX7"), ip(10, 0, 0, 9), 5), (b"ABCDEFGHIJKL", ip(192, 168, 1, 254), 9),
                                (b"\x01\x02tab\tname\x7f", ip(0, 0, 0, 0), 0)]),
    "stale_row": requests_seed(row=2, rows=[(name("A"), ip(1, 2, 3, 4), 1)] * 3, in_use=1),
    "outside": requests_seed(row=0xC3, rows=[(name("X"), ip(1, 2, 3, 4), 1)]),
    "script": requests_seed(slot=2, kind=1, record=script_record()),
    "script_bad_slot": requests_seed(slot=3, kind=1, record=script_record()),
    "ppp": requests_seed(kind=2, record=ppp_record()),
    "unrecorded_line": requests_seed(slot=1, kind=1, line=b"a line with no room", record=script_record()),
    "unrecorded_long": requests_seed(kind=1, line=b"L" * 32, record=script_record()),
    "unknown_type": requests_seed(type_selector=250, raw=6, record=b"\xff" * 512),
}


def write(directory, seeds):
    out = os.path.join(HERE, "corpus", directory)
    os.makedirs(out, exist_ok=True)
    for label, data in seeds.items():
        with open(os.path.join(out, label), "wb") as f:
            f.write(data)
    print(f"wrote {len(seeds)} seeds to {out}")


def main():
    write("dispatch", DISPATCH_SEEDS)
    write("requests", REQUESTS_SEEDS)


if __name__ == "__main__":
    main()
