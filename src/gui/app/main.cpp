// The utility reads no command line of its own: it talks to the appliances on
// UDP port 777 and the broadcast address.

#include "gui/app/app_main.h"
#include "protocol/handed_socket.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    varn::EndpointSettings settings;
    // Before Qt loads anything: a user who may not bind the port runs the
    // program again through the port helper, so this process never holds the
    // right to bind it.
    settings.handed = varn::portFromHelper(argv, settings.localPort);
    QApplication app(argc, argv);
    return varn::runSetup(app, settings);
}
