#include "cli.h"

#include "devices/octet_field.h"
#include "devices/same_network.h"
#include "edit.h"
#include "protocol/wire.h"

#include <cerrno>
#include <cstdlib>
#include <map>
#include <set>

namespace varnctl {

namespace {

const char kCommonOptions[] =
    "Network options (every command):\n"
    "  --port N          the appliances' UDP port (default 777)\n"
    "  --broadcast A     where broadcasts go (default 255.255.255.255)\n"
    "  --bind N          this program's own UDP port (default 777, which the\n"
    "                    installed varnctl gets from its port helper; other ports\n"
    "                    below 1024 need root)\n";

const char kExitStatuses[] =
    "Exit status: 0 done, 1 failure (socket, file, appliance on another network),\n"
    "2 bad input, 3 no answer, 4 wrong password, 5 cancelled, 6 written but the\n"
    "reset not confirmed.\n";

const std::map<std::string, std::string>& helpTexts() {
    static const std::map<std::string, std::string> texts = {
        {"", "Usage: varnctl COMMAND [options]\n"
             "Finds and administers the appliances on this LAN from the command line.\n"
             "\n"
             "Commands:\n"
             "  discover              list the appliances that answer a broadcast\n"
             "  status                show every appliance's connection state\n"
             "  config get NAME       save an appliance's configuration to a backup file\n"
             "  config put NAME       write a backup file back into an appliance\n"
             "  config set NAME F=V   change named settings of an appliance\n"
             "  set-ip NAME NEW-IP    give an appliance a new LAN address\n"
             "  help [COMMAND]        this text, or a command's\n"
             "\n"
             "'varnctl COMMAND --help' tells more about each.\n"
             "\n"},
        {"discover", "Usage: varnctl discover [--json] [--timeout MS] [--all-interfaces]\n"
                     "Broadcasts a discovery request and lists every appliance that answers: its\n"
                     "name, LAN address and state. The broadcast is repeated every 100 ms for as\n"
                     "long as new appliances answer.\n"
                     "\n"
                     "  --json            print a JSON array (one line) instead of a table\n"
                     "  --timeout MS      listen at least MS milliseconds (default 100)\n"
                     "  --all-interfaces  one sweep on every IPv4 interface that has a broadcast\n"
                     "                    address; each line names its interface\n"
                     "\n"},
        {"status", "Usage: varnctl status [--json] [--watch]\n"
                   "Polls every appliance by broadcast and shows the Status Monitor's columns:\n"
                   "device name, status, WAN IP and speed in bit/s, sorted by name.\n"
                   "\n"
                   "  --json            print a JSON object (one line; with --watch one per\n"
                   "                    refresh, each with its UTC time)\n"
                   "  --watch           refresh every 3 seconds until interrupted (Ctrl-C); an\n"
                   "                    appliance that stops answering shows \"Unknown\"\n"
                   "\n"},
        {"config",
         "Usage: varnctl config get NAME [--address IP] [-o FILE | --field F] [--password-file F]\n"
         "       varnctl config put NAME -i FILE [--yes] [--force] [--other-appliance] ...\n"
         "       varnctl config set NAME FIELD=VALUE... [--yes] [--force] ...\n"
         "Saves an appliance's 512-byte configuration block to a backup file, writes\n"
         "such a file back, and changes single settings. 'varnctl config get --help',\n"
         "'varnctl config put --help' and 'varnctl config set --help' tell more.\n"
         "\n"},
        {"config get",
         "Usage: varnctl config get NAME [--address IP] [-o FILE | --field F]\n"
         "                          [--password-file F]\n"
         "Reads the configuration of the appliance named NAME, asks for its\n"
         "administrator password (unless it has none) and saves the block to FILE:\n"
         "JSON holding the 512 bytes in hexadecimal with a CRC-32, and a readable view\n"
         "of the fields. Nothing is written when the password is wrong.\n"
         "\n"
         "  --address IP       the appliance's address; no discovery is made\n"
         "  -o, --output FILE  the backup file (default, or -: standard output); made\n"
         "                     readable by its owner only, as it holds passwords. It\n"
         "                     must be absent or a regular file\n"
         "  --password-file F  take the password from the first line of F instead\n"
         "                     of asking on the terminal; - reads standard input\n"
         "  --field F          print only the setting F (a name of the backup's\n"
         "                     fields view, e.g. phoneNumber) instead of a backup\n"
         "\n"},
        {"config put",
         "Usage: varnctl config put NAME -i FILE [--yes] [--force] [--other-appliance]\n"
         "                          [--address IP] [--password-file F]\n"
         "Checks the backup FILE (size, structure, checksum, and that the\n"
         "configuration dialogs could have made its block) before anything is sent,\n"
         "reads the appliance's present configuration, asks for its administrator\n"
         "password, shows field by field what will change and asks for confirmation.\n"
         "Then writes the block and resets the appliance. When the appliance does not\n"
         "confirm, it is told to abandon the configuration and varnctl exits with 3.\n"
         "Interrupted once the block was sent, it writes back the configuration read\n"
         "at the start before the abandon.\n"
         "\n"
         "  -i, --input FILE   the backup file made by 'varnctl config get'\n"
         "  --yes, -y          do not ask for confirmation\n"
         "  --force            write a block that breaks the dialogs' rules (an empty\n"
         "                     name, idle minutes above 127, ...) all the same\n"
         "  --other-appliance  write a backup whose device name is not NAME; the\n"
         "                     change list then begins with the name and address\n"
         "  --address IP       the appliance's address; no discovery is made\n"
         "  --password-file F  take the password from the first line of F\n"
         "\n"},
        {"config set",
         "Usage: varnctl config set NAME FIELD=VALUE... [--yes] [--force] [--address IP]\n"
         "                          [--password-file F]\n"
         "Reads the configuration of the appliance named NAME as 'config get' does,\n"
         "changes the named settings with the configuration dialogs' rules, shows\n"
         "what will change, asks for confirmation and writes the block as 'config put'\n"
         "does. Values are checked before anything is sent. The fields:\n"
         "  deviceName devicePassword lanIpAddress phoneNumber pppUserName pppPassword\n"
         "  idleMinutes (0..127) blindDial (true/false) useAlternativeNumbers\n"
         "  alternativeNumber1 alternativeNumber2 alternativeTries (0..100)\n"
         "  loginMode (terminal or 1, ppp or 2) scriptPrompt1..4 scriptResponse1..4\n"
         "An account field means PPP mode and a script field terminal mode, as in\n"
         "the dialogs; PPP mode needs a pppUserName, terminal mode a scriptPrompt1.\n"
         "\n"
         "  --yes, -y          do not ask for confirmation\n"
         "  --force            write the block even if it breaks the dialogs' rules\n"
         "                     in fields not named (as the appliance held them)\n"
         "  --address IP       the appliance's address; no discovery is made\n"
         "  --password-file F  take the password from the first line of F (- for\n"
         "                     standard input)\n"
         "\n"},
        {"set-ip", "Usage: varnctl set-ip NAME NEW-IP [--address IP]\n"
                   "Broadcasts a new LAN address to the appliance named NAME, as for an\n"
                   "appliance that lies outside this PC's network, and waits 1.8 seconds for\n"
                   "its answer. 0.0.0.0, multicast and class E addresses, loopback\n"
                   "addresses (unless --broadcast is one) and the network and broadcast\n"
                   "addresses of the address's class are refused before anything is sent.\n"
                   "\n"
                   "  --address IP       the appliance's present address, when several share\n"
                   "                     the name (default: found by discovery)\n"
                   "\n"},
    };
    return texts;
}

// Which options each command takes, beyond the network options.
const std::map<Command, std::set<std::string>>& allowedOptions() {
    static const std::map<Command, std::set<std::string>> allowed = {
        {Command::Discover, {"--json", "--timeout", "--all-interfaces"}},
        {Command::Status, {"--json", "--watch"}},
        {Command::ConfigGet, {"--address", "--output", "--password-file", "--field"}},
        {Command::ConfigPut,
         {"--address", "--input", "--password-file", "--yes", "--force", "--other-appliance"}},
        {Command::ConfigSet, {"--address", "--password-file", "--yes", "--force"}},
        {Command::SetIp, {"--address"}},
    };
    return allowed;
}

const std::set<std::string> kValueOptions = {"--timeout",   "--address",       "--output",
                                             "--input",     "--password-file", "--port",
                                             "--broadcast", "--bind",          "--field"};
const std::set<std::string> kFlagOptions = {"--json",  "--all-interfaces",  "--watch", "--yes",
                                            "--force", "--other-appliance", "--help"};
const std::set<std::string> kNetworkOptions = {"--port", "--broadcast", "--bind"};

std::string longName(const std::string& arg) {
    if (arg == "-o")
        return "--output";
    if (arg == "-i")
        return "--input";
    if (arg == "-y")
        return "--yes";
    if (arg == "-h")
        return "--help";
    return arg;
}

bool parseNumber(const std::string& text, long low, long high, long& out) {
    if (text.empty() || text.size() > 9)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    const long v = std::strtol(text.c_str(), nullptr, 10);
    if (v < low || v > high)
        return false;
    out = v;
    return true;
}

std::string commandName(Command c) {
    switch (c) {
    case Command::Discover:
        return "discover";
    case Command::Status:
        return "status";
    case Command::ConfigGet:
        return "config get";
    case Command::ConfigPut:
        return "config put";
    case Command::ConfigSet:
        return "config set";
    case Command::SetIp:
        return "set-ip";
    case Command::Help:
        break;
    }
    return "";
}

Parsed refuse(const std::string& why) {
    return {std::nullopt, why};
}

// Refuses `OPTION is not an option of COMMAND`.
Parsed refuseOption(const std::string& option, const std::string& command) {
    std::string why = option;
    why += " is not an option of ";
    why += command;
    return refuse(why);
}

// Refuses `OPTION: "VALUE" is not WHAT`.
Parsed refuseValue(const std::string& option, const std::string& value, const char* what) {
    std::string why = option;
    why += ": \"";
    why += value;
    why += "\" is not ";
    why += what;
    return refuse(why);
}

} // namespace

std::optional<std::uint32_t> parseAddress(const std::string& text) {
    std::uint8_t octets[4] = {};
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t dot = text.find('.', start);
        if ((i < 3) != (dot != std::string::npos))
            return std::nullopt; // not exactly four parts
        const std::string part = text.substr(start, i < 3 ? dot - start : std::string::npos);
        const auto octet = varn::wholeOctet(part);
        if (!octet || part.find(' ') != std::string::npos)
            return std::nullopt;
        octets[i] = *octet;
        start = dot + 1;
    }
    return varn::makeAddress(octets[0], octets[1], octets[2], octets[3]);
}

