// appliance-sim: answers on a UDP port as one or many appliances would, with a
// scripted ISP behind each, so that the utility can be tried and tested on one
// machine without a real appliance.

#include "scenario.h"
#include "server.h"
#include "stop_signals.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: appliance-sim [options]\n"
    "Answers on UDP as a LAN of appliances with an ISP behind each.\n"
    "\n"
    "  --scenario FILE          JSON description of the appliances (default: three\n"
    "                           built-in appliances VARN-Office, VARN-Lab, VARN-Store)\n"
    "  --port N                 UDP port to listen on, 0.0.0.0 (default 777; 0 = any free\n"
    "                           port, printed at start)\n"
    "  --base-address A         appliances without an address in the scenario take\n"
    "                           A, A+1, ... (default 127.0.0.2)\n"
    "  --broadcast-address A    where --reply-broadcast sends (default 255.255.255.255)\n"
    "  --log FILE               log every datagram to FILE (default: standard output)\n"
    "  --isp-delay MS           ISP's answer time after a dial or a response (default 150)\n"
    "\n"
    "What the appliances send, as appliances differ:\n"
    "  --account-reply T        acknowledge the PPP account (15) with T: 0x8F (default)\n"
    "                           or 0x87, the write's acknowledgement\n"
    "  --short-acks             acknowledge with the 7-byte header (magic and type, no\n"
    "                           zero after it) instead of 8 bytes\n"
    "\n"
    "Fault options, for tests:\n"
    "  --drop SHARE             drop this share (0..1) of received datagrams\n"
    "  --delay MS               delay every reply by MS milliseconds\n"
    "  --ignore T[,T...]        leave requests of these types unanswered\n"
    "  --duplicate              send every reply twice\n"
    "  --reply-broadcast        answer by broadcast instead of unicast\n"
    "  --seed N                 seed of the drop decisions (default 1)\n"
    "\n"
    "  --help                   show this text\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "appliance-sim: %s\nTry 'appliance-sim --help'.\n", message.c_str());
    return 2;
}

// The usage error `OPTION: "VALUE" is not WHAT`.
int badValue(const std::string& option, const std::string& value, const char* what) {
    std::string message = option;
    message += ": \"";
    message += value;
    message += "\" is not ";
    message += what;
    return usageError(message);
}

