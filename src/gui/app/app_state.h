#pragma once

namespace varn {

// State of the application shell.

class SocketWatcher;

struct AppState {
    // The main frame: receives the socket's read notifications. Set at every
    // activation of the frame.
    SocketWatcher* notifyWindow = nullptr;
    // Set when the Device List that the view opens at its first paint has ended.
    bool firstListClosed = false;
};

} // namespace varn
