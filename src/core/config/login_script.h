#pragma once
// The login script as the editor shows it, four prompt/response pairs, and its
// packing into the terminal view of the block's login area.

#include "protocol/device_config.h"

#include <array>
#include <cstddef>
#include <string>

namespace varn {

inline constexpr std::size_t kScriptPromptMaxText = DeviceConfig::kScriptPromptSize; // 8
inline constexpr std::size_t kScriptResponseMaxText = 32;
inline constexpr std::size_t kScriptResponsesTotal = DeviceConfig::kScriptResponsesSize; // 48

struct LoginScript {
    std::array<std::string, DeviceConfig::kScriptPairs> prompts;
    std::array<std::string, DeviceConfig::kScriptPairs> responses;
};

// The script of a block in terminal mode; all empty in any other mode. A pair
// whose prompt begins with a NUL is empty; a response whose offsets are
// inconsistent (decreasing, or beyond the 48-byte area) is empty.
LoginScript loadLoginScript(const DeviceConfig& config);

// OK of the editor: terminal mode with the script packed (prompts NUL-padded,
// responses one after another, offsets from 0; bytes after the last response
// left alone), or PPP mode with the login area untouched when the first prompt
// is empty. Prompts longer than 8 characters, responses longer than 32 and
// responses beyond the 48-byte area are cut.
void storeLoginScript(DeviceConfig& config, const LoginScript& script);

// How many characters response field `field` keeps after a change, given the
// lengths of all four: the field gives up what takes the total above 48.
std::size_t responseKeep(const std::array<std::size_t, DeviceConfig::kScriptPairs>& lengths,
                         std::size_t field);

} // namespace varn
