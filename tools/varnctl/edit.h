#pragma once
// `config set`: named settings applied to a block with the configuration
// dialogs' own rules and packing, and `config get --field`.

#include "protocol/device_config.h"

#include <optional>
#include <string>
#include <vector>

namespace varnctl {

// FIELD=VALUE from the command line; the value is UTF-8.
struct Assignment {
    std::string field;
    std::string value;
};

// What is wrong with the values by themselves (syntax, limits, ranges), one
// reason each; checked before anything is sent. A loopback lanIpAddress is
// accepted only with loopbackAllowed.
std::vector<std::string> checkAssignments(const std::vector<Assignment>& assignments,
                                          bool loopbackAllowed);

struct Edit {
    varn::DeviceConfig block;
    std::vector<std::string> errors; // when not empty, the block is not to be written
};
// The present block with the assignments applied, in the order the
// Configuration dialog stores them: the Advanced settings, the login script,
// the account (which means PPP mode), the dialog's own fields, the password.
Edit applyAssignments(const varn::DeviceConfig& present, const std::vector<Assignment>& assignments,
                      bool loopbackAllowed);

// One field of the block as `config get --field` prints it: texts as they
// are (UTF-8), numbers in decimal, flags as true or false. Nothing when the
// block's login mode does not use the field; the field name must be one of
// the fields view's.
std::optional<std::string> fieldText(const varn::DeviceConfig& block, const std::string& field);
// Whether `field` is a name of the fields view in any login mode.
bool isViewField(const std::string& field);

} // namespace varnctl
