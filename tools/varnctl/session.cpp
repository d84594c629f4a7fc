#include "session.h"

#include "link/request_plans.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>

namespace varnctl {

namespace {

volatile std::sig_atomic_t interruptSeen = 0;

void onInterrupt(int) {
    interruptSeen = 1;
}

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
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no SA_RESTART: poll() and read() return at once
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

bool interrupted() {
    return interruptSeen != 0;
}

Session::Session(const varn::EndpointSettings& settings, varn::UserInterface& ui)
    : endpoint_(settings, ui), link_(endpoint_, config_, selfTest_, ui) {}

Session::~Session() {
    endpoint_.closeEndpoint();
}

bool Session::open(std::string* error) {
    if (endpoint_.openEndpoint(&watcher_) == 0)
        return true;
    *error = std::string("cannot open a UDP socket: ") + std::strerror(endpoint_.socketError);
    return false;
}

bool Session::pump(int ms) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (interrupted())
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
            return !interrupted();
    }
}

Session::Wait Session::await(varn::PollPlan plan) {
    std::int32_t triesLeft = 0;
    varn::RequestPoll poll(link_, triesLeft);
    int wait = poll.start(std::move(plan));
    for (;;) {
        if (!pump(wait))
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
    link_.devices.clear();
    link_.sendRequest(varn::kDiscover);
    for (;;) {
        if (!pump(varn::kDiscoveryInterval))
            return false;
        if (link_.newDeviceSeen) {
            // Someone new answered in the last interval: ask once more.
            link_.sendRequest(varn::kDiscover);
            continue;
        }
        if (Clock::now() - start >= std::chrono::milliseconds(minimumMs))
            return true;
    }
}

} // namespace varnctl
