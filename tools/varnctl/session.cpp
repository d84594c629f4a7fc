#include "session.h"

#include "link/discovery_sweep.h"
#include "link/request_plans.h"
#include "stop_signals.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>

namespace varnctl {

namespace {

using Clock = std::chrono::steady_clock;

int msUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

} // namespace

void ConsoleUi::showMessage(const std::string& text, varn::MessageIcon) {
    if (!shown_.insert(text).second)
        return;
    std::fprintf(stderr, "varnctl: %s\n", text.c_str());
}

void installInterruptHandlers() {
    stopsignals::install(stopsignals::kEvery);
}

bool interrupted() {
    return stopsignals::requested();
}

Session::Session(const varn::EndpointSettings& settings, varn::UserInterface& ui)
    : endpoint_(settings, ui), link_(endpoint_, config_, ui) {}

Session::~Session() {
    endpoint_.closeEndpoint();
}

bool Session::open(std::string* error) {
    if (endpoint_.openEndpoint(&watcher_) == 0)
        return true;
    *error = std::string("cannot open a UDP socket: ") + std::strerror(endpoint_.socketError);
    return false;
}

bool Session::pump(int ms, bool interruptible) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (interruptible && interrupted())
            return false;
        const int left = msUntil(deadline);
        pollfd p{endpoint_.socketHandle(), POLLIN, 0};
        const int ready = poll(&p, 1, left);
        if (ready > 0) {
            // Also on an error event: the read takes the pending error away.
            link_.dispatchReply();
            continue; // the next datagram may already be queued
        }
        if (ready < 0 && errno != EINTR)
            return true; // nothing more can be read; let the caller's time run out
        if (left == 0)
            return !interruptible || !interrupted();
    }
}

Session::Wait Session::await(varn::PollPlan plan, bool interruptible) {
    std::int32_t triesLeft = 0;
    varn::RequestPoll poll(link_, triesLeft);
    int wait = poll.start(std::move(plan));
    for (;;) {
        if (!pump(wait, interruptible))
            return Wait::Interrupted;
        switch (poll.expire(&wait)) {
        case varn::RequestPoll::Outcome::Answered:
            return Wait::Answered;
        case varn::RequestPoll::Outcome::GaveUp:
            return Wait::GaveUp;
        case varn::RequestPoll::Outcome::Waiting:
            break;
        }
    }
}

bool Session::sweep(int minimumMs) {
    const Clock::time_point start = Clock::now();
    varn::DiscoverySweep sweep(link_);
    sweep.start();
    for (;;) {
        if (!pump(varn::kDiscoveryInterval))
            return false;
        // Past the sweep's end it keeps listening, and asks again whenever
        // someone new answered, until minimumMs have passed.
        if (!sweep.continues() && Clock::now() - start >= std::chrono::milliseconds(minimumMs))
            return true;
    }
}

} // namespace varnctl
