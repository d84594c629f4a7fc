// The utility reads no command line of its own: it talks to the appliances on
// UDP port 777 and the broadcast address.

#include "gui/app/app_main.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    return varn::runSetup(app, varn::EndpointSettings{});
}
