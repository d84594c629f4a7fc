#include "devices/octet_field.h"

namespace varn {

namespace {
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
} // namespace

OctetTyping scanOctetTyping(std::string_view firstLine) {
    const std::string_view text = firstLine.substr(0, 3);
    OctetTyping result;
    std::size_t scanned = 0;
    bool dot = false;
    for (; scanned < text.size(); ++scanned) {
        const char c = text[scanned];
        if (c == '.') {
            dot = true;
            break;
        }
        if (!isDigit(c)) {
            result.invalid = true;
            result.cut = true;
            result.keep = int(scanned);
            return result;
        }
    }
    if (text.size() == 3 || dot) {
        result.moveOn = true;
        if (dot) {
            result.cut = true;
            result.keep = int(scanned);
            result.loneDot = scanned == 0;
        }
    }
    return result;
}

std::optional<std::uint8_t> wholeOctet(std::string_view text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    const std::string_view digits = text.substr(begin, end - begin);
    if (digits.empty() || digits.size() > 3)
        return std::nullopt;
    int value = 0;
    for (char c : digits) {
        if (!isDigit(c))
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > 255)
        return std::nullopt;
    return std::uint8_t(value);
}

} // namespace varn
