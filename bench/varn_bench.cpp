// varn-bench: measures the utility from outside its code. Every mode but
// `discovery` runs the program itself (runSetup, as varn-setup does) and
// watches it through an application-wide event filter that notes when the
// Device List paints; nothing in the program is changed for it.
//
//   varn-bench launch [--netns NAME] -- PROGRAM ARGS...
//       enters the network namespace, notes the clock, runs PROGRAM and turns
//       its "at EVENT NS" lines into "EVENT_ms" since the exec
//   varn-bench app [--expect N] [--hold-ms MS] [--loopback [--scenario FILE]]
//       the utility until its list has painted N lines: when the Device List
//       first painted ("shown"), its first line ("first") and all N
//       ("complete"); the dialog's size; the peak resident memory
//   varn-bench discovery --expect N [--runs R]
//       the Device List over the real endpoint, opened R times: first
//       broadcast to N lines painted, and to the sweep's end; the protocol's
//       floor (two 100 ms ticks) measured alongside
//   varn-bench rtt --to ADDRESS [--count N]
//       round trip of a discovery request to one appliance
//   varn-bench flood [--loopback | --flood-netns NAME --sources A,B --target A]
//                    [--expect N] [--seconds S] [--idle-seconds S] [--rate R] [--check]
//       the utility with its Device List open, idle, then flooded with
//       replies nobody asked for while Refresh is pressed every half second:
//       event-loop lateness, memory, socket drops, whether every sweep listed
//       every appliance; --check fails unless p99 < 50 ms, memory flat,
//       nothing dropped and every sweep complete
//
// Without --loopback the utility uses port 777 and 255.255.255.255 (run it
// in a namespace LAN with the simulator, as scripts/bench.sh does); with it,
// the driver starts appliance-sim on loopback as varn-demo does.

#include "bench_support.h"

#include "devices/devices_state.h"
#include "e2e/traffic.h"
#include "gui/app/app_main.h"
#include "gui/common/message_box.h"
#include "gui/common/qt_user_interface.h"
#include "gui/common/window_timers.h"
#include "gui/devices/device_list_dlg.h"
#include "gui/real_utility.h"
#include "link/link.h"
#include "sim_launcher.h"

#include <QApplication>
#include <QEventLoop>
#include <QListWidget>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <memory>
#include <poll.h>
#include <sched.h>
#include <set>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

using bench::nowNs;

struct Options {
    std::map<std::string, std::string> values;
    std::set<std::string> flags;

    std::string get(const std::string& name, const std::string& otherwise = {}) const {
        auto it = values.find(name);
        return it != values.end() ? it->second : otherwise;
    }
    long number(const std::string& name, long otherwise) const {
        auto it = values.find(name);
        return it != values.end() ? std::strtol(it->second.c_str(), nullptr, 10) : otherwise;
    }
    bool has(const std::string& flag) const { return flags.count(flag) > 0; }
};

const std::set<std::string> kFlags = {"--loopback", "--check"};

bool parse(int argc, char** argv, int from, Options& o) {
    for (int i = from; i < argc; ++i) {
        const std::string a = argv[i];
        if (kFlags.count(a)) {
            o.flags.insert(a.substr(2));
        } else if (a.rfind("--", 0) == 0 && i + 1 < argc) {
            o.values[a.substr(2)] = argv[++i];
        } else {
            std::fprintf(stderr, "varn-bench: unexpected argument \"%s\"\n", a.c_str());
            return false;
        }
    }
    return true;
}

std::uint32_t address(const std::string& dotted) {
    return varn::parseDotted(dotted.c_str(), dotted.size());
}

// Nothing in a measurement may wait for a click on a message box.
void printMessageBoxes() {
    setMessageBoxHook([](const QString& text, QMessageBox::Icon) {
        std::printf("message %s\n", qPrintable(text));
        std::fflush(stdout);
        return int(QMessageBox::Ok);
    });
}

