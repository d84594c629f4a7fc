#pragma once
// The rules of the configuration dialogs' fields, apart from the widgets: how
// the address fields read and move on, how the Advanced settings are checked,
// the old-password check, and how the fields are stored into the block.

#include "protocol/device_config.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varn {

// An alternative number is written with a terminator.
inline constexpr std::size_t kAlternativeNumberMaxText = DeviceConfig::kAlternativeNumberSize - 1;
// The Advanced settings' ranges, each from 0.
inline constexpr unsigned kIdleMinutesMax = 127;
inline constexpr unsigned kAlternativeTriesMax = 100;

// --- Address fields of the configuration dialog ---

// What one change of an octet field's text asks for.
struct OctetChange {
    std::optional<std::string> text; // the field becomes this
    bool moveOn = false;             // on to the next field
    bool caretToEnd = false;
};

// Fields 0 to 2: three characters, or a final ".", move on (the "." removed). The
// fourth: three or more characters, or a final ".", put the caret at the end (the
// "." removed). A lone "." in a field that the focus has just reached because the
// field before it got three digits ends that number: it is dropped and the focus
// stays.
OctetChange octetFieldChange(std::string_view text, int field, bool reachedByDigits);

// The octet an address field saves: its first 4 characters read as C's atoi
// does (leading white space, an optional sign, the digits up to the first
// non-digit; no digits read as 0). Nothing when the value, taken as unsigned, is
// above 255.
std::optional<std::uint8_t> savedOctet(std::string_view text);

// --- The configuration dialog's fields and how Save and Verify store them ---

struct ConfigFields {
    std::string deviceName;
    std::array<std::string, 4> octets; // first to fourth
    std::string phoneNumber;
    std::string userName;
    std::string password;
};

struct SaveResult {
    enum Outcome { Stored, NeedAccount, BadOctet };
    Outcome outcome = Stored;
    int octet = -1; // the refused octet field (0 = first) when BadOctet
};

// Save: checks and stores in order, each step storing before the next is checked:
// the account (PPP mode needs a user name), the name, the octets fourth to first,
// the phone number, and in PPP mode the account.
SaveResult storeConfigFields(DeviceConfig& config, const ConfigFields& fields);

// Verify setting: the phone number, and what the self-test dials with: the user
// name if given, the first 20 characters of the password if given. A block in
// terminal mode holds its login script where the account would go: the account
// is not written there.
void storeVerifyFields(DeviceConfig& config, const ConfigFields& fields);

// --- Advanced settings ---

// An unsigned decimal number: blanks and tabs around the digits, at least one
// digit, no sign, nothing else (so an empty field is refused). Values too large
// for 64 bits read as the largest one.
std::optional<std::uint64_t> parseUnsignedDecimal(std::string_view text);

struct AdvanceFields {
    std::string idleMinutes;
    std::string alternative1;
    std::string alternative2;
    std::string tries;
    bool blindDial = false;
    bool useAlternativeNumbers = false;
};

struct AdvanceCheck {
    enum Field { None, IdleMinutes, Alternative2, Alternative1, Tries };
    Field failed = None;
    std::string message; // when failed
    std::uint8_t idleMinutes = 0;
    std::uint8_t tries = 0;
};

// Checks idle minutes, alternative numbers #2 and #1 and the tries, in that order,
// stopping at the first failure.
AdvanceCheck checkAdvanceFields(const AdvanceFields& fields);

// Stores checked fields: the blind-dial bit alone of dialOptions, each
// alternative number followed by a NUL.
void storeAdvanceFields(DeviceConfig& config, const AdvanceFields& fields,
                        const AdvanceCheck& checked);

// --- Password ---

// The typed old password against the stored one (at most 4 characters).
bool oldPasswordMatches(const DeviceConfig& config, std::string_view typed);

} // namespace varn
