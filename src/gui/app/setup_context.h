#pragma once
// The process's instances as the shell hands them down: made once at start-up
// (runSetup), given to the frame and the view, and from them to the dialogs.

#include "gui/app/app_state.h"

namespace varn {

class DeviceConfig;
struct DevicesState;
class Link;
class SelfTest;
class UdpEndpoint;
class UserInterface;

struct SetupContext {
    UdpEndpoint& endpoint;
    Link& link;
    DeviceConfig& config;
    SelfTest& selfTest;
    DevicesState& devices;
    AppState& app;
    UserInterface& ui;
};

// Runs the Device List modally on the context's link and state; the endpoint is
// opened for the window in app.notifyWindow.
void runDeviceList(SetupContext& context);

} // namespace varn