// Notes the Device List's paints: the dialog's first ("shown"), its list's
// first with a line in it ("first"), the first with `expect` lines ("complete").
class PaintClock : public QObject {
  public:
    explicit PaintClock(int expect) : expect_(expect) {}
    QPointer<CDeviceListDlg> dialog;
    long long frame = 0, shown = 0, first = 0, complete = 0;
    std::function<void()> onComplete;

    void reset() {
        dialog = nullptr;
        frame = shown = first = complete = 0;
    }

  protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() != QEvent::Paint) {
            return false;
        }
        if (frame == 0 && qobject_cast<QMainWindow*>(o) != nullptr) {
            frame = nowNs();
        }
        if (auto* d = qobject_cast<CDeviceListDlg*>(o)) {
            if (shown == 0) {
                shown = nowNs();
                dialog = d;
            }
        } else if (dialog && o == dialog->list()->viewport()) {
            const int lines = dialog->list()->count();
            const long long t = nowNs();
            if (lines >= 1 && first == 0) {
                first = t;
            }
            if (lines >= expect_ && complete == 0) {
                complete = t;
                if (onComplete) {
                    onComplete();
                }
            }
        }
        return false;
    }

  private:
    int expect_;
};

std::string simulatorPath() {
    if (const char* given = std::getenv("VARN_APPLIANCE_SIM"); given && *given) {
        return given;
    }
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    path[n > 0 ? n : 0] = '\0';
    std::string here(path);
    return here.substr(0, here.rfind('/')) + "/../tools/appliance-sim/appliance-sim";
}

// The production settings, or appliance-sim started on loopback and the
// utility pointed at it (as varn-demo does).
bool settingsFor(const Options& o, varn::EndpointSettings& settings, simlaunch::SimProcess& sim) {
    if (!o.has("loopback")) {
        return true;
    }
    std::vector<std::string> args = {"--port",
                                     "0",
                                     "--base-address",
                                     "127.0.0.2",
                                     "--broadcast-address",
                                     "127.255.255.255",
                                     "--log",
                                     o.get("sim-log", "/dev/null")};
    if (!o.get("scenario").empty()) {
        args.insert(args.end(), {"--scenario", o.get("scenario")});
    }
    std::string error;
    if (!simlaunch::startSimulator(simulatorPath(), args, sim, &error)) {
        std::fprintf(stderr, "varn-bench: %s\n", error.c_str());
        return false;
    }
    settings.devicePort = sim.port;
    settings.localPort = simlaunch::freeUdpPort(sim.port);
    settings.broadcastAddress = varn::makeAddress(127, 255, 255, 255);
    settings.probeAddress = varn::makeAddress(127, 255, 255, 255);
    return true;
}

// A QApplication that takes no options from the driver's command line.
struct App {
    int argc = 1;
    char name[16] = "varn-bench";
    char* argv[2] = {name, nullptr};
    QApplication app{argc, argv};
};

// What each mode that runs the utility begins with: the application, message
// boxes printed instead of waited on, and the utility's settings (with the
// simulator on loopback when asked for, ended with the session).
struct Session {
    App a;
    varn::EndpointSettings settings;
    simlaunch::SimProcess sim;
    bool ready = false;

    explicit Session(const Options& o) {
        printMessageBoxes();
        ready = settingsFor(o, settings, sim);
    }
    ~Session() { simlaunch::stopSimulator(sim); }
};

