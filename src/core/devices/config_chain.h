#pragma once
// The order of the Config chain, shared by the Device List and varnctl: the
// firmware-versions query (which also shows whether the appliance answers),
// the read of its block, the login, then "configuring begins" with the block
// kept as read, the editing, and at the end either the reset that makes the
// new block take effect or the block put back and the appliance told to
// abandon the configuration.

#include "link/request_poll.h"

#include <array>

namespace varn {

class DeviceConfig;
class Link;
struct DevicesState;

class ConfigChain {
  public:
    ConfigChain(Link& link, DeviceConfig& config, DevicesState& state)
        : link_(link), config_(config), state_(state) {}

    // The requests waited for before the login, in order.
    static std::array<PollPlan, 2> readPlans();

    // After the login: tells the appliance (11) and keeps the block as read.
    void begin();
    // The editing ended: accepted, the appliance resets (8); otherwise the
    // block is put back as read and the appliance abandons the configuration (12).
    void end(bool accepted);
    void abandon() { end(false); }

  private:
    Link& link_;
    DeviceConfig& config_;
    DevicesState& state_;
};

} // namespace varn
