#include "app/app_main.h"

#include "app/qt_user_interface.h"
#include "app/setup_app.h"
#include "link/link.h"

#include <QApplication>

int runSetup(QApplication& app, const varn::EndpointSettings& settings) {
    varn::theEndpoint().settings = settings;
    varn::installUserInterface(&qtUserInterface());
    CSetupApp setup(varn::theEndpoint(), varn::theLink());
    if (!setup.initInstance()) {
        return 1;
    }
    int result = app.exec();
    varn::installUserInterface(nullptr);
    return result;
}