void waitMs(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// ---------------------------------------------------------------- launch

int launch(int argc, char** argv) {
    std::string netns;
    int at = 2;
    for (; at < argc && std::strcmp(argv[at], "--") != 0; ++at) {
        if (std::strcmp(argv[at], "--netns") == 0 && at + 1 < argc) {
            netns = argv[++at];
        }
    }
    if (at + 1 >= argc) {
        std::fprintf(stderr, "usage: varn-bench launch [--netns NAME] -- PROGRAM ARGS...\n");
        return 2;
    }
    if (!netns.empty()) {
        int fd = open(("/run/netns/" + netns).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || setns(fd, CLONE_NEWNET) != 0) {
            std::fprintf(stderr, "varn-bench: cannot enter %s: %s\n", netns.c_str(),
                         std::strerror(errno));
            return 1;
        }
        close(fd);
    }
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        return 1;
    }
    std::fflush(stdout);
    const long long exec = nowNs();
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        execv(argv[at + 1], argv + at + 1);
        std::fprintf(stderr, "varn-bench: cannot run %s: %s\n", argv[at + 1], std::strerror(errno));
        _exit(127);
    }
    close(out[1]);
    FILE* child = fdopen(out[0], "r");
    char line[512];
    while (std::fgets(line, sizeof line, child) != nullptr) {
        char event[64];
        long long ns = 0;
        if (std::sscanf(line, "at %63s %lld", event, &ns) == 2) {
            std::printf("%s_ms %.1f\n", event, double(ns - exec) / 1e6);
        } else {
            std::fputs(line, stdout);
        }
        std::fflush(stdout);
    }
    std::fclose(child);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// ---------------------------------------------------------------- app

int app(const Options& o, Session& session) {
    App& a = session.a;
    const varn::EndpointSettings& settings = session.settings;
    const int expect = int(o.number("expect", 1));
    const int holdMs = int(o.number("hold-ms", 200));
    PaintClock clock(expect);
    a.app.installEventFilter(&clock);
    clock.onComplete = [&] {
        QTimer::singleShot(holdMs, [&] {
            bench::printAt("frame", clock.frame);
            bench::printAt("shown", clock.shown);
            bench::printAt("first", clock.first);
            bench::printAt("complete", clock.complete);
            std::printf("size %dx%d\n", clock.dialog->width(), clock.dialog->height());
            std::printf("peak_kib %ld\n", bench::statusKiB("VmHWM"));
            std::fflush(stdout);
            QCoreApplication::exit(0);
        });
    };
    QTimer::singleShot(int(o.number("timeout-ms", 20000)), [expect] {
        std::printf("error: the Device List never showed %d lines\n", expect);
        QCoreApplication::exit(1);
    });
    return runSetup(a.app, settings);
}

// ---------------------------------------------------------------- discovery

