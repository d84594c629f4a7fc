#pragma once
// One request waited for the way every window of the utility waits for an
// appliance: send it, look at the shared state when a timer of the window's own
// expires, send again (or only look again) while tries are left, and give up
// when they run out. The window owns the timer; this keeps the counting.

#include <cstdint>
#include <functional>

namespace varn {

class Link;

struct PollPlan {
    PollPlan() = default;
    PollPlan(int type, int tries, int firstWait, int retryWait, bool resend = true)
        : type(type), tries(tries), firstWait(firstWait), retryWait(retryWait), resend(resend) {}

    int type = 0;       // the request
    int tries = 0;      // looks before giving up, the first sending counting as one; 0 = no limit
    int firstWait = 0;  // ms until the first look
    int retryWait = 0;  // ms between later looks
    bool resend = true; // send the request again at each unanswered look
    // When the request counts as answered; by default when the awaited-reply
    // marker has been cleared.
    std::function<bool(const Link&)> answered;
};

class RequestPoll {
  public:
    enum class Outcome { Answered, Waiting, GaveUp };

    // triesLeft is where the count is kept (shared state the dialogs name).
    RequestPoll(Link& link, std::int32_t& triesLeft) : link_(link), triesLeft_(triesLeft) {}

    // Sends the request; returns the wait before the first look.
    int start(PollPlan plan);
    // At an expiry of the window's timer: Answered, GaveUp, or Waiting with the
    // wait before the next look in *nextWait (the request sent again when the
    // plan says so).
    Outcome expire(int* nextWait);
    // Forgets the request (expire then reports nothing more to wait for).
    void stop() { active_ = false; }

    bool active() const { return active_; }
    const PollPlan& plan() const { return plan_; }

  private:
    bool isAnswered() const;

    Link& link_;
    std::int32_t& triesLeft_;
    PollPlan plan_;
    bool active_ = false;
};

} // namespace varn
