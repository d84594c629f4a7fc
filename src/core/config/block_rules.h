#pragma once
// What the configuration dialogs could have stored: a block they could not
// produce (a restored file edited or made elsewhere) is named fault by fault
// before it is written into an appliance.

#include "protocol/device_config.h"

#include <string>
#include <vector>

namespace varn {

// Each way the block breaks the dialogs' rules, in record order, naming the
// field by its record name; empty when the dialogs could have stored it. A
// loginMode of 0 (neither chosen, as on a new appliance) is accepted: the
// dialogs keep it when no account and no script is entered.
std::vector<std::string> blockFaults(const DeviceConfig& config);

} // namespace varn
