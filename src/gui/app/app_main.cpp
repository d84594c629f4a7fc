#include "gui/app/app_main.h"

#include "devices/devices_state.h"
#include "gui/app/setup_app.h"
#include "gui/app/setup_context.h"
#include "gui/common/qt_user_interface.h"
#include "gui/devices/device_list_dlg.h"
#include "link/link.h"
#include "protocol/device_config.h"
#include "selftest/self_test.h"
#include "selftest/selftest_state.h"

#include <QApplication>

namespace varn {

void runDeviceList(SetupContext& context) {
    UdpEndpoint& endpoint = context.endpoint;
    AppState& app = context.app;
    EndpointAccess access{[&endpoint, &app] { return endpoint.openEndpoint(app.notifyWindow); },
                          [&endpoint] { return endpoint.socketError; }};
    CDeviceListDlg dialog(context.link, context.config, context.selfTest, context.devices,
                          context.ui, std::move(access));
    dialog.exec();
}

int runSetup(QApplication& app, const EndpointSettings& settings,
             const std::function<void(const Link&)>& started) {
    // The process's single instances: made here, once, and handed down.
    SelfTestState selfTestState;
    QtUserInterface ui(selfTestState);
    UdpEndpoint endpoint(settings, ui);
    DeviceConfig config;
    Link link(endpoint, config, ui);
    SelfTest selfTest(link, selfTestState, config, ui);
    DevicesState devices;
    AppState appState;
    SetupContext context{endpoint, link, config, selfTest, devices, appState, ui};

    CSetupApp setup(context);
    if (!setup.initInstance()) {
        return 1;
    }
    if (started) {
        started(link);
    }
    return app.exec();
}

} // namespace varn
