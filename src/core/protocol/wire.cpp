#include "protocol/wire.h"

#include <cstdio>

namespace varn {

std::uint32_t makeAddress(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    // Network order means the first octet lies first in memory.
    const std::uint8_t bytes[4] = {a, b, c, d};
    std::uint32_t address = 0;
    auto* out = reinterpret_cast<std::uint8_t*>(&address);
    for (int i = 0; i < 4; ++i)
        out[i] = bytes[i];
    return address;
}

std::uint8_t addressOctet(std::uint32_t address, int i) {
    if (i < 0 || i > 3)
        return 0;
    return reinterpret_cast<const std::uint8_t*>(&address)[i];
}

std::size_t dottedText(std::uint32_t address, char (&out)[16]) {
    const int n =
        std::snprintf(out, sizeof out, "%u.%u.%u.%u", addressOctet(address, 0),
                      addressOctet(address, 1), addressOctet(address, 2), addressOctet(address, 3));
    return n > 0 ? std::size_t(n) : 0;
}

std::string dottedText(std::uint32_t address) {
    char text[16];
    return std::string(text, dottedText(address, text));
}

namespace {

bool isEnd(char c) {
    return c == '\0' || c == ' ' || c == '\t';
}

int digitValue(char c, unsigned base) {
    unsigned v;
    if (c >= '0' && c <= '9')
        v = unsigned(c - '0');
    else if (c >= 'a' && c <= 'f')
        v = unsigned(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F')
        v = unsigned(c - 'A' + 10);
    else
        return -1;
    return v < base ? int(v) : -1;
}

} // namespace

std::uint32_t parseDotted(const char* text, std::size_t maxLength) {
    if (text == nullptr)
        return kBroadcastAddress;
    // Up to four numbers separated by dots, each decimal, octal (leading 0) or
    // hexadecimal (leading 0x); the last one fills the remaining bytes.
    std::uint32_t parts[4] = {};
    int count = 0;
    std::size_t i = 0;
    auto at = [&](std::size_t k) { return k < maxLength ? text[k] : '\0'; };
    for (;;) {
        if (digitValue(at(i), 10) < 0)
            return kBroadcastAddress;
        unsigned base = 10;
        if (at(i) == '0') {
            base = 8;
            ++i;
            if (at(i) == 'x' || at(i) == 'X') {
                base = 16;
                ++i;
                if (digitValue(at(i), 16) < 0)
                    return kBroadcastAddress;
            }
        }
        std::uint64_t value = 0;
        for (int d; (d = digitValue(at(i), base)) >= 0; ++i) {
            value = value * base + unsigned(d);
            if (value > 0xFFFFFFFFull)
                return kBroadcastAddress;
        }
        if (count == 4)
            return kBroadcastAddress;
        parts[count++] = std::uint32_t(value);
        if (at(i) == '.') {
            ++i;
            continue;
        }
        if (!isEnd(at(i)))
            return kBroadcastAddress;
        break;
    }

    std::uint32_t host = 0; // host order while assembling
    switch (count) {
    case 1:
        host = parts[0];
        break;
    case 2:
        if (parts[0] > 0xFF || parts[1] > 0xFFFFFF)
            return kBroadcastAddress;
        host = parts[0] << 24 | parts[1];
        break;
    case 3:
        if (parts[0] > 0xFF || parts[1] > 0xFF || parts[2] > 0xFFFF)
            return kBroadcastAddress;
        host = parts[0] << 24 | parts[1] << 16 | parts[2];
        break;
    default:
        for (int k = 0; k < 4; ++k)
            if (parts[k] > 0xFF)
                return kBroadcastAddress;
        host = parts[0] << 24 | parts[1] << 16 | parts[2] << 8 | parts[3];
        break;
    }
    return makeAddress(std::uint8_t(host >> 24), std::uint8_t(host >> 16), std::uint8_t(host >> 8),
                       std::uint8_t(host));
}

std::uint16_t readLe16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | p[1] << 8);
}

void writeLe16(std::uint8_t* p, std::uint16_t value) {
    p[0] = std::uint8_t(value & 0xFF);
    p[1] = std::uint8_t(value >> 8);
}

} // namespace varn
