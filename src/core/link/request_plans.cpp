#include "link/request_plans.h"

#include "link/link.h"
#include "protocol/wire.h"

namespace varn {

PollPlan versionsPlan() {
    return {kVersions, 3, 100, 100};
}

PollPlan readConfigPlan() {
    PollPlan plan{kReadConfig, 5, 100, 200};
    plan.answered = [](const Link& l) { return l.awaitedReply() == 0 && l.configReceived(); };
    return plan;
}

PollPlan setIpPlan() {
    return {kSetIpAddress, 1, 1800, 1800, false};
}

PollPlan saveConfigPlan() {
    return {kWriteConfig, 10, 300, 300, false};
}

PollPlan resetPlan() {
    PollPlan plan = saveConfigPlan();
    plan.type = kReset;
    return plan;
}

} // namespace varn
