#pragma once
// The command line of varnctl: what each command takes, its help text, and the
// exit statuses scripts can rely on.

#include "edit.h"
#include "protocol/endpoint.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnctl {

// Exit statuses, distinct so that a script can tell what went wrong.
enum ExitStatus : int {
    kExitOk = 0,
    kExitFailure = 1,       // anything not below: socket, file, unreachable network
    kExitBadInput = 2,      // command line, address or backup file refused
    kExitNoAnswer = 3,      // the appliance (or any appliance) did not answer
    kExitWrongPassword = 4, // the administrator password was refused
    kExitCancelled = 5,     // the user said no, or interrupted
    kExitNotReset = 6,      // the block was written and read back, the reset not confirmed
};

enum class Command { Help, Discover, Status, ConfigGet, ConfigPut, ConfigSet, SetIp };

struct Options {
    Command command = Command::Help;
    // For Help: the command whose help is wanted ("" for the overview).
    std::string helpTopic;

    bool json = false;
    int timeoutMs = 100;        // discover: listen at least this long
    bool allInterfaces = false; // discover: one sweep per interface
    bool watch = false;         // status: refresh until interrupted

    std::string name;                     // config get/put, set-ip: the appliance
    std::optional<std::uint32_t> address; // its address, skipping discovery
    std::string outputFile;               // config get: "" or "-" = standard output
    std::string inputFile;                // config put
    std::string passwordFile;             // config get/put
    bool yes = false;                     // config put/set: no confirmation
    bool force = false;                  // config put/set: write a block the dialogs could not make
    bool otherAppliance = false;         // config put: a backup of another appliance
    std::string field;                   // config get: print this field only
    std::vector<Assignment> assignments; // config set: FIELD=VALUE
    std::uint32_t newAddress = 0;        // set-ip

    varn::EndpointSettings endpoint; // --port, --broadcast, --bind
};

struct Parsed {
    std::optional<Options> options; // empty when the command line is refused
    std::string error;              // why, in plain words
};

// Parses the arguments after the program name.
Parsed parseArguments(const std::vector<std::string>& args);

// The help text of one command ("discover", "status", "config", "config get",
// "config put", "config set", "set-ip"), or the overview for "" or an unknown topic.
std::string helpText(const std::string& topic);

// A dotted IPv4 address with four whole octets 0..255, as the IP dialog takes
// them; network order.
std::optional<std::uint32_t> parseAddress(const std::string& text);

// Whether loopback addresses may be given to appliances: only when the
// broadcasts themselves stay on loopback (appliances simulated on this PC).
bool loopbackAppliances(const varn::EndpointSettings& endpoint);

} // namespace varnctl
