#pragma once
// State of the Device List and the dialogs it opens, shared between them. The
// application makes one instance at start and hands it down; tests make their own.

#include "devices/password_cache.h"
#include "protocol/device_config.h"

#include <cstdint>

namespace varn {

struct DevicesState {
    // The endpoint has been tried once in this run (never again).
    bool endpointOpened = false;
    // The Status Monitor is open: the Device List leaves its list and focus alone.
    bool monitorOpen = false;
    // Tries left for the request that the Config chain waits on.
    std::int32_t retriesLeft = 0;
    // The configuration block as read, put back when the configuration is cancelled.
    DeviceConfig savedConfig;
    // Appliances logged into during the current Device List run.
    PasswordCache passwordCache;
};

} // namespace varn
