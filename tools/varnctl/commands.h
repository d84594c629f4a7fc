#pragma once
// The commands of varnctl, each driving the utility's request builder and
// reply dispatch as the matching dialog does.

#include <string>
#include <vector>

namespace varnctl {

// Runs the command line (the arguments after the program name); returns the
// exit status. With the program's own argv, a command that binds port 777 takes
// the socket the port helper hands over, running varnctl again through the
// helper first when it may not bind the port itself.
int run(const std::vector<std::string>& args, char* const argv[] = nullptr);

} // namespace varnctl
