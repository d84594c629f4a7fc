#pragma once
// The check that guards an appliance's configuration: asks for the administrator
// password unless the appliance has none or was logged into during this run of
// the Device List.

#include <functional>
#include <string>

namespace varn {

class PasswordCache;
class DeviceConfig;
class UserInterface;

// Asks for the password: true and the typed text on OK, false on Cancel.
using PasswordPrompt = std::function<bool(std::string& entered)>;

// 0 when access to the appliance whose block is in config is granted, -1 when it
// is refused ("Incorrect Password !" through ui) or the login is cancelled. A
// granted login is remembered in cache under the appliance's name.
int loginCheck(const DeviceConfig& config, PasswordCache& cache, const PasswordPrompt& prompt,
               UserInterface& ui);

// True when `entered` is exactly the stored password (same length, same bytes).
bool passwordMatches(const std::string& entered, const std::string& stored);

} // namespace varn
