#include "gui/common/request_wait.h"

#include "gui/common/window_timers.h"

namespace varn {

RequestWait::RequestWait(WindowTimers& timers, int timerId, Link& link, std::int32_t& triesLeft)
    : timers_(timers), timerId_(timerId), poll_(link, triesLeft) {}

void RequestWait::start(PollPlan plan, std::function<void()> onAnswered,
                        std::function<void()> onGaveUp) {
    onAnswered_ = std::move(onAnswered);
    onGaveUp_ = std::move(onGaveUp);
    timers_.set(timerId_, poll_.start(std::move(plan)));
}

bool RequestWait::expire(int id) {
    if (id != timerId_) {
        return false;
    }
    timers_.kill(timerId_); // each expiry stops its timer first
    if (!poll_.active()) {
        return true;
    }
    int wait = 0;
    switch (poll_.expire(&wait)) {
    case RequestPoll::Outcome::Answered:
        finish(onAnswered_);
        break;
    case RequestPoll::Outcome::GaveUp:
        finish(onGaveUp_);
        break;
    case RequestPoll::Outcome::Waiting:
        timers_.set(timerId_, wait);
        break;
    }
    return true;
}

void RequestWait::finish(std::function<void()>& callback) {
    // The callback may start the next wait on this object: take it out first.
    std::function<void()> call = std::move(callback);
    onAnswered_ = nullptr;
    onGaveUp_ = nullptr;
    if (call) {
        call();
    }
}

void RequestWait::stop() {
    poll_.stop();
    timers_.kill(timerId_);
}

} // namespace varn