bool loopbackAppliances(const varn::EndpointSettings& endpoint) {
    return varn::addressOctet(endpoint.broadcastAddress, 0) == 127;
}

std::string helpText(const std::string& topic) {
    const auto& texts = helpTexts();
    auto it = texts.find(topic);
    std::string text = it != texts.end() ? it->second : texts.at("");
    return text + kCommonOptions + "\n" + kExitStatuses;
}

Parsed parseArguments(const std::vector<std::string>& args) {
    std::vector<std::string> words;
    std::map<std::string, std::string> values;
    std::set<std::string> flags;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg == "--" || arg.empty() || arg[0] != '-' || arg == "-") {
            words.push_back(arg);
            continue;
        }
        std::string value;
        bool hasValue = false;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        arg = longName(arg);
        if (kFlagOptions.count(arg) != 0) {
            if (hasValue)
                return refuse(arg + " takes no value");
            flags.insert(arg);
        } else if (kValueOptions.count(arg) != 0) {
            if (!hasValue) {
                if (i + 1 >= args.size())
                    return refuse(arg + " needs a value");
                value = args[++i];
            }
            if (values.count(arg) != 0)
                return refuse(arg + " is given twice");
            values[arg] = value;
        } else {
            return refuse("unknown option \"" + args[i] + "\"");
        }
    }

    Options o;
    // The command and its operands.
    std::size_t operands = 0;
    if (words.empty() || words[0] == "help") {
        o.command = Command::Help;
        for (std::size_t w = 1; w < words.size(); ++w)
            o.helpTopic += (w > 1 ? " " : "") + words[w];
        return {o, ""};
    } else if (words[0] == "discover") {
        o.command = Command::Discover;
        operands = 1;
    } else if (words[0] == "status") {
        o.command = Command::Status;
        operands = 1;
    } else if (words[0] == "set-ip") {
        o.command = Command::SetIp;
        operands = 1;
    } else if (words[0] == "config") {
        if (words.size() < 2) {
            if (flags.count("--help") != 0) {
                o.helpTopic = "config";
                return {o, ""};
            }
            return refuse("config needs get, put or set: varnctl config get NAME, "
                          "varnctl config put NAME -i FILE, varnctl config set NAME F=V");
        }
        if (words[1] == "get")
            o.command = Command::ConfigGet;
        else if (words[1] == "put")
            o.command = Command::ConfigPut;
        else if (words[1] == "set")
            o.command = Command::ConfigSet;
        else
            return refuse("config get, put or set, not config \"" + words[1] + "\"");
        operands = 2;
    } else {
        return refuse("unknown command \"" + words[0] + "\"");
    }

    if (flags.count("--help") != 0) {
        o.helpTopic = commandName(o.command);
        o.command = Command::Help;
        return {o, ""};
    }

    const std::string name = commandName(o.command);
    std::vector<std::string> rest(words.begin() + std::ptrdiff_t(operands), words.end());
    const bool set = o.command == Command::ConfigSet;
    const std::size_t wanted =
        o.command == Command::SetIp                                                 ? 2
        : o.command == Command::ConfigGet || o.command == Command::ConfigPut || set ? 1
                                                                                    : 0;
    if (rest.size() < wanted || (set && rest.size() < 2))
        return refuse(name + " needs " +
                      (o.command == Command::SetIp ? "NAME and NEW-IP"
                       : set                       ? "the appliance's NAME and FIELD=VALUE"
                                                   : "the appliance's NAME"));
    if (set) {
        for (std::size_t w = 1; w < rest.size(); ++w) {
            const auto eq = rest[w].find('=');
            if (eq == std::string::npos || eq == 0)
                return refuse("config set takes FIELD=VALUE, not \"" + rest[w] + "\"");
            o.assignments.push_back({rest[w].substr(0, eq), rest[w].substr(eq + 1)});
        }
    } else if (rest.size() > wanted) {
        return refuse(name + " does not take \"" + rest[wanted] + "\"");
    }

    // Only the options this command knows.
    const auto& allowed = allowedOptions().at(o.command);
    for (const auto& f : flags)
        if (allowed.count(f) == 0)
            return refuseOption(f, name);
    for (const auto& [option, value] : values)
        if (allowed.count(option) == 0 && kNetworkOptions.count(option) == 0)
            return refuseOption(option, name);

    if (wanted >= 1) {
        o.name = rest[0];
        if (o.name.empty() || o.name.size() > 12)
            return refuse("an appliance's name has 1 to 12 characters, not \"" + o.name + "\"");
    }
    if (o.command == Command::SetIp) {
        const auto address = parseAddress(rest[1]);
        if (!address)
            return refuse("Invalid IP Address ! \"" + rest[1] +
                          "\" is not four numbers 0..255 separated by dots");
        o.newAddress = *address;
    }
    o.force = flags.count("--force") != 0;
    o.otherAppliance = flags.count("--other-appliance") != 0;

    o.json = flags.count("--json") != 0;
    o.watch = flags.count("--watch") != 0;
    o.allInterfaces = flags.count("--all-interfaces") != 0;
    o.yes = flags.count("--yes") != 0;

    long number = 0;
    for (const auto& [option, value] : values) {
        if (option == "--timeout") {
            if (!parseNumber(value, 0, 600000, number))
                return refuse("--timeout: \"" + value + "\" is not a number of milliseconds " +
                              "0..600000");
            o.timeoutMs = int(number);
        } else if (option == "--address" || option == "--broadcast") {
            const auto address = parseAddress(value);
            if (!address)
                return refuseValue(option, value, "a dotted IPv4 address");
            if (option == "--address") {
                o.address = *address;
            } else {
                o.endpoint.broadcastAddress = *address;
                o.endpoint.probeAddress = *address;
            }
        } else if (option == "--port" || option == "--bind") {
            if (!parseNumber(value, 1, 65535, number))
                return refuseValue(option, value, "a port number 1..65535");
            (option == "--port" ? o.endpoint.devicePort : o.endpoint.localPort) =
                std::uint16_t(number);
        } else if (option == "--output") {
            o.outputFile = value;
        } else if (option == "--input") {
            o.inputFile = value;
        } else if (option == "--password-file") {
            o.passwordFile = value;
        } else if (option == "--field") {
            if (!isViewField(value))
                return refuse("--field: \"" + value + "\" is not a field of the backup's view");
            o.field = value;
        }
    }
    if (!o.field.empty() && !o.outputFile.empty())
        return refuse("--field prints one setting; leave out -o");
    // Addresses an appliance cannot have are refused before anything is sent.
    if (o.command == Command::SetIp)
        if (auto why = varn::unusableHostAddress(o.newAddress, loopbackAppliances(o.endpoint)))
            return refuse(std::string("Invalid IP Address ! ") + *why);
    if (set) {
        const std::vector<std::string> errors =
            checkAssignments(o.assignments, loopbackAppliances(o.endpoint));
        if (errors.size() == 1)
            return refuse(errors[0]);
        if (!errors.empty()) {
            std::string why = "config set refuses these settings:";
            for (const std::string& e : errors)
                why += "\n  " + e;
            return refuse(why);
        }
    }
    if (o.command == Command::ConfigPut && o.inputFile.empty())
        return refuse("config put needs the backup file: -i FILE");
    if (o.inputFile == "-" && o.passwordFile == "-")
        return refuse("standard input can give the backup or the password, not both");
    if (o.allInterfaces && values.count("--broadcast") != 0)
        return refuse("--all-interfaces broadcasts on each interface's own address; "
                      "leave out --broadcast");
    return {o, ""};
}

} // namespace varnctl
