#pragma once
// The signals that ask a tool to stop: each sets a flag that the tool's loop
// looks at, instead of ending the process. Without SA_RESTART, a poll() or
// read() that is waiting returns at once, so the tool notices without delay.

#include <csignal>
#include <initializer_list>

namespace stopsignals {

inline volatile std::sig_atomic_t stopSeen = 0;

inline void onStopSignal(int) {
    stopSeen = 1;
}

// Also what a closed terminal (HUP), the quit key (QUIT) and a reader that went
// away (PIPE) send, for a tool that must finish what it began on the network.
inline constexpr std::initializer_list<int> kEvery = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

// SIGINT and SIGTERM by default.
inline void install(std::initializer_list<int> signals = {SIGINT, SIGTERM}) {
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;
    for (int s : signals)
        sigaction(s, &sa, nullptr);
}

inline bool requested() {
    return stopSeen != 0;
}

} // namespace stopsignals
