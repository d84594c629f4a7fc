#pragma once
// State of the application shell shared with the dialogs.

#include <cstdint>

namespace varn {
class SocketWatcher;
}

struct AppState {
    // The main frame: receives the socket's read notifications. Set at every
    // activation of the frame.
    varn::SocketWatcher* notifyWindow = nullptr;
    // Set when the Device List that the view opens at its first paint has ended.
    std::int32_t firstListClosed = 0;
};

AppState& appState();
