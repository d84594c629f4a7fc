#include "codec.h"

#include <cstdio>
#include <cstring>

namespace sim {

std::string dotted(std::uint32_t a) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", unsigned(a >> 24), unsigned((a >> 16) & 255),
                  unsigned((a >> 8) & 255), unsigned(a & 255));
    return text;
}

std::optional<std::uint32_t> parseDotted(const std::string& text) {
    std::uint32_t value = 0;
    int octets = 0;
    std::size_t i = 0;
    while (octets < 4) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9')
            return std::nullopt;
        unsigned octet = 0;
        std::size_t digits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            octet = octet * 10 + unsigned(text[i] - '0');
            if (++digits > 3 || octet > 255)
                return std::nullopt;
            ++i;
        }
        value = (value << 8) | octet;
        ++octets;
        if (octets < 4) {
            if (i >= text.size() || text[i] != '.')
                return std::nullopt;
            ++i;
        }
    }
    if (i != text.size())
        return std::nullopt;
    return value;
}

std::uint32_t readAddress(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           p[3];
}

void writeAddress(std::uint8_t* p, std::uint32_t a) {
    p[0] = std::uint8_t(a >> 24);
    p[1] = std::uint8_t(a >> 16);
    p[2] = std::uint8_t(a >> 8);
    p[3] = std::uint8_t(a);
}

std::uint16_t readLe16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | (p[1] << 8));
}

void writeLe16(std::uint8_t* p, std::uint16_t value) {
    p[0] = std::uint8_t(value & 255);
    p[1] = std::uint8_t(value >> 8);
}

