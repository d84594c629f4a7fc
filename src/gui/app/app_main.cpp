#include "gui/app/app_main.h"

#include "gui/app/setup_app.h"
#include "gui/app/setup_context.h"
#include "protocol/device_config.h"
#include "gui/devices/device_list_dlg.h"
#include "devices/devices_state.h"
#include "link/link.h"
#include "selftest/selftest_state.h"
#include "gui/common/qt_user_interface.h"

#include <QApplication>

void runDeviceList(SetupContext& context) {
    varn::UdpEndpoint& endpoint = context.endpoint;
    AppState& app = context.app;
    EndpointAccess access{[&endpoint, &app] { return endpoint.openEndpoint(app.notifyWindow); },
                          [&endpoint] { return endpoint.socketError; }};
    CDeviceListDlg dialog(context.link, context.devices, std::move(access));
    dialog.exec();
}

int runSetup(QApplication& app, const varn::EndpointSettings& settings,
             const std::function<void(const varn::Link&)>& started) {
    // The process's single instances: made here, once, and handed down.
    varn::PracticeState practice;
    QtUserInterface ui(practice);
    varn::UdpEndpoint endpoint(settings, ui);
    varn::DeviceConfig config;
    varn::Link link(endpoint, config, practice, ui);
    DevicesState devices;
    AppState appState;
    SetupContext context{endpoint, link, devices, appState};

    CSetupApp setup(context);
    if (!setup.initInstance()) {
        return 1;
    }
    if (started) {
        started(link);
    }
    return app.exec();
}
