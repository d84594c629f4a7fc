// varn-demo: the utility on a simulated LAN. Starts appliance-sim on loopback
// (appliances at 127.0.0.2, 127.0.0.3, ... on a free high port), points the
// utility's endpoint at it and runs the same application as varn-setup. Closing
// the utility ends the simulator. Without a display it runs headless for a few
// seconds and prints what the utility found.

#include "gui/app/app_main.h"
#include "link/device_state.h"
#include "link/link.h"
#include "protocol/wire.h"

#include "sim_launcher.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netdb.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: varn-demo [--scenario FILE] [--seconds N] [simulator faults] [Qt options]\n"
    "Starts appliance-sim on loopback and the utility against it.\n"
    "  --scenario FILE  the simulator's scenario (default: its three built-in appliances)\n"
    "  --seconds N      without a display: how long to run before reporting (default 4)\n"
    "Passed on to the simulator (see appliance-sim --help):\n"
    "  --drop SHARE, --delay MS, --ignore T[,T...], --isp-delay MS, --seed N,\n"
    "  --account-reply T, --duplicate, --reply-broadcast, --short-acks\n"
    "The simulator is found next to this program, in ../appliance-sim/, or at\n"
    "$VARN_APPLIANCE_SIM.\n";

// The simulator's fault options, passed through as they are.
bool isSimulatorFlag(const std::string& a) {
    return a == "--duplicate" || a == "--reply-broadcast" || a == "--short-acks";
}
bool isSimulatorOption(const std::string& a) {
    return a == "--drop" || a == "--delay" || a == "--ignore" || a == "--isp-delay" ||
           a == "--seed" || a == "--account-reply";
}

// Whether the display that DISPLAY or WAYLAND_DISPLAY names answers: Qt aborts
// the program when it cannot reach the one it is given.
bool displayReachable() {
    auto canConnect = [](const std::string& path) {
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        if (path.size() >= sizeof a.sun_path) {
            close(fd);
            return false;
        }
        std::memcpy(a.sun_path, path.c_str(), path.size() + 1);
        const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        close(fd);
        return ok;
    };
    if (const char* wayland = std::getenv("WAYLAND_DISPLAY"); wayland && *wayland) {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        std::string path =
            wayland[0] == '/' ? wayland : std::string(runtime ? runtime : "") + "/" + wayland;
        if (canConnect(path))
            return true;
    }
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        return false;
    // ":N" and "unix:N" are local sockets; "host:N" is TCP port 6000 + N.
    const std::string d = display;
    const std::size_t colon = d.rfind(':');
    if (colon == std::string::npos)
        return false;
    const std::string host = d.substr(0, colon);
    const int number = std::atoi(d.c_str() + colon + 1);
    if (host.empty() || host == "unix")
        return canConnect("/tmp/.X11-unix/X" + std::to_string(number));
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(6000 + number).c_str(), &hints, &found) != 0)
        return false;
    bool ok = false;
    for (addrinfo* ai = found; ai && !ok; ai = ai->ai_next) {
        int fd = socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd >= 0) {
            ok = connect(fd, ai->ai_addr, ai->ai_addrlen) == 0;
            close(fd);
        }
    }
    freeaddrinfo(found);
    return ok;
}

std::string directoryOfThisProgram() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return ".";
    path[n] = '\0';
    std::string p(path);
    return p.substr(0, p.rfind('/'));
}

std::string findSimulator() {
    if (const char* env = std::getenv("VARN_APPLIANCE_SIM"); env && *env)
        return env;
    std::string here = directoryOfThisProgram();
    for (std::string candidate :
         {here + "/appliance-sim", here + "/../appliance-sim/appliance-sim"})
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    return {};
}

