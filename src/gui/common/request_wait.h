#pragma once
// A request waited for on one of a window's numbered timers: the window's timer
// handler passes each expiry on, and the wait sends again, re-arms, or calls back
// when the request was answered or its tries ran out.

#include "link/request_poll.h"

#include <cstdint>
#include <functional>

namespace varn {

class WindowTimers;

class RequestWait {
  public:
    RequestWait(WindowTimers& timers, int timerId, Link& link, std::int32_t& triesLeft);

    // Sends the request and arms the timer.
    void start(PollPlan plan, std::function<void()> onAnswered, std::function<void()> onGaveUp);
    // The window's timer handler calls this first; true when the expiry was
    // this wait's (and has been handled).
    bool expire(int id);
    // Stops waiting; nothing is called back.
    void stop();

    bool active() const { return poll_.active(); }
    int timerId() const { return timerId_; }

  private:
    void finish(std::function<void()>& callback);

    WindowTimers& timers_;
    int timerId_;
    RequestPoll poll_;
    std::function<void()> onAnswered_, onGaveUp_;
};

} // namespace varn
