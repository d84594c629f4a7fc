#include "config/block_rules.h"

#include "config/field_rules.h"

#include <cstring>

namespace varn {

namespace {

std::string outside(const char* field, unsigned value, unsigned high) {
    return std::string(field) + " is " + std::to_string(value) + ", not 0.." + std::to_string(high);
}

// A field written with a terminator holds one within its first maxChars + 1 bytes.
bool terminated(const DeviceConfig& config, std::size_t at, std::size_t maxChars) {
    return std::memchr(config.data() + at, 0, maxChars + 1) != nullptr;
}

void checkScript(const DeviceConfig& config, std::vector<std::string>& faults) {
    if (config.bytes[DeviceConfig::kScriptPrompts] == 0)
        faults.push_back("the login script has no first prompt (scriptPrompt1), which terminal "
                         "mode needs");
    // o0 is not read: the first response always starts at 0.
    for (int i = 1; i < int(DeviceConfig::kScriptOffsetCount); ++i) {
        const unsigned offset = config.scriptOffset(i);
        if (offset > DeviceConfig::kScriptResponsesSize) {
            faults.push_back("the login script's offset " + std::to_string(i) + " is " +
                             std::to_string(offset) + ", beyond its 48-byte response area");
            return;
        }
        if (i > 1 && offset < config.scriptOffset(i - 1)) {
            faults.push_back("the login script's offsets decrease at " + std::to_string(i) +
                             ", so response " + std::to_string(i) + " has no sound length");
            return;
        }
    }
}

} // namespace

std::vector<std::string> blockFaults(const DeviceConfig& config) {
    std::vector<std::string> faults;
    // The dialog's Save is disabled while the name is empty.
    if (config.deviceName().empty())
        faults.push_back("deviceName is empty");
    if (config.idleMinutes() > kIdleMinutesMax)
        faults.push_back(outside("idleMinutes", config.idleMinutes(), kIdleMinutesMax));
    const unsigned mode = config.loginMode();
    if (mode == unsigned(LoginMode::Ppp)) {
        if (config.pppUserName().empty())
            faults.push_back("pppUserName is empty in PPP mode");
        if (!terminated(config, DeviceConfig::kPppPassword, DeviceConfig::kPppPasswordMaxText))
            faults.push_back("pppPassword has no end within its 48 characters");
    } else if (mode == unsigned(LoginMode::Terminal)) {
        checkScript(config, faults);
    } else if (mode != 0) {
        faults.push_back("loginMode is " + std::to_string(mode) +
                         ", neither 1 (terminal) nor 2 (PPP)");
    }
    if (config.alternativeTries() > kAlternativeTriesMax)
        faults.push_back(
            outside("alternativeTries", config.alternativeTries(), kAlternativeTriesMax));
    for (int which : {1, 2}) {
        const std::size_t at =
            which == 1 ? DeviceConfig::kAlternativeNumber1 : DeviceConfig::kAlternativeNumber2;
        if (!terminated(config, at, kAlternativeNumberMaxText))
            faults.push_back("alternativeNumber" + std::to_string(which) +
                             " has no end within its 15 characters");
    }
    return faults;
}

} // namespace varn