int reportFindings(const varn::Link& link) {
    const varn::DeviceTable& devices = link.devices();
    if (devices.deviceCount() == 0) {
        std::printf("varn-demo: the utility found no appliance.\n");
        return 1;
    }
    std::printf("varn-demo: the utility found %d appliance%s:\n", devices.deviceCount(),
                devices.deviceCount() == 1 ? "" : "s");
    std::printf("  %-14s %-16s %s\n", "Name", "LAN address", "State");
    for (int i = 0; i < devices.deviceCount(); ++i) {
        const varn::DeviceEntry& e = devices.entry(i);
        std::string state = varn::listStateName(e.state);
        state.erase(state.find_last_not_of(' ') + 1);
        std::printf("  %-14s %-16s %s\n", e.nameText().c_str(), varn::dottedText(e.address).c_str(),
                    state.c_str());
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    std::string scenario;
    std::vector<std::string> faults;
    int seconds = 4;
    bool platformGiven = false;
    std::vector<char*> qtArgs{argv[0]};
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--scenario" || a == "--seconds") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "varn-demo: %s needs a value\n", a.c_str());
                return 2;
            }
            std::string v = argv[++i];
            if (a == "--scenario") {
                scenario = v;
            } else {
                char* end = nullptr;
                long n = std::strtol(v.c_str(), &end, 10);
                if (v.empty() || *end != '\0' || n < 1 || n > 3600) {
                    std::fprintf(stderr, "varn-demo: --seconds: \"%s\" is not 1..3600\n",
                                 v.c_str());
                    return 2;
                }
                seconds = int(n);
            }
        } else if (isSimulatorFlag(a)) {
            faults.push_back(a);
        } else if (isSimulatorOption(a)) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "varn-demo: %s needs a value\n", a.c_str());
                return 2;
            }
            faults.push_back(a);
            faults.push_back(argv[++i]);
        } else if (a.rfind("--", 0) == 0) {
            std::fprintf(stderr, "varn-demo: unknown option \"%s\"\n%s", a.c_str(), kUsage);
            return 2;
        } else {
            platformGiven = platformGiven || a == "-platform";
            qtArgs.push_back(argv[i]);
        }
    }

    // Without a screen Qt would abort looking for one: run offscreen instead.
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool headless = !platformGiven && (!platform || !*platform) && !displayReachable();
    if (headless) {
        const char* display = std::getenv("DISPLAY");
        const bool named = (display && *display) || std::getenv("WAYLAND_DISPLAY");
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::printf("varn-demo: %s, so the utility runs headless\n"
                    "  on Qt's offscreen platform for %d seconds and then reports what it found.\n"
                    "  To see its windows, run it on a desktop, or under Xvfb "
                    "(Xvfb :77 & DISPLAY=:77 varn-demo).\n",
                    named ? "the display named in DISPLAY or WAYLAND_DISPLAY does not answer"
                          : "no display (neither DISPLAY nor QT_QPA_PLATFORM is set)",
                    seconds);
    }

    std::string simulator = findSimulator();
    if (simulator.empty()) {
        std::fprintf(stderr, "varn-demo: cannot find appliance-sim next to this program or in "
                             "../appliance-sim/; build it, or set VARN_APPLIANCE_SIM\n");
        return 1;
    }
    const char* tmp = std::getenv("TMPDIR");
    const std::string log =
        std::string(tmp ? tmp : "/tmp") + "/varn-demo-sim-" + std::to_string(getpid()) + ".log";
    std::vector<std::string> simArgs = {
        "--port", "0", "--base-address", "127.0.0.2", "--broadcast-address", "127.255.255.255",
        "--log",  log};
    if (!scenario.empty()) {
        simArgs.push_back("--scenario");
        simArgs.push_back(scenario);
    }
    simArgs.insert(simArgs.end(), faults.begin(), faults.end());
    simlaunch::SimProcess sim;
    std::string error;
    if (!simlaunch::startSimulator(simulator, simArgs, sim, &error)) {
        std::fprintf(stderr, "varn-demo: %s\n", error.c_str());
        return 1;
    }
    std::printf("varn-demo: started %s%s  datagram log: %s\n", sim.banner.c_str(),
                sim.banner.empty() || sim.banner.back() != '\n' ? "\n" : "", log.c_str());
    std::fflush(stdout);

    // The utility on its own high port, broadcasting on loopback.
    varn::EndpointSettings settings;
    settings.devicePort = sim.port;
    settings.localPort = simlaunch::freeUdpPort(sim.port);
    settings.broadcastAddress = varn::makeAddress(127, 255, 255, 255);
    settings.probeAddress = varn::makeAddress(127, 255, 255, 255);

    int qtArgc = int(qtArgs.size());
    qtArgs.push_back(nullptr);
    QApplication app(qtArgc, qtArgs.data());
    int found = 0;
    const varn::Link* link = nullptr;
    if (headless)
        QTimer::singleShot(seconds * 1000, &app, [&found, &link] {
            found = link != nullptr ? reportFindings(*link) : 1;
            std::fflush(stdout);
            // Leaves every event loop, the open Device List's included.
            QCoreApplication::exit(found);
        });
    int result = runSetup(app, settings, [&link](const varn::Link& l) { link = &l; });
    simlaunch::stopSimulator(sim);
    return headless ? found : result;
}
