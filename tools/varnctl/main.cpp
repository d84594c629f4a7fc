// varnctl: the command line for administrators. It speaks to the appliances
// through the same request builder and reply dispatch as the dialogs.

#include "commands.h"

int main(int argc, char** argv) {
    return varnctl::run(std::vector<std::string>(argc > 0 ? argv + 1 : argv, argv + argc), argv);
}
