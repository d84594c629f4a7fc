#pragma once
// The program's side of the port helper (tools/port-helper). Only root may
// bind the appliances' port 777, and the utility loads code that its caller
// names, so it must never hold a privilege. An installed program that cannot
// bind the port runs again through the installed helper, which binds it,
// drops every capability and hands the socket over on descriptor 3 by the
// socket-activation convention (LISTEN_FDS=1, LISTEN_PID). The endpoint then
// uses that socket instead of binding its own.

#include <cstdint>
#include <string>

namespace varn {

struct HandedSocket {
    int fd = -1;             // the socket handed to this process, or -1
    int helperError = 0;     // errno of the helper's bind when it could not have the port
    bool fromHelper = false; // the variables named this process: it never goes round again
};

// Takes what was handed to this process and removes the variables, so that no
// program started from here takes it too. Call it while there is one thread.
HandedSocket takeHandedSocket();

// What was handed to this process. When nothing was, `port` is the helper's,
// this process may not bind it and it is an installed program with its helper
// beside it, runs it again through the helper with the same arguments (and does
// not return). The utility calls it before Qt loads anything.
HandedSocket portFromHelper(char* const argv[], std::uint16_t port);

// The installed helper that serves this program; "" when this process is not
// one of the installed programs.
std::string installedPortHelper();

} // namespace varn
