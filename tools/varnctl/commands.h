#pragma once
// The commands of varnctl, each driving the utility's request builder and
// reply dispatch as the matching dialog does.

#include <string>
#include <vector>

namespace varnctl {

// Runs the command line (the arguments after the program name); returns the
// exit status.
int run(const std::vector<std::string>& args);

} // namespace varnctl
