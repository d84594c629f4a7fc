#include "config/field_rules.h"

#include "protocol/wire.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace varn {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
// White space as C's atoi skips it.
bool isCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string rangeMessage(int low, int high) {
    return "Please enter an integer between " + std::to_string(low) + " and " +
           std::to_string(high) + ".";
}

} // namespace

namespace {

// Writes at most maxChars characters (and never more than width) into a field,
// followed by one NUL when they leave room for it. The bytes after that NUL keep
// their values.
void writeTerminatedText(std::uint8_t* field, std::size_t width, std::string_view text,
                         std::size_t maxChars) {
    const std::size_t end = std::min(text.find('\0'), text.size());
    const std::size_t n = std::min({end, maxChars, width});
    std::memcpy(field, text.data(), n);
    if (n < width)
        field[n] = 0;
}

} // namespace

OctetChange octetFieldChange(std::string_view text, int field, bool reachedByDigits) {
    OctetChange change;
    const bool dot = !text.empty() && text.back() == '.';
    if (text == "." && reachedByDigits) {
        // "192." typed in one go: the dot ends the number that moved us here.
        change.text = std::string();
        return change;
    }
    const bool last = field >= 3;
    if ((last ? text.size() >= 3 : text.size() == 3) || dot) {
        if (dot)
            change.text = std::string(text.substr(0, text.size() - 1));
        change.moveOn = !last;
        change.caretToEnd = last;
    }
    return change;
}

std::optional<std::uint8_t> savedOctet(std::string_view text) {
    text = text.substr(0, 4);
    std::size_t i = 0;
    while (i < text.size() && isCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int value = 0;
    for (; i < text.size() && isDigit(text[i]); ++i)
        value = value * 10 + (text[i] - '0');
    if (negative)
        value = -value;
    // Taken as unsigned, a negative value is above 255 too.
    if (value < 0 || value > 255)
        return std::nullopt;
    return std::uint8_t(value);
}

SaveResult storeConfigFields(DeviceConfig& config, const ConfigFields& fields) {
    const bool ppp = config.inLoginMode(LoginMode::Ppp);
    if (ppp && fields.userName.empty())
        return {SaveResult::NeedAccount, -1};
    config.setDeviceName(fields.deviceName);
    for (int i = 3; i >= 0; --i) {
        const auto octet = savedOctet(fields.octets[std::size_t(i)]);
        if (!octet)
            return {SaveResult::BadOctet, i};
        config.setLanIpOctet(i, *octet);
    }
    config.setPhoneNumber(fields.phoneNumber);
    if (ppp) {
        writeTerminatedText(config.data() + DeviceConfig::kPppUserName,
                            DeviceConfig::kPppUserNameSize, fields.userName,
                            DeviceConfig::kPppUserNameSize);
        writeTerminatedText(config.data() + DeviceConfig::kPppPassword,
                            DeviceConfig::kPppPasswordSize, fields.password,
                            DeviceConfig::kPppPasswordMaxText);
    }
    return {};
}

void storeVerifyFields(DeviceConfig& config, const ConfigFields& fields) {
    config.setPhoneNumber(fields.phoneNumber);
    if (config.inLoginMode(LoginMode::Terminal))
        return;
    if (!fields.userName.empty())
        config.setPppUserName(fields.userName);
    if (!fields.password.empty())
        writeTextField(config.data() + DeviceConfig::kPppPassword, kPppPasswordOnTheWire,
                       std::string_view(fields.password).substr(0, kPppPasswordOnTheWire));
}

std::optional<std::uint64_t> parseUnsignedDecimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    const std::size_t first = i;
    std::uint64_t value = 0;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    for (; i < text.size() && isDigit(text[i]); ++i) {
        const unsigned digit = unsigned(text[i] - '0');
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    if (i == first)
        return std::nullopt; // no digits, or a sign
    while (i < text.size() && isBlank(text[i]))
        ++i;
    if (i != text.size())
        return std::nullopt;
    return value;
}

AdvanceCheck checkAdvanceFields(const AdvanceFields& fields) {
    AdvanceCheck check;
    auto fail = [&check](AdvanceCheck::Field field, std::string message) {
        check.failed = field;
        check.message = std::move(message);
        return check;
    };

    const auto idle = parseUnsignedDecimal(fields.idleMinutes);
    if (!idle || *idle > 255)
        return fail(AdvanceCheck::IdleMinutes, rangeMessage(0, 255));
    if (*idle > kIdleMinutesMax)
        return fail(AdvanceCheck::IdleMinutes, rangeMessage(0, kIdleMinutesMax));
    check.idleMinutes = std::uint8_t(*idle);

    const std::string tooLong =
        "Please enter no more than " + std::to_string(kAlternativeNumberMaxText) + " characters.";
    if (fields.alternative2.size() > kAlternativeNumberMaxText)
        return fail(AdvanceCheck::Alternative2, tooLong);
    if (fields.alternative1.size() > kAlternativeNumberMaxText)
        return fail(AdvanceCheck::Alternative1, tooLong);

    const auto tries = parseUnsignedDecimal(fields.tries);
    if (!tries)
        return fail(AdvanceCheck::Tries, "Please enter a positive integer.");
    if (*tries > kAlternativeTriesMax)
        return fail(AdvanceCheck::Tries, rangeMessage(0, kAlternativeTriesMax));
    check.tries = std::uint8_t(*tries);
    return check;
}

void storeAdvanceFields(DeviceConfig& config, const AdvanceFields& fields,
                        const AdvanceCheck& checked) {
    config.setIdleMinutes(checked.idleMinutes);
    config.setBlindDial(fields.blindDial);
    config.setUseAlternativeNumbers(fields.useAlternativeNumbers);
    writeTerminatedText(config.data() + DeviceConfig::kAlternativeNumber1,
                        DeviceConfig::kAlternativeNumberSize, fields.alternative1,
                        kAlternativeNumberMaxText);
    writeTerminatedText(config.data() + DeviceConfig::kAlternativeNumber2,
                        DeviceConfig::kAlternativeNumberSize, fields.alternative2,
                        kAlternativeNumberMaxText);
    config.setAlternativeTries(checked.tries);
}

bool oldPasswordMatches(const DeviceConfig& config, std::string_view typed) {
    return typed == config.devicePassword();
}

} // namespace varn
