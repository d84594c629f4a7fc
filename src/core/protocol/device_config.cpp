#include "protocol/device_config.h"

#include <algorithm>
#include <cstring>

namespace varn {

std::string readTextField(const std::uint8_t* field, std::size_t width) {
    std::size_t n = 0;
    while (n < width && field[n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char*>(field), n);
}

void writeTextField(std::uint8_t* field, std::size_t width, std::string_view text) {
    // A NUL inside the text ends it, as when copying C text.
    const std::size_t end = std::min(text.find('\0'), text.size());
    const std::size_t n = std::min(end, width);
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, width - n);
}

std::string DeviceConfig::deviceName() const {
    return readTextField(data() + kDeviceName, kDeviceNameSize);
}
void DeviceConfig::setDeviceName(std::string_view name) {
    writeTextField(data() + kDeviceName, kDeviceNameSize, name);
}

std::string DeviceConfig::devicePassword() const {
    return readTextField(data() + kDevicePassword, kDevicePasswordSize);
}
void DeviceConfig::setDevicePassword(std::string_view password) {
    writeTextField(data() + kDevicePassword, kDevicePasswordSize, password);
}

std::uint32_t DeviceConfig::lanIpAddress() const {
    std::uint32_t address;
    std::memcpy(&address, data() + kLanIpAddress, 4);
    return address;
}
void DeviceConfig::setLanIpAddress(std::uint32_t address) {
    std::memcpy(data() + kLanIpAddress, &address, 4);
}

std::uint8_t DeviceConfig::lanIpOctet(int i) const {
    return (i >= 0 && i < 4) ? bytes[kLanIpAddress + std::size_t(i)] : 0;
}
void DeviceConfig::setLanIpOctet(int i, std::uint8_t value) {
    if (i >= 0 && i < 4)
        bytes[kLanIpAddress + std::size_t(i)] = value;
}

std::uint8_t DeviceConfig::idleMinutes() const {
    return bytes[kIdleMinutes];
}
void DeviceConfig::setIdleMinutes(std::uint8_t minutes) {
    bytes[kIdleMinutes] = minutes;
}

bool DeviceConfig::blindDial() const {
    return (bytes[kDialOptions] & kBlindDialMask) != 0;
}
void DeviceConfig::setBlindDial(bool on) {
    if (on)
        bytes[kDialOptions] |= kBlindDialMask;
    else
        bytes[kDialOptions] &= std::uint8_t(~kBlindDialMask);
}

std::string DeviceConfig::phoneNumber() const {
    return readTextField(data() + kPhoneNumber, kPhoneNumberSize);
}
void DeviceConfig::setPhoneNumber(std::string_view number) {
    writeTextField(data() + kPhoneNumber, kPhoneNumberSize, number);
}

std::uint8_t DeviceConfig::loginMode() const {
    return bytes[kLoginMode];
}
void DeviceConfig::setLoginModeByte(std::uint8_t mode) {
    bytes[kLoginMode] = mode;
}

std::string DeviceConfig::pppUserName() const {
    return readTextField(data() + kPppUserName, kPppUserNameSize);
}
void DeviceConfig::setPppUserName(std::string_view name) {
    writeTextField(data() + kPppUserName, kPppUserNameSize, name);
}

std::string DeviceConfig::pppPassword() const {
    return readTextField(data() + kPppPassword, kPppPasswordMaxText);
}
void DeviceConfig::setPppPassword(std::string_view password) {
    // At most 48 characters, so at least one NUL follows within the 53 bytes.
    writeTextField(data() + kPppPassword, kPppPasswordSize,
                   password.substr(0, std::min(password.size(), kPppPasswordMaxText)));
}

std::string DeviceConfig::scriptPrompt(int pair) const {
    if (pair < 0 || std::size_t(pair) >= kScriptPairs)
        return {};
    return readTextField(data() + kScriptPrompts + std::size_t(pair) * kScriptPromptSize,
                         kScriptPromptSize);
}
void DeviceConfig::setScriptPrompt(int pair, std::string_view prompt) {
    if (pair < 0 || std::size_t(pair) >= kScriptPairs)
        return;
    writeTextField(data() + kScriptPrompts + std::size_t(pair) * kScriptPromptSize,
                   kScriptPromptSize, prompt);
}

std::uint8_t DeviceConfig::scriptOffset(int i) const {
    if (i < 0 || std::size_t(i) >= kScriptOffsetCount)
        return 0;
    return bytes[kScriptOffsets + std::size_t(i)];
}

std::string DeviceConfig::scriptResponse(int pair) const {
    if (pair < 0 || std::size_t(pair) >= kScriptPairs)
        return {};
    const std::size_t begin = scriptOffset(pair);
    const std::size_t end = scriptOffset(pair + 1);
    // Offsets come from the appliance: never trust them to stay inside the area.
    if (end < begin || end > kScriptResponsesSize)
        return {};
    return readTextField(data() + kScriptResponses + begin, end - begin);
}

ScriptSpan DeviceConfig::scriptSpan(int pair) const {
    if (pair < 0 || std::size_t(pair) >= kScriptPairs)
        return {};
    const std::size_t begin = std::min<std::size_t>(scriptOffset(pair), kScriptResponsesSize);
    const std::size_t end = std::min<std::size_t>(scriptOffset(pair + 1), kScriptResponsesSize);
    return {begin, end > begin ? end - begin : 0};
}

void DeviceConfig::setScriptResponses(const std::array<std::string, kScriptPairs>& responses) {
    std::uint8_t area[kScriptResponsesSize] = {};
    std::uint8_t offsets[kScriptOffsetCount] = {};
    std::size_t used = 0;
    for (std::size_t i = 0; i < kScriptPairs; ++i) {
        const std::string& r = responses[i];
        const std::size_t n = std::min(r.size(), kScriptResponsesSize - used);
        std::memcpy(area + used, r.data(), n);
        used += n;
        offsets[i + 1] = std::uint8_t(used);
    }
    std::memcpy(data() + kScriptOffsets, offsets, kScriptOffsetCount);
    std::memcpy(data() + kScriptResponses, area, kScriptResponsesSize);
}

void DeviceConfig::clearLoginArea() {
    std::memset(data() + kLoginArea, 0, kLoginAreaSize);
}

bool DeviceConfig::useAlternativeNumbers() const {
    return bytes[kUseAlternativeNumbers] != 0;
}
void DeviceConfig::setUseAlternativeNumbers(bool on) {
    bytes[kUseAlternativeNumbers] = on ? 1 : 0;
}

std::uint8_t DeviceConfig::alternativeTries() const {
    return bytes[kAlternativeTries];
}
void DeviceConfig::setAlternativeTries(std::uint8_t tries) {
    bytes[kAlternativeTries] = tries;
}

std::string DeviceConfig::alternativeNumber(int which) const {
    if (which != 1 && which != 2)
        return {};
    const std::size_t at = which == 1 ? kAlternativeNumber1 : kAlternativeNumber2;
    return readTextField(data() + at, kAlternativeNumberSize);
}
void DeviceConfig::setAlternativeNumber(int which, std::string_view number) {
    if (which != 1 && which != 2)
        return;
    const std::size_t at = which == 1 ? kAlternativeNumber1 : kAlternativeNumber2;
    // Written with a terminator: at most 15 characters.
    writeTextField(data() + at, kAlternativeNumberSize,
                   number.substr(0, std::min(number.size(), kAlternativeNumberSize - 1)));
}

} // namespace varn
