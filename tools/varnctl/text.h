#pragma once
// Small text helpers shared by the printed and the saved forms.

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

// Without blanks and tabs at either end.
inline std::string trimBlanks(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace varnctl