int discovery(const Options& o, Session& session) {
    App& a = session.a;
    const varn::EndpointSettings& settings = session.settings;
    const int expect = int(o.number("expect", 1));
    const int runs = int(o.number("runs", 7));

    // The floor: the sweep's first tick and its quiet tick.
    std::vector<double> floors;
    for (int r = 0; r < runs; ++r) {
        QEventLoop loop;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        int ticks = 0;
        const long long start = nowNs();
        long long end = 0;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            if (++ticks == 2) {
                end = nowNs();
                loop.quit();
            }
        });
        tick.start(CDeviceListDlg::kDiscoveryInterval);
        loop.exec();
        floors.push_back(double(end - start) / 1e6);
    }

    // The utility's side, wired as runSetup wires it.
    guitest::RealUtility utility(settings);
    traffic::RecordingEndpoint& endpoint = utility.endpoint;
    varn::Link& link = utility.link;

    PaintClock clock(expect);
    a.app.installEventFilter(&clock);
    std::vector<double> completes, sweeps;
    bool everyRunComplete = true;
    for (int r = 0; r < runs; ++r) {
        clock.reset();
        const std::size_t first = endpoint.sentTypes.size();
        CDeviceListDlg dlg(link, utility.config, utility.test, utility.state, utility.ui,
                           utility.access);
        long long sweepEnd = 0;
        const long long opened = nowNs();
        QTimer poll;
        poll.setTimerType(Qt::PreciseTimer);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (sweepEnd == 0 && !dlg.timers().isActive(CDeviceListDlg::TIMER_DISCOVERY)) {
                sweepEnd = nowNs();
            }
            if ((sweepEnd != 0 && clock.complete != 0) || nowNs() - opened > 3'000'000'000LL) {
                dlg.done(QDialog::Rejected);
            }
        });
        poll.start(1);
        dlg.exec();
        poll.stop();
        if (endpoint.sentAt.size() <= first) {
            std::printf("error: the Device List sent nothing\n");
            return 1;
        }
        const long long broadcast = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                        endpoint.sentAt[first].time_since_epoch())
                                        .count();
        const double complete = clock.complete ? double(clock.complete - broadcast) / 1e6 : -1;
        const double sweep = sweepEnd ? double(sweepEnd - broadcast) / 1e6 : -1;
        std::printf(
            "run %d: %d of %d listed, complete list painted %.1f ms and sweep ended %.1f ms "
            "after the first broadcast\n",
            r + 1, int(link.devices().deviceCount()), expect, complete, sweep);
        everyRunComplete = everyRunComplete && clock.complete != 0;
        if (clock.complete != 0) {
            completes.push_back(complete);
        }
        sweeps.push_back(sweep);
        waitMs(150); // the last answers of this run
    }
    std::printf("floor_ms %.1f\n", bench::median(floors));
    std::printf("complete_ms %.1f\n", bench::median(completes));
    std::printf("complete_worst_ms %.1f\n",
                completes.empty() ? -1 : *std::max_element(completes.begin(), completes.end()));
    std::printf("sweep_ms %.1f\n", bench::median(sweeps));
    std::printf("every_run_complete %s\n", everyRunComplete ? "yes" : "no");
    return 0;
}

// ---------------------------------------------------------------- rtt

int rtt(const Options& o) {
    const std::uint32_t to = address(o.get("to"));
    const int count = int(o.number("count", 20));
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = to;
    target.sin_port = htons(std::uint16_t(o.number("port", varn::kDevicePort)));
    const std::uint8_t request[8] = {'Q', 'u', 'o', 'r', 'i', 'x', varn::kDiscover, 0};
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        const long long sent = nowNs();
        sendto(fd, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&target), sizeof target);
        pollfd p{fd, POLLIN, 0};
        std::uint8_t reply[1536];
        while (poll(&p, 1, 1000) > 0) {
            sockaddr_in from{};
            socklen_t length = sizeof from;
            ssize_t n =
                recvfrom(fd, reply, sizeof reply, 0, reinterpret_cast<sockaddr*>(&from), &length);
            if (n > 6 && reply[6] == (varn::kDiscover | varn::kReplyBit) &&
                from.sin_addr.s_addr == to) {
                times.push_back(double(nowNs() - sent) / 1e6);
                break;
            }
        }
        usleep(20000);
    }
    close(fd);
    std::printf("rtt_ms %.3f\n", bench::median(times));
    std::printf("answered %zu of %d\n", times.size(), count);
    return times.empty() ? 1 : 0;
}

// ---------------------------------------------------------------- flood

// Datagrams the system dropped for our socket (its receive buffer was full),
// and those waiting in it, from /proc/self/net/udp.
struct SocketCounts {
    long drops = -1;
    long queued = -1;
};
SocketCounts socketCounts(std::uint16_t port) {
    std::ifstream in("/proc/self/net/udp");
    std::string line;
    std::getline(in, line); // heading
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, ":%04X", port);
    SocketCounts c;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::vector<std::string> f;
        for (std::string x; fields >> x;)
            f.push_back(x);
        if (f.size() >= 13 && f[1].size() > 5 && f[1].substr(f[1].size() - 5) == wanted) {
            c.drops = std::strtol(f.back().c_str(), nullptr, 10);
            c.queued = std::strtol(f[4].substr(f[4].find(':') + 1).c_str(), nullptr, 16);
        }
    }
    return c;
}

