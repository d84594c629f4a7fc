// The process's single instances of the device link's shared state.

#include "config/device_config.h"
#include "link/endpoint.h"
#include "link/link.h"
#include "link/user_interface.h"

namespace varn {

namespace {
SilentUserInterface silentInterface;
UserInterface* installedInterface = &silentInterface;
} // namespace

UserInterface& userInterface() {
    return *installedInterface;
}

void installUserInterface(UserInterface* ui) {
    installedInterface = ui != nullptr ? ui : &silentInterface;
}

UdpEndpoint& theEndpoint() {
    static UdpEndpoint endpoint;
    return endpoint;
}

Link& theLink() {
    static Link link(theEndpoint(), deviceConfig());
    return link;
}

} // namespace varn