std::string readText(const std::uint8_t* p, std::size_t width) {
    std::size_t n = 0;
    while (n < width && p[n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

void writeText(std::uint8_t* p, std::size_t width, const std::string& text) {
    std::size_t n = text.size() < width ? text.size() : width;
    std::memcpy(p, text.data(), n);
    std::memset(p + n, 0, width - n);
}

namespace {

struct CatalogueEntry {
    std::uint8_t type;
    std::size_t length;
    const char* name;
};

constexpr CatalogueEntry kCatalogue[] = {
    {1, 8, "discovery"},
    {2, 20, "read configuration"},
    {3, 24, "dial"},
    {4, 61, "log in"},
    {5, 42, "terminal response"},
    {7, 520, "write configuration"},
    {8, 8, "reset"},
    {9, 8, "hang up"},
    {11, 8, "begin configuring"},
    {12, 8, "configuration abandoned"},
    {13, 28, "set IP address"},
    {14, 8, "configuration dialog cancelled"},
    {15, 60, "PPP account"},
    {33, 8, "firmware versions"},
    {36, 8, "status poll"},
};

const CatalogueEntry* findEntry(std::uint8_t type) {
    for (const auto& e : kCatalogue)
        if (e.type == type)
            return &e;
    return nullptr;
}

// A text field is its characters, then nothing but NULs.
bool paddedText(const std::uint8_t* p, std::size_t width) {
    std::size_t n = 0;
    while (n < width && p[n] != 0)
        ++n;
    for (; n < width; ++n)
        if (p[n] != 0)
            return false;
    return true;
}

bool allZero(const std::uint8_t* p, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i)
        if (p[i] != 0)
            return false;
    return true;
}

// Printable excerpt of bytes from the ISP or the user, for the log.
std::string excerpt(const std::uint8_t* p, std::size_t n, std::size_t limit = 40) {
    std::string out = "\"";
    for (std::size_t i = 0; i < n && i < limit; ++i) {
        unsigned char c = p[i];
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '"' || c == '\\')
            out += std::string("\\") + char(c);
        else if (c >= 32 && c < 127)
            out += char(c);
        else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    out += n > limit ? "\"..." : "\"";
    return out;
}

// A text field from the network, quoted and escaped like an excerpt.
std::string quoted(const std::string& s) {
    return excerpt(reinterpret_cast<const std::uint8_t*>(s.data()), s.size(), s.size());
}

const char* replyName(std::uint8_t type) {
    switch (type) {
    case 1:
        return "appliance here";
    case 2:
        return "configuration block";
    case 3:
        return "dial result";
    case 4:
        return "login result";
    case 5:
        return "terminal data";
    case 33:
        return "firmware versions";
    case 36:
        return "status row";
    default:
        return *requestName(type) ? "acknowledgement" : "";
    }
}

} // namespace

const char* requestName(std::uint8_t type) {
    const CatalogueEntry* e = findEntry(type);
    return e ? e->name : "";
}

std::size_t requestLength(std::uint8_t type) {
    const CatalogueEntry* e = findEntry(type);
    return e ? e->length : 0;
}

std::optional<Request> decodeRequest(const std::uint8_t* data, std::size_t length,
                                     std::string* error) {
    auto fail = [&](std::string why) -> std::optional<Request> {
        if (error)
            *error = std::move(why);
        return std::nullopt;
    };
    if (length < kHeader)
        return fail("shorter than the 8-byte header (" + std::to_string(length) + " bytes)");
    if (std::memcmp(data, kMagic, 6) != 0)
        return fail("does not begin with the magic");
    std::uint8_t type = data[6];
    if (type & kReplyFlag)
        return fail("is a reply (type " + std::to_string(type) + "), not a request");
    const CatalogueEntry* entry = findEntry(type);
    if (!entry)
        return fail("request type " + std::to_string(type) + " is not in the catalogue");
    if (length != entry->length)
        return fail(std::string("request ") + std::to_string(type) + " (" + entry->name +
                    ") must be " + std::to_string(entry->length) + " bytes, got " +
                    std::to_string(length));
    if (data[7] != 0)
        return fail("byte 7 of the header is " + std::to_string(data[7]) + ", not 0");

    Request r;
    r.type = type;
    r.bytes.assign(data, data + length);
    const std::uint8_t* p = data;
    switch (type) {
    case 2: {
        // The name field of the utility's list row: space-padded, never NUL.
        for (int i = 0; i < 12; ++i)
            if (p[8 + i] == 0)
                return fail("request 2: the name field must be space-padded, found a NUL");
        std::string name(reinterpret_cast<const char*>(p + 8), 12);
        while (!name.empty() && name.back() == ' ')
            name.pop_back();
        r.name = name;
        break;
    }
    case 3:
        if (!paddedText(p + 8, 16))
            return fail("request 3: bytes after the phone number are not all NUL");
        r.phoneNumber = readText(p + 8, 16);
        break;
    case 4:
        r.loginKind = p[8];
        if (r.loginKind == 2) {
            if (!paddedText(p + 9, 32) || !paddedText(p + 41, 20))
                return fail("request 4: account text fields are not NUL-padded");
            r.userName = readText(p + 9, 32);
            r.password = readText(p + 41, 20);
        } else if (!allZero(p + 9, 52)) {
            return fail("request 4: login kind " + std::to_string(r.loginKind) +
                        " must carry zeros in the account fields");
        }
        break;
    case 5: {
        r.responseLength = readLe16(p + 8);
        std::size_t travels = r.responseLength < 32 ? r.responseLength : 32;
        if (!allZero(p + 10 + travels, 32 - travels) || !paddedText(p + 10, travels))
            return fail("request 5: bytes beyond the response of length " +
                        std::to_string(r.responseLength) + " are not all NUL");
        r.response = readText(p + 10, travels);
        break;
    }
    case 13:
        if (!paddedText(p + 8, 12))
            return fail("request 13: the name field must be NUL-padded");
        r.name = readText(p + 8, 12);
        r.currentAddress = readAddress(p + 20);
        r.newAddress = readAddress(p + 24);
        break;
    case 15:
        if (!paddedText(p + 8, 32) || !paddedText(p + 40, 20))
            return fail("request 15: account text fields are not NUL-padded");
        r.userName = readText(p + 8, 32);
        r.password = readText(p + 40, 20);
        break;
    default:
        break;
    }
    return r;
}

Bytes makeReply(std::uint8_t type, std::size_t payloadLength) {
    Bytes b(kHeader + payloadLength, 0);
    std::memcpy(b.data(), kMagic, 6);
    b[6] = std::uint8_t(type | kReplyFlag);
    b[7] = 0;
    return b;
}

std::string printable(const std::string& line) {
    std::string out;
    out.reserve(line.size());
    for (unsigned char c : line) {
        if (c >= 32 && c < 127) {
            out += char(c);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

std::string describe(const std::uint8_t* data, std::size_t length) {
    if (length < 7 || std::memcmp(data, kMagic, 6) != 0)
        return "not a datagram of this protocol: " + excerpt(data, length, 16);
    std::uint8_t raw = data[6];
    std::uint8_t type = raw & 0x7F;
    bool reply = raw & kReplyFlag;
    const char* name = reply ? replyName(type) : requestName(type);
    std::string out = std::string(reply ? "reply " : "request ") + std::to_string(type) + " (" +
                      (*name ? name : "unknown") + ")";
    auto has = [&](std::size_t end) { return length >= end; };
    const std::uint8_t* p = data;
    if (!reply) {
        std::string why;
        auto r = decodeRequest(data, length, &why);
        if (!r)
            return out + " MALFORMED: " + why;
        switch (type) {
        case 2:
        case 13:
            out += " name=" + quoted(r->name);
            if (type == 13)
                out += " current=" + dotted(r->currentAddress) + " new=" + dotted(r->newAddress);
            break;
        case 3:
            out += " phone=" + quoted(r->phoneNumber);
            break;
        case 4:
            out += " kind=" + std::to_string(r->loginKind);
            if (r->loginKind == 2)
                out += " user=" + quoted(r->userName);
            break;
        case 5:
            out += " length=" + std::to_string(r->responseLength) + " text=" +
                   excerpt(reinterpret_cast<const std::uint8_t*>(r->response.data()),
                           r->response.size());
            break;
        case 7:
            out += " name=" + quoted(readText(p + 10, 12));
            break;
        case 15:
            out += " user=" + quoted(r->userName);
            break;
        default:
            break;
        }
        return out;
    }
    switch (type) {
    case 1:
        if (has(29))
            out += " name=" + quoted(readText(p + 8, 12)) +
                   " address=" + dotted(readAddress(p + 20)) + " state=" + std::to_string(p[24]) +
                   " yours=" + dotted(readAddress(p + 25));
        break;
    case 2:
        if (has(520))
            out += " block of " + quoted(readText(p + 10, 12));
        break;
    case 3:
    case 4:
        if (has(9))
            out += " result=" + std::to_string(p[8]);
        break;
    case 5:
        if (has(10)) {
            std::size_t n = readLe16(p + 8);
            std::size_t avail = length - 10;
            out +=
                " length=" + std::to_string(n) + " data=" + excerpt(p + 10, n < avail ? n : avail);
        }
        break;
    case 33:
        if (has(56))
            out += " firmware=" + quoted(readText(p + 24, 16)) +
                   " modem=" + quoted(readText(p + 40, 16));
        break;
    case 36:
        if (has(28))
            out += " name=" + quoted(readText(p + 8, 12)) + " state=" + std::to_string(p[20]) +
                   " result=" + std::to_string(p[21]) + " wan=" + dotted(readAddress(p + 22)) +
                   " speed=" + std::to_string(readLe16(p + 26));
        break;
    default:
        break;
    }
    return out;
}

} // namespace sim