double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Lateness of a 10 ms timer, which the event loop fires when it gets to it.
class LatencyProbe : public QObject {
  public:
    std::vector<double>* into = nullptr;
    void start() { arm(); }
    void stop() { timer_.stop(); }

  private:
    void arm() {
        due_ = nowNs() + 10'000'000LL;
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.start(10);
    }
    QTimer timer_;
    long long due_ = 0;
    bool connected_ = [this] {
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            if (into != nullptr) {
                into->push_back(std::max(0.0, double(nowNs() - due_) / 1e6));
            }
            arm();
        });
        return true;
    }();
};

int flood(const Options& o, Session& session) {
    App& a = session.a;
    const varn::EndpointSettings& settings = session.settings;
    const int expect = int(o.number("expect", 3));
    const int seconds = int(o.number("seconds", 3));
    const int idleSeconds = int(o.number("idle-seconds", seconds));
    const int rate = int(o.number("rate", 20000));

    traffic::FloodPlan plan;
    plan.milliseconds = seconds * 1000;
    plan.perSecond = rate;
    plan.targetPort = settings.localPort;
    if (o.has("loopback")) {
        // A stranger, and one posing as an appliance.
        plan.sources = {varn::makeAddress(127, 0, 0, 66), varn::makeAddress(127, 0, 0, 2)};
        plan.target = varn::makeAddress(127, 0, 0, 1);
    } else {
        for (const QString& s :
             QString::fromStdString(o.get("sources")).split(',', Qt::SkipEmptyParts))
            plan.sources.push_back(address(s.toStdString()));
        plan.target = address(o.get("target"));
        plan.netns = o.get("flood-netns");
        if (plan.sources.empty() || plan.target == varn::kBroadcastAddress) {
            std::fprintf(stderr, "varn-bench flood: --sources and --target, or --loopback\n");
            return 2;
        }
    }

    PaintClock clock(expect);
    a.app.installEventFilter(&clock);
    LatencyProbe probe;
    std::vector<double> idle, flooded;
    std::unique_ptr<traffic::Flooder> flooder;
    QTimer refresh;
    int sweeps = 0, completeSweeps = 0;
    long rssIdle = 0, rssAfter = 0;
    SocketCounts before, after;
    double cpuBefore = 0, cpuAfter = 0;
    long sent = 0;
    std::string floodError;

    // Each half second: the last sweep must have listed everyone; then Refresh.
    QObject::connect(&refresh, &QTimer::timeout, [&] {
        CDeviceListDlg* d = clock.dialog;
        if (d == nullptr || d->timers().isActive(CDeviceListDlg::TIMER_DISCOVERY)) {
            return;
        }
        QStringList names;
        for (int i = 0; i < d->list()->count(); ++i)
            names << d->list()->item(i)->text().section('\t', 0, 0).trimmed();
        names.removeDuplicates();
        ++sweeps;
        completeSweeps += d->list()->count() == expect && names.size() == expect;
        d->button(1002)->click();
    });

    auto finish = [&] {
        probe.stop();
        refresh.stop();
        rssAfter = traffic::residentKiB();
        after = socketCounts(settings.localPort);
        cpuAfter = threadCpuMs();
        QCoreApplication::exit(0);
    };
    auto startFlood = [&] {
        rssIdle = traffic::residentKiB();
        before = socketCounts(settings.localPort);
        cpuBefore = threadCpuMs();
        probe.into = &flooded;
        flooder = std::make_unique<traffic::Flooder>(plan);
        refresh.start(500);
        auto* watch = new QTimer(&a.app);
        QObject::connect(watch, &QTimer::timeout, [&, watch] {
            if (!flooder->done()) {
                return;
            }
            watch->stop();
            sent = flooder->sent();
            floodError = flooder->error();
            probe.into = nullptr;
            refresh.stop();
            // What is still queued, and the last sweep's answers.
            QTimer::singleShot(600, [&] {
                refresh.start(500);
                QTimer::singleShot(700, finish);
            });
        });
        watch->start(20);
    };
    clock.onComplete = [&] {
        QTimer::singleShot(300, [&] {
            probe.into = &idle;
            probe.start();
            QTimer::singleShot(idleSeconds * 1000, startFlood);
        });
    };
    QTimer::singleShot(20000 + (idleSeconds + seconds) * 1000, [&] {
        std::printf("error: the Device List never showed %d lines\n", expect);
        QCoreApplication::exit(1);
    });

    const int rc = runSetup(a.app, settings);
    flooder.reset();
    if (rc != 0) {
        return rc;
    }

    const long lost = (after.drops >= 0 && before.drops >= 0) ? after.drops - before.drops : -1;
    const long grown = rssAfter - rssIdle;
    const double cpuMs = cpuAfter - cpuBefore;
    std::printf("idle_p50_ms %.2f\nidle_p99_ms %.2f\nidle_max_ms %.2f\n", bench::median(idle),
                bench::quantile(idle, 0.99), bench::quantile(idle, 1.0));
    std::printf("flood_p50_ms %.2f\nflood_p99_ms %.2f\nflood_max_ms %.2f\n", bench::median(flooded),
                bench::quantile(flooded, 0.99), bench::quantile(flooded, 1.0));
    std::printf("sent %ld\nsent_per_s %.0f\n", sent, double(sent) / seconds);
    std::printf("dropped %ld\nstill_queued %ld\n", lost, after.queued);
    std::printf("rss_idle_kib %ld\nrss_after_kib %ld\nrss_growth_kib %ld\n", rssIdle, rssAfter,
                grown);
    std::printf("sweeps %d\nsweeps_complete %d\n", sweeps, completeSweeps);
    std::printf("main_thread_cpu_ms %.0f\n", cpuMs);
    if (cpuMs > 0) {
        std::printf("datagrams_per_cpu_s %.0f\n", double(sent) / (cpuMs / 1e3));
    }
    if (!floodError.empty()) {
        std::printf("error: %s\n", floodError.c_str());
        return 1;
    }
    if (!o.has("check")) {
        return 0;
    }
    std::vector<std::string> failed;
    const double p99 = bench::quantile(flooded, 0.99);
    if (!(p99 >= 0 && p99 < 50))
        failed.push_back("p99 event-loop lateness under the flood is " + std::to_string(p99) +
                         " ms, not below 50");
    if (traffic::kResidentMemoryMeaningful && grown >= 4096)
        failed.push_back("resident memory grew by " + std::to_string(grown) + " KiB");
    if (lost != 0)
        failed.push_back(std::to_string(lost) + " datagrams dropped at the socket");
    if (sweeps < 2 || completeSweeps != sweeps)
        failed.push_back(std::to_string(completeSweeps) + " of " + std::to_string(sweeps) +
                         " sweeps listed every appliance");
    if (double(sent) < 0.9 * rate * seconds)
        failed.push_back("the flood was too thin: " + std::to_string(sent) + " datagrams");
    for (const std::string& f : failed)
        std::printf("FAILED: %s\n", f.c_str());
    return failed.empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "launch") {
        return launch(argc, argv);
    }
    Options o;
    if (!parse(argc, argv, 2, o)) {
        return 2;
    }
    if (mode == "rtt")
        return rtt(o);
    using Mode = int (*)(const Options&, Session&);
    const std::map<std::string, Mode> modes = {
        {"app", app}, {"discovery", discovery}, {"flood", flood}};
    if (auto m = modes.find(mode); m != modes.end()) {
        Session session(o);
        return session.ready ? m->second(o, session) : 1;
    }
    std::fprintf(stderr, "usage: varn-bench (launch|app|discovery|rtt|flood) [options]; see the "
                         "head of bench/varn_bench.cpp\n");
    return 2;
}
