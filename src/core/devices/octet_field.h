#pragma once
// The rules of the four address fields of the Set Device IP Address dialog,
// apart from the widgets.

#include <cstdint>
#include <optional>
#include <string_view>

namespace varn {

// What one change of an octet field's text asks for.
struct OctetTyping {
    bool invalid = false; // a character other than a digit or "." was typed
    bool moveOn = false;  // three characters, or a ".": on to the next control
    bool cut = false;     // the text becomes its first `keep` characters
    int keep = 0;
    bool loneDot = false; // the text was a "." and nothing before it
};

// Scans the field's first line (only its first three characters count): a "."
// ends the scan; any other character that is not a digit is invalid and cut off
// with what follows it; three characters or a "." move on, the "." removed.
OctetTyping scanOctetTyping(std::string_view firstLine);

// The octet a field holds when it is saved: a whole number 0 to 255 of at most
// three digits, blanks around it allowed; nothing when the field is empty or
// holds anything else.
std::optional<std::uint8_t> wholeOctet(std::string_view text);

} // namespace varn
