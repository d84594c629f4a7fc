#pragma once
// Small text helpers shared by the printed and the saved forms.

#include <cstddef>
#include <optional>
#include <string>

namespace varnctl {

// The appliances' texts are 8-bit characters; JSON wants UTF-8. Latin-1 maps
// each byte to one character, as the dialogs show them.
inline std::string latin1ToUtf8(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += char(c);
        } else {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Where `text` stops being UTF-8 (a byte offset), or nothing when it is UTF-8
// throughout: no stray continuation bytes, no overlong forms, no surrogates,
// nothing above U+10FFFF.
inline std::optional<std::size_t> utf8Error(const std::string& text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = byte(i);
        std::size_t length = 0;
        unsigned low = 0x80, high = 0xBF; // the range of the second byte
        if (c < 0x80)
            length = 1;
        else if (c >= 0xC2 && c <= 0xDF)
            length = 2;
        else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            low = c == 0xE0 ? 0xA0 : 0x80;
            high = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            low = c == 0xF0 ? 0x90 : 0x80;
            high = c == 0xF4 ? 0x8F : 0xBF;
        } else
            return i;
        if (i + length > text.size())
            return i;
        for (std::size_t k = 1; k < length; ++k) {
            const unsigned b = byte(i + k);
            if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF))
                return i;
        }
        i += length;
    }
    return std::nullopt;
}

// The appliance's 8-bit text of UTF-8 `text`; nothing when it is not UTF-8 or
// holds a character beyond Latin-1.
inline std::optional<std::string> utf8ToLatin1(const std::string& text) {
    if (utf8Error(text))
        return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += char(c);
        } else if (c == 0xC2 || c == 0xC3) {
            out += char(((c & 0x03) << 6) | (static_cast<unsigned char>(text[++i]) & 0x3F));
        } else {
            return std::nullopt;
        }
    }
    return out;
}

// Without blanks and tabs at either end.
inline std::string trimBlanks(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace varnctl
