#include "link/request_poll.h"

#include "link/link.h"

namespace varn {

int RequestPoll::start(PollPlan plan) {
    plan_ = std::move(plan);
    active_ = true;
    triesLeft_ = plan_.tries;
    link_.sendRequest(plan_.type);
    return plan_.firstWait;
}

bool RequestPoll::isAnswered() const {
    return plan_.answered ? plan_.answered(link_) : link_.awaitedReply() == 0;
}

RequestPoll::Outcome RequestPoll::expire(int* nextWait) {
    if (!active_)
        return Outcome::GaveUp;
    if (isAnswered()) {
        active_ = false;
        return Outcome::Answered;
    }
    if (plan_.tries > 0 && --triesLeft_ <= 0) {
        active_ = false;
        return Outcome::GaveUp;
    }
    if (plan_.resend)
        link_.sendRequest(plan_.type);
    if (nextWait != nullptr)
        *nextWait = plan_.retryWait;
    return Outcome::Waiting;
}

} // namespace varn
