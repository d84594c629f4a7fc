#include "devices/login_check.h"

#include "devices/password_cache.h"
#include "link/user_interface.h"
#include "protocol/device_config.h"
#include "texts.h"

namespace varn {

bool passwordMatches(const std::string& entered, const std::string& stored) {
    return entered == stored;
}

int loginCheck(const DeviceConfig& config, PasswordCache& cache, const PasswordPrompt& prompt,
               UserInterface& ui) {
    const std::string name = config.deviceName();
    if (cache.granted(name))
        return 0;
    const std::string password = config.devicePassword(); // at most 4 characters
    if (password.empty())
        return 0; // no password: granted every time, never cached
    std::string entered;
    if (!prompt(entered))
        return -1;
    if (!passwordMatches(entered, password)) {
        ui.showMessage(texts::kIncorrectPassword, MessageIcon::Warning);
        return -1;
    }
    cache.add(name);
    return 0;
}

} // namespace varn