bool parseNumber(const std::string& text, long long low, long long high, long long& out) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high)
        return false;
    out = v;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::string scenarioPath, logPath;
    std::uint32_t base = 0x7F000002u; // 127.0.0.2
    long long ispDelay = 150;
    std::uint8_t accountReply = 0x8F;
    bool shortAcks = false;
    sim::ServerOptions options;

    std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i], value;
        bool hasValue = false;
        if (auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        auto needValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= args.size())
                return false;
            value = args[++i];
            return true;
        };
        long long n = 0;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--duplicate" || arg == "--reply-broadcast" || arg == "--short-acks") {
            if (hasValue)
                return usageError(arg + " takes no value");
            (arg == "--duplicate"         ? options.faults.duplicate
             : arg == "--reply-broadcast" ? options.faults.replyBroadcast
                                          : shortAcks) = true;
        } else if (arg == "--scenario" || arg == "--log" || arg == "--port" ||
                   arg == "--base-address" || arg == "--broadcast-address" || arg == "--drop" ||
                   arg == "--delay" || arg == "--ignore" || arg == "--seed" ||
                   arg == "--isp-delay" || arg == "--account-reply") {
            if (!needValue())
                return usageError(arg + " needs a value");
            if (arg == "--scenario") {
                scenarioPath = value;
            } else if (arg == "--log") {
                logPath = value;
            } else if (arg == "--port") {
                if (!parseNumber(value, 0, 65535, n))
                    return badValue(arg, value, "a port number 0..65535");
                options.port = std::uint16_t(n);
            } else if (arg == "--base-address" || arg == "--broadcast-address") {
                auto a = sim::parseDotted(value);
                if (!a)
                    return badValue(arg, value, "a dotted IPv4 address");
                (arg == "--base-address" ? base : options.broadcastAddress) = *a;
            } else if (arg == "--drop") {
                char* end = nullptr;
                double share = std::strtod(value.c_str(), &end);
                if (value.empty() || *end != '\0' || !(share >= 0 && share <= 1))
                    return badValue(arg, value, "a share from 0 to 1");
                options.faults.dropShare = share;
            } else if (arg == "--delay" || arg == "--isp-delay") {
                if (!parseNumber(value, 0, 60000, n))
                    return badValue(arg, value, "a number of milliseconds 0..60000");
                if (arg == "--delay")
                    options.faults.delayMs = int(n);
                else
                    ispDelay = n;
            } else if (arg == "--account-reply") {
                if (value == "0x8F" || value == "0x8f")
                    accountReply = 0x8F;
                else if (value == "0x87")
                    accountReply = 0x87;
                else
                    return badValue(arg, value, "0x87 or 0x8F");
            } else if (arg == "--seed") {
                if (!parseNumber(value, 0, 0xFFFFFFFFll, n))
                    return badValue(arg, value, "a number");
                options.faults.seed = std::uint32_t(n);
            } else if (arg == "--ignore") {
                std::size_t start = 0;
                while (start <= value.size()) {
                    std::size_t comma = value.find(',', start);
                    std::string item = value.substr(start, comma - start);
                    if (!parseNumber(item, 0, 127, n))
                        return badValue(arg, item, "a request type 0..127");
                    options.faults.ignoreTypes.insert(std::uint8_t(n));
                    if (comma == std::string::npos)
                        break;
                    start = comma + 1;
                }
            }
        } else {
            return usageError("unknown option \"" + args[i] + "\"");
        }
    }

    std::string error;
    sim::Scenario scenario;
    if (!scenarioPath.empty()) {
        auto loaded = sim::loadScenario(scenarioPath, &error);
        if (!loaded) {
            std::fprintf(stderr, "appliance-sim: bad scenario: %s\n", error.c_str());
            return 1;
        }
        scenario = *loaded;
    } else {
        scenario = sim::defaultScenario();
    }
    if (!sim::assignAddresses(scenario, base, &error)) {
        std::fprintf(stderr, "appliance-sim: bad scenario: %s\n", error.c_str());
        return 1;
    }

    std::FILE* log = stdout;
    if (!logPath.empty()) {
        log = std::fopen(logPath.c_str(), "a");
        if (!log) {
            std::fprintf(stderr, "appliance-sim: cannot open log file %s: %s\n", logPath.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }

    std::vector<sim::Appliance> appliances;
    for (const auto& profile : scenario.appliances) {
        appliances.emplace_back(profile, *profile.address);
        appliances.back().ispDelayMs = int(ispDelay);
        appliances.back().accountReply = accountReply;
        appliances.back().headerOnlyAcks = shortAcks;
    }
    sim::Server server(std::move(appliances), options, log);
    if (!server.open(&error)) {
        std::fprintf(stderr, "appliance-sim: %s\n", error.c_str());
        return 1;
    }

    stopsignals::install();
    std::signal(SIGPIPE, SIG_IGN);

    // The first line tells a launcher the port; the rest is for people.
    std::string banner = "appliance-sim listening on 0.0.0.0:" + std::to_string(server.port()) +
                         " with " + std::to_string(server.appliances().size()) + " appliances\n";
    for (const auto& a : server.appliances())
        banner += "  " + a.name() + " at " + sim::dotted(a.address()) + ", state " +
                  std::to_string(a.state()) + "\n";
    std::fputs(banner.c_str(), stdout);
    std::fflush(stdout);
    if (log != stdout) {
        std::fputs(banner.c_str(), log);
        std::fflush(log);
    }

    int rc = server.run(stopsignals::stopSeen);
    if (log != stdout)
        std::fclose(log);
    return rc;
}
