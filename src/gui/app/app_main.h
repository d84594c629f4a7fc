#pragma once
// Start-up of the utility, shared by the production program and the demo.

#include "protocol/endpoint.h"

#include <functional>

class QApplication;

namespace varn {

class Link;

// Makes the process's instances (the endpoint with the given ports and
// addresses, the link, the shared states, the user interface), creates the main
// frame, document and view, and runs the event loop until the frame closes.
// `started`, when given, sees the link once everything is made. Returns the
// exit code.
int runSetup(QApplication& app, const EndpointSettings& settings,
             const std::function<void(const Link&)>& started = {});

} // namespace varn
