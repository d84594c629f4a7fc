#include "config/login_script.h"

#include <algorithm>
#include <cstring>

namespace varn {

LoginScript loadLoginScript(const DeviceConfig& config) {
    LoginScript script;
    if (!config.inLoginMode(LoginMode::Terminal))
        return script;
    const std::uint8_t* responses = config.data() + DeviceConfig::kScriptResponses;
    for (std::size_t i = 0; i < DeviceConfig::kScriptPairs; ++i) {
        if (config.bytes[DeviceConfig::kScriptPrompts + i * DeviceConfig::kScriptPromptSize] == 0)
            continue;
        script.prompts[i] = config.scriptPrompt(int(i));
        // The first response always starts at 0, whatever o0 holds.
        const std::size_t begin = i == 0 ? 0 : config.scriptOffset(int(i));
        const std::size_t end = config.scriptOffset(int(i) + 1);
        if (end >= begin && end <= kScriptResponsesTotal)
            script.responses[i] = readTextField(responses + begin, end - begin);
    }
    return script;
}

void storeLoginScript(DeviceConfig& config, const LoginScript& script) {
    if (script.prompts[0].empty()) {
        config.setLoginMode(LoginMode::Ppp);
        return;
    }
    config.setLoginMode(LoginMode::Terminal);
    std::uint8_t* responses = config.data() + DeviceConfig::kScriptResponses;
    std::uint8_t* offsets = config.data() + DeviceConfig::kScriptOffsets;
    std::size_t used = 0;
    offsets[0] = 0;
    for (std::size_t i = 0; i < DeviceConfig::kScriptPairs; ++i) {
        config.setScriptPrompt(int(i), script.prompts[i]);
        const std::string& r = script.responses[i];
        const std::size_t n =
            std::min({r.size(), kScriptResponseMaxText, kScriptResponsesTotal - used});
        std::memcpy(responses + used, r.data(), n);
        used += n;
        offsets[i + 1] = std::uint8_t(used);
    }
}

std::size_t responseKeep(const std::array<std::size_t, DeviceConfig::kScriptPairs>& lengths,
                         std::size_t field) {
    if (field >= lengths.size())
        return 0;
    std::size_t total = 0;
    for (std::size_t n : lengths)
        total += n;
    const std::size_t own = lengths[field];
    if (total <= kScriptResponsesTotal)
        return own;
    const std::size_t excess = total - kScriptResponsesTotal;
    return own > excess ? own - excess : 0;
}

} // namespace varn
