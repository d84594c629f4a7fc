#include "devices/config_chain.h"

#include "devices/devices_state.h"
#include "link/link.h"
#include "link/request_plans.h"
#include "protocol/device_config.h"

namespace varn {

std::array<PollPlan, 2> ConfigChain::readPlans() {
    return {versionsPlan(), readConfigPlan()};
}

void ConfigChain::begin() {
    link_.sendRequest(kBeginConfig);
    state_.savedConfig = config_;
}

void ConfigChain::end(bool accepted) {
    if (accepted) {
        link_.sendRequest(kReset);
        return;
    }
    config_ = state_.savedConfig;
    link_.sendRequest(kAbandonConfig);
}

} // namespace varn
