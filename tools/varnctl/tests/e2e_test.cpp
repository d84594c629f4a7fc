// varnctl end to end: the program itself, run as a separate process against
// appliance-sim on loopback (appliances at 127.0.0.2..., high ports on both
// sides, broadcasts to 127.255.255.255). What reached the appliances is read
// from the simulator's log.

#include "backup.h"
#include "sim_launcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

struct Result {
    int status = -1; // exit status; -1 when killed
    std::string out, err;
    long ms = 0;
};

std::vector<char*> argvOf(std::vector<std::string>& all) {
    std::vector<char*> argv;
    argv.reserve(all.size() + 1);
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    return argv;
}

int exitStatus(int wstatus) {
    return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
}

// A signal sent during a run: after a time, or once `when` holds.
struct SignalAt {
    int afterMs = -1;
    int number = SIGINT;
    std::function<bool()> when;
};

// Runs varnctl without a terminal (its own session), collecting what it
// prints; standard input gives `input` (empty: none).
Result runVarnctl(std::vector<std::string> args, const SignalAt& signal,
                  const std::string& input = "", int timeoutMs = 30000) {
    std::vector<std::string> all{VARNCTL_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv = argvOf(all);
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0)
        return {};
    (void)!write(in[1], input.data(), input.size()); // small: fits the pipe
    close(in[1]);
    const Clock::time_point start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        setsid(); // no controlling terminal: /dev/tty cannot be opened
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    Result r;
    bool interruptSent = false;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        const long elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        if (elapsed > timeoutMs) {
            kill(pid, SIGKILL);
            break;
        }
        if (!interruptSent && ((signal.afterMs >= 0 && elapsed >= signal.afterMs) ||
                               (signal.when && signal.when()))) {
            kill(pid, signal.number);
            interruptSent = true;
        }
        if (poll(fds, 2, 20) <= 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char chunk[4096];
            const ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? r.out : r.err).append(chunk, std::size_t(n));
            }
        }
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    for (const pollfd& p : fds)
        if (p.fd >= 0)
            close(p.fd);
    r.status = exitStatus(wstatus);
    r.ms =
        long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    return r;
}

Result runVarnctl(std::vector<std::string> args, int interruptAfterMs = -1) {
    return runVarnctl(std::move(args), SignalAt{interruptAfterMs, SIGINT, {}});
}

// varnctl on a pseudo-terminal of its own, driven as a person would type.
class TerminalRun {
  public:
    explicit TerminalRun(std::vector<std::string> args) {
        std::vector<std::string> all{VARNCTL_PATH};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv = argvOf(all);
        pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~TerminalRun() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0)
            close(master_);
    }

    // Reads until `text` has appeared in the transcript.
    bool waitFor(const std::string& text, int timeoutMs = 10000) {
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (transcript.find(text) == std::string::npos) {
            if (Clock::now() > deadline || !readSome(50))
                return transcript.find(text) != std::string::npos;
        }
        return true;
    }
    void type(const std::string& text) { (void)!write(master_, text.data(), text.size()); }
    // Reads to the end; the exit status.
    int finish(int timeoutMs = 20000) {
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Clock::now() < deadline && readSome(50)) {
        }
        int wstatus = 0;
        waitpid(pid_, &wstatus, 0);
        pid_ = -1;
        return exitStatus(wstatus);
    }

    std::string transcript;

  private:
    // False at the end of output.
    bool readSome(int waitMs) {
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, waitMs) <= 0)
            return true;
        char chunk[1024];
        const ssize_t n = read(master_, chunk, sizeof chunk);
        if (n <= 0)
            return false; // EIO once the program has ended
        transcript.append(chunk, std::size_t(n));
        return true;
    }

    int master_ = -1;
    pid_t pid_ = -1;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

class Varnctl : public ::testing::Test {
  protected:
    void TearDown() override { simlaunch::stopSimulator(sim_); }

    // Starts the simulator (default appliances unless a scenario is given).
    void startSimulator(std::vector<std::string> extra = {}) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = ::testing::TempDir() + "varnctl-" + info->name() + "-" + std::to_string(getpid());
        mkdir(dir_.c_str(), 0700);
        log_ = dir_ + "/sim.log";
        std::remove(log_.c_str());
        std::vector<std::string> args = {"--port",          "0",     "--broadcast-address",
                                         "127.255.255.255", "--log", log_};
        args.insert(args.end(), extra.begin(), extra.end());
        std::string error;
        ASSERT_TRUE(simlaunch::startSimulator(APPLIANCE_SIM_PATH, args, sim_, &error)) << error;
        local_ = simlaunch::freeUdpPort(sim_.port);
    }

    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    // The network options that point varnctl at the simulator.
    std::vector<std::string> net(std::vector<std::string> args) const {
        args.insert(args.end(), {"--port", std::to_string(sim_.port), "--broadcast",
                                 "127.255.255.255", "--bind", std::to_string(local_)});
        return args;
    }

    std::string passwordFile(const std::string& password) {
        std::string p = path("password-" + password);
        writeFile(p, password + "\n");
        chmod(p.c_str(), 0600);
        return p;
    }

    std::string settledLog() const { return simlaunch::settledLog(log_); }

    // `backup` with another phone number, as a file to put.
    std::string changedBackup(varnctl::Backup backup) {
        backup.block.setPhoneNumber("5559999");
        writeFile(path("changed.json"), varnctl::writeBackup(backup));
        return path("changed.json");
    }

    // Whether a request of `type` has reached the simulator yet.
    bool arrived(int type) const {
        return std::regex_search(readFile(log_),
                                 std::regex(" RX .* request " + std::to_string(type) + " \\("));
    }

    // Requests of `type` that reached the simulator.
    int received(int type) const { return simlaunch::requestsIn(settledLog(), type); }
    // The types of the requests received, in order.
    std::vector<int> receivedTypes() const {
        const std::regex line(" RX .* request ([0-9]+) \\(");
        std::istringstream log(settledLog());
        std::vector<int> types;
        std::smatch m;
        for (std::string l; std::getline(log, l);)
            if (std::regex_search(l, m, line))
                types.push_back(std::stoi(m[1]));
        return types;
    }

    // Backs VARN-Office up into `file` (its password is 1234).
    varnctl::Backup backUpOffice(const std::string& file) {
        const Result r = runVarnctl(net(
            {"config", "get", "VARN-Office", "-o", file, "--password-file", passwordFile("1234")}));
        EXPECT_EQ(r.status, 0) << r.err;
        const varnctl::BackupRead read = varnctl::readBackup(readFile(file));
        EXPECT_TRUE(read.backup) << read.error;
        return read.backup.value_or(varnctl::Backup{});
    }

    simlaunch::SimProcess sim_;
    std::uint16_t local_ = 0;
    std::string dir_, log_;
};

TEST_F(Varnctl, DiscoverListsEveryApplianceAsTableAndJson) {
    startSimulator();
    Result r = runVarnctl(net({"discover"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Device Name  LAN IP Address  Status\n"
                     "VARN-Office  127.0.0.2       Ready\n"
                     "VARN-Lab     127.0.0.3       ISP Connected\n"
                     "VARN-Store   127.0.0.4       Ready\n");

    r = runVarnctl(net({"discover", "--json", "--timeout", "400"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << "one document, one line: " << r.out;
    const nlohmann::json list = nlohmann::json::parse(r.out);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[1]["name"], "VARN-Lab");
    EXPECT_EQ(list[1]["address"], "127.0.0.3");
    EXPECT_EQ(list[1]["status"], "ISP Connected");
    // The Device List shows a failed dial as Ready; its code tells.
    EXPECT_EQ(list[2]["state"], 6);
    EXPECT_EQ(list[2]["status"], "Ready");
    EXPECT_GE(r.ms, 400);
}

TEST_F(Varnctl, DiscoverWithNobodyAnsweringSaysSo) {
    startSimulator({"--ignore", "1"});
    const Result r = runVarnctl(net({"discover", "--json"}));
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "[]\n");
    EXPECT_NE(r.err.find("no appliance answered the discovery broadcast"), std::string::npos);
}

TEST_F(Varnctl, PortThatCannotBeBoundIsReportedOnceAndTheCommandGoesOn) {
    startSimulator();
    // Someone else holds our port: the appliances still answer the sender's port.
    const int holder = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(local_);
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    const Result r = runVarnctl(net({"discover"}));
    close(holder);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("VARN-Store"), std::string::npos);
    const std::string message = "Can not listen on UDP port " + std::to_string(local_);
    const auto first = r.err.find(message);
    EXPECT_NE(first, std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(message, first + 1), std::string::npos) << r.err;
}

TEST_F(Varnctl, StatusShowsTheMonitorsColumnsSortedByName) {
    startSimulator();
    Result r = runVarnctl(net({"status"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Device Name  Status                            WAN IP        Speed(bps)\n"
                     "VARN-Lab     ISP Connected                     203.0.113.45  28800\n"
                     "VARN-Office  Ready\n"
                     "VARN-Store   Dial Error - Telephone line Busy\n");
    EXPECT_GE(r.ms, 300); // the monitor's first refresh
    EXPECT_EQ(received(36), 1);

    r = runVarnctl(net({"status", "--json"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << r.out;
    const nlohmann::json rows = nlohmann::json::parse(r.out)["appliances"];
    EXPECT_EQ(rows[0]["speed"], 28800);
    EXPECT_EQ(rows[0]["wan_ip"], "203.0.113.45");
    EXPECT_TRUE(rows[1]["wan_ip"].is_null());
    EXPECT_EQ(rows[2]["state"], 6);
    EXPECT_EQ(rows[2]["code"], 5);
    EXPECT_EQ(rows[2]["status"], "Dial Error - Telephone line Busy");
}

TEST_F(Varnctl, StatusWatchRefreshesEveryThreeSecondsUntilInterrupted) {
    startSimulator();
    const Result r = runVarnctl(net({"status", "--watch", "--json"}), 3600);
    EXPECT_EQ(r.status, 0) << r.err;
    // Refreshes at 300 ms and 3300 ms; the interrupt ends the watch.
    std::istringstream lines(r.out);
    int refreshes = 0;
    const std::regex iso8601("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z");
    for (std::string line; std::getline(lines, line); ++refreshes) {
        const nlohmann::json document = nlohmann::json::parse(line);
        EXPECT_TRUE(std::regex_match(document["time"].get<std::string>(), iso8601)) << line;
        EXPECT_EQ(document["appliances"].size(), 3u) << line;
    }
    EXPECT_EQ(refreshes, 2) << r.out;
    EXPECT_EQ(received(36), 3);
}

TEST_F(Varnctl, ConfigGetSavesTheBlockWithItsFieldsForTheOwnerOnly) {
    startSimulator();
    const std::string file = path("office.json");
    const varnctl::Backup backup = backUpOffice(file);
    EXPECT_EQ(backup.block.deviceName(), "VARN-Office");
    EXPECT_EQ(backup.block.phoneNumber(), "5550100");
    EXPECT_EQ(backup.source.address, "127.0.0.2");
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // The Config chain's reads, and nothing that would begin a configuration.
    // (The sweep broadcasts twice: the first 100 ms brought news.)
    EXPECT_EQ(receivedTypes(), (std::vector<int>{1, 1, 33, 2}));

    // An appliance without a password needs none, also without a terminal.
    const Result r = runVarnctl(net({"config", "get", "VARN-Lab"}));
    ASSERT_EQ(r.status, 0) << r.err;
    const varnctl::BackupRead lab = varnctl::readBackup(r.out);
    ASSERT_TRUE(lab.backup) << lab.error;
    EXPECT_EQ(lab.backup->block.scriptPrompt(1), "ssword: ");
}

TEST_F(Varnctl, ConfigGetWithAWrongPasswordWritesNothing) {
    startSimulator();
    const std::string file = path("office.json");
    // The login dialog's check: exact length and bytes.
    for (const char* wrong : {"12345", "123", "4321"}) {
        const Result r = runVarnctl(net(
            {"config", "get", "VARN-Office", "-o", file, "--password-file", passwordFile(wrong)}));
        EXPECT_EQ(r.status, 4) << wrong;
        EXPECT_EQ(r.err, "varnctl: Incorrect Password ! (VARN-Office (127.0.0.2) refused the "
                         "password)\n");
        EXPECT_FALSE(exists(file));
    }
    // No terminal to ask on and no password file: refused, nothing written.
    Result r = runVarnctl(net({"config", "get", "VARN-Office", "-o", file}));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--password-file"), std::string::npos);
    EXPECT_FALSE(exists(file));

    // Nor is anything written into the appliance.
    const std::string changed = changedBackup(backUpOffice(path("original.json")));
    r = runVarnctl(net({"config", "put", "VARN-Office", "-i", changed, "--yes", "--password-file",
                        passwordFile("4321")}));
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(received(11), 0);
    EXPECT_EQ(received(7), 0);
}

TEST_F(Varnctl, PasswordIsAskedOnTheTerminalWithoutEcho) {
    startSimulator();
    const std::string file = path("office.json");
    TerminalRun run(net({"config", "get", "VARN-Office", "-o", file}));
    ASSERT_TRUE(run.waitFor("Device Password : ")) << run.transcript;
    run.type("1234\n");
    EXPECT_EQ(run.finish(), 0) << run.transcript;
    std::string shown = run.transcript;
    for (auto at = shown.find(dir_); at != std::string::npos; at = shown.find(dir_))
        shown.erase(at, dir_.size()); // the path may hold any digits
    EXPECT_EQ(shown.find("1234"), std::string::npos) << run.transcript;
    EXPECT_TRUE(exists(file));

    // A wrong one typed there is refused the same way.
    std::remove(file.c_str());
    TerminalRun wrong(net({"config", "get", "VARN-Office", "-o", file}));
    ASSERT_TRUE(wrong.waitFor("Device Password : "));
    wrong.type("12\n");
    EXPECT_EQ(wrong.finish(), 4) << wrong.transcript;
    EXPECT_FALSE(exists(file));
}

TEST_F(Varnctl, UnansweredFirmwareQueryGivesUpAfterItsTries) {
    startSimulator({"--ignore", "33"});
    const Result r = runVarnctl(net({"config", "get", "VARN-Lab"}));
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("Get Configuration of selected device failed, check if connection was "
                         "lost or IP Address need be set"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(received(33), 3); // three tries, 100 ms apart
    EXPECT_EQ(received(2), 0);
}

TEST_F(Varnctl, UnansweredReadGivesUpAfterItsTries) {
    startSimulator({"--ignore", "2"});
    const Result r = runVarnctl(net({"config", "get", "VARN-Lab", "--address", "127.0.0.3"}));
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("Get Configuration of selected device failed"), std::string::npos);
    EXPECT_EQ(receivedTypes(), (std::vector<int>{33, 2, 2, 2, 2, 2})); // no discovery
    EXPECT_GE(r.ms, 100 + 4 * 200);
}

TEST_F(Varnctl, ApplianceOnAnotherNetworkIsSentToSetIp) {
    const std::string scenario = ::testing::TempDir() + "varnctl-far.json";
    writeFile(scenario, R"({"appliances": [{"name": "Far", "address": "203.0.113.7"}]})");
    startSimulator({"--scenario", scenario});
    const Result r = runVarnctl(net({"config", "get", "Far"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("outside this PC's network"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("varnctl set-ip Far NEW-IP"), std::string::npos);
    EXPECT_EQ(receivedTypes(), (std::vector<int>{1, 1})); // nothing unicast
}

TEST_F(Varnctl, CorruptOrTruncatedBackupIsRefusedBeforeAnythingIsSent) {
    startSimulator();
    const std::string good = path("office.json");
    backUpOffice(good);
    const std::string text = readFile(good);
    const std::size_t logSize = settledLog().size();

    std::string flipped = text;
    const auto hexAt = flipped.find("\"hex\": [") + 20;
    flipped[hexAt] = flipped[hexAt] == 'a' ? 'b' : 'a';
    std::string latin1 = text;
    latin1.replace(latin1.find("VARN-Office"), 1, "\xd6");
    std::string twice = text;
    twice.insert(twice.rfind('}'), ", \"fields\": {}");
    const std::pair<std::string, std::string> bad[] = {
        {text.substr(0, text.size() / 2), "truncated"},
        {flipped, "checksum"},
        {"", "empty"},
        {latin1, "not UTF-8"},
        {twice, "\"fields\" twice"},
    };
    for (const auto& [content, why] : bad) {
        const std::string file = path("bad.json");
        writeFile(file, content);
        const Result r = runVarnctl(net({"config", "put", "VARN-Office", "-i", file, "--yes",
                                         "--password-file", passwordFile("1234")}));
        EXPECT_EQ(r.status, 2) << why;
        EXPECT_NE(r.err.find(why), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("nothing was sent"), std::string::npos) << r.err;
    }
    // A huge file is named with its own size, not with what was read of it.
    const std::string huge = path("huge.json");
    writeFile(huge, text);
    ASSERT_EQ(truncate(huge.c_str(), 100 << 20), 0);
    const Result big = runVarnctl(net({"config", "put", "VARN-Office", "-i", huge, "--yes"}));
    EXPECT_EQ(big.status, 2);
    EXPECT_NE(big.err.find("(104857600 bytes"), std::string::npos) << big.err;
    const Result missing =
        runVarnctl(net({"config", "put", "VARN-Office", "-i", path("none"), "--yes"}));
    EXPECT_EQ(missing.status, 1); // a file failure, not bad input
    // Not even a discovery went out.
    EXPECT_EQ(settledLog().size(), logSize);
}

TEST_F(Varnctl, BackupThenRestoreLeavesTheBlockIdentical) {
    startSimulator();
    const varnctl::Backup original = backUpOffice(path("original.json"));

    // Change the appliance: a backup with another phone number and another
    // byte that nobody interprets, put with --yes.
    varnctl::Backup changed = original;
    changed.block.setPhoneNumber("5559999");
    changed.block.bytes[0] ^= 0x5A;
    writeFile(path("changed.json"), varnctl::writeBackup(changed));
    const int before = int(receivedTypes().size());
    Result r = runVarnctl(net({"config", "put", "VARN-Office", "-i", path("changed.json"), "--yes",
                               "--password-file", passwordFile("1234")}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("phoneNumber  \"5550100\" -> \"5559999\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("5 of 512 bytes differ"), std::string::npos) << r.out; // 4 + 1
    EXPECT_NE(r.err.find("VARN : Device is resetting now."), std::string::npos) << r.err;
    const std::vector<int> types = receivedTypes();
    // The block is read back (2) between its acknowledgement and the reset.
    EXPECT_EQ(std::vector<int>(types.begin() + before, types.end()),
              (std::vector<int>{1, 1, 33, 2, 11, 7, 2, 8}));
    EXPECT_EQ(backUpOffice(path("now.json")).block, changed.block);

    // Restore.
    r = runVarnctl(net({"config", "put", "VARN-Office", "-i", path("original.json"), "--yes",
                        "--password-file", passwordFile("1234")}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(backUpOffice(path("restored.json")).block, original.block);

    // Putting what the appliance already holds sends nothing more.
    const int after = received(7);
    r = runVarnctl(net({"config", "put", "VARN-Office", "-i", path("original.json"), "--yes",
                        "--password-file", passwordFile("1234")}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("already holds this configuration"), std::string::npos);
    EXPECT_EQ(received(7), after);
    EXPECT_EQ(received(11), 2);
}

TEST_F(Varnctl, UnconfirmedSaveIsAbandoned) {
    startSimulator({"--ignore", "7"});
    const std::string changed = changedBackup(backUpOffice(path("original.json")));
    const Result r = runVarnctl(net({"config", "put", "VARN-Office", "-i", changed, "--yes",
                                     "--password-file", passwordFile("1234")}));
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("No Reponse from device, configuration may be not successfully saved !"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("told to abandon"), std::string::npos);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one message: " << r.err;
    // The block once, ten looks 300 ms apart, then the abandon and no reset.
    EXPECT_EQ(received(7), 1);
    EXPECT_EQ(received(12), 1);
    EXPECT_EQ(received(8), 0);
    EXPECT_GE(r.ms, 3000);
}

// Once the appliance acknowledged the block it holds it: an unconfirmed reset
// is said as such, with its own status, and nothing tells it to abandon.
TEST_F(Varnctl, AnUnconfirmedResetAfterAnAcknowledgedWriteIsNotAbandoned) {
    startSimulator({"--ignore", "8"});
    const std::string changed = changedBackup(backUpOffice(path("original.json")));
    const Result r = runVarnctl(net({"config", "put", "VARN-Office", "-i", changed, "--yes",
                                     "--password-file", passwordFile("1234")}));
    EXPECT_EQ(r.status, 6) << r.err;
    EXPECT_NE(r.err.find("did not confirm the reset"), std::string::npos) << r.err;
    EXPECT_EQ(received(7), 1);
    EXPECT_EQ(received(12), 0);
}

TEST_F(Varnctl, RestoreAsksForConfirmation) {
    startSimulator();
    const std::string changed = changedBackup(backUpOffice(path("original.json")));
    const std::vector<std::string> put = net(
        {"config", "put", "VARN-Office", "-i", changed, "--password-file", passwordFile("1234")});

    // No terminal and no --yes: nothing written.
    Result r = runVarnctl(put);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--yes"), std::string::npos);

    TerminalRun no(put);
    ASSERT_TRUE(no.waitFor("and reset it? [y/N] ")) << no.transcript;
    EXPECT_NE(no.transcript.find("phoneNumber"), std::string::npos);
    no.type("n\n");
    EXPECT_EQ(no.finish(), 5) << no.transcript;
    EXPECT_EQ(received(11), 0);
    EXPECT_EQ(received(7), 0);

    TerminalRun yes(put);
    ASSERT_TRUE(yes.waitFor("[y/N] "));
    yes.type("y\n");
    EXPECT_EQ(yes.finish(), 0) << yes.transcript;
    EXPECT_EQ(received(7), 1);
}

TEST_F(Varnctl, SetIpMovesTheAppliance) {
    startSimulator();
    Result r = runVarnctl(net({"set-ip", "VARN-Store", "127.0.0.9"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("LAN IP Address is saved successfully !"), std::string::npos);
    EXPECT_LT(r.ms, 1800 + 1000); // the answer counts once the wait is over
    EXPECT_EQ(r.err.find("note"), std::string::npos) << r.err;
    // Off the network the broadcast went out on (loopback's, whatever the
    // default route's interface is), the note says so.
    r = runVarnctl(net({"set-ip", "VARN-Office", "192.0.2.2"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("note: 192.0.2.2 is still outside this PC's network (127.0.0.1)"),
              std::string::npos)
        << r.err;

    r = runVarnctl(net({"discover", "--json"}));
    const nlohmann::json list = nlohmann::json::parse(r.out);
    ASSERT_GE(list.size(), 2u);
    EXPECT_EQ(list.back()["name"], "VARN-Store");
    EXPECT_EQ(list.back()["address"], "127.0.0.9");
}

TEST_F(Varnctl, SetIpWithoutAnAnswerFailsAndBadAddressesAreRefused) {
    startSimulator({"--ignore", "13"});
    Result r = runVarnctl(net({"set-ip", "VARN-Store", "127.0.0.9"}));
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("LAN IP Address is failed to save !"), std::string::npos);
    EXPECT_GE(r.ms, 1800);
    EXPECT_EQ(received(13), 1); // sent once, not again

    r = runVarnctl(net({"set-ip", "VARN-Store", "127.0.0.256"}));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Invalid IP Address !"), std::string::npos);
    r = runVarnctl(net({"set-ip", "Nobody", "127.0.0.9"}));
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("no appliance named \"Nobody\""), std::string::npos);
    EXPECT_EQ(received(13), 1);
}

// lab.json on VARN-Office would give it VARN-Lab's name and address.
TEST_F(Varnctl, ABackupOfAnotherApplianceIsWrittenOnlyWhenSaidSo) {
    startSimulator();
    const std::string lab = path("lab.json");
    ASSERT_EQ(runVarnctl(net({"config", "get", "VARN-Lab", "-o", lab})).status, 0);
    const std::size_t logSize = settledLog().size();
    const std::vector<std::string> put = net({"config", "put", "VARN-Office", "-i", lab, "--yes",
                                              "--password-file", passwordFile("1234")});
    Result r = runVarnctl(put);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("backup of \"VARN-Lab\", not of \"VARN-Office\""), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("--other-appliance"), std::string::npos);
    EXPECT_EQ(settledLog().size(), logSize); // not even a discovery

    std::vector<std::string> other = put;
    other.push_back("--other-appliance");
    r = runVarnctl(other);
    ASSERT_EQ(r.status, 0) << r.err;
    // The name and the address lead the change list.
    const std::regex identityFirst(
        "^Changes to VARN-Office \\(127\\.0\\.0\\.2\\), from another "
        "appliance's backup:\n  deviceName +\"VARN-Office\" -> "
        "\"VARN-Lab\"\n  lanIpAddress +\"127.0.0.2\" -> \"127.0.0.3\"\n");
    EXPECT_TRUE(std::regex_search(r.out, identityFirst)) << r.out;
    EXPECT_EQ(received(7), 1);
}

TEST_F(Varnctl, ConfigSetChangesNamedSettingsAndWritesAsPutDoes) {
    startSimulator();
    const std::string password = passwordFile("1234");
    const int before = int(receivedTypes().size());
    Result r = runVarnctl(net({"config", "set", "VARN-Office", "phoneNumber=5551234",
                               "idleMinutes=30", "--yes", "--password-file", password}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("phoneNumber  \"5550100\" -> \"5551234\""), std::string::npos) << r.out;
    const std::vector<int> types = receivedTypes();
    EXPECT_EQ(std::vector<int>(types.begin() + before, types.end()),
              (std::vector<int>{1, 1, 33, 2, 11, 7, 2, 8}));
    r = runVarnctl(net(
        {"config", "get", "VARN-Office", "--field", "phoneNumber", "--password-file", password}));
    EXPECT_EQ(r.out, "5551234\n");

    // An account on an appliance in terminal mode means PPP, as in the dialog.
    r = runVarnctl(net({"config", "set", "VARN-Lab", "pppUserName=lab@isp", "--yes"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(runVarnctl(net({"config", "get", "VARN-Lab", "--field", "loginMode"})).out, "2\n");
}

TEST_F(Varnctl, ConfigSetRefusalsWriteNothing) {
    startSimulator();
    const std::size_t logSize = settledLog().size();
    // Values wrong by themselves: refused before anything is sent, each named.
    Result r = runVarnctl(net({"config", "set", "VARN-Lab", "idleMinutes=128", "colour=red"}));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("between 0 and 127"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\"colour\""), std::string::npos) << r.err;
    EXPECT_EQ(settledLog().size(), logSize);

    // A rule that needs the appliance's block: PPP mode without an account.
    r = runVarnctl(net({"config", "set", "VARN-Lab", "loginMode=ppp", "--yes"}));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("You have to key in 1. PPP Mode username & password"), std::string::npos)
        << r.err;
    EXPECT_EQ(received(11), 0);
    EXPECT_EQ(received(7), 0);
}

TEST_F(Varnctl, BlocksTheDialogsCouldNotMakeAreRefusedUnlessForced) {
    startSimulator();
    varnctl::Backup bad = backUpOffice(path("office.json"));
    bad.block.setIdleMinutes(255);
    bad.block.setAlternativeTries(250);
    bad.block.setLoginModeByte(9);
    writeFile(path("bad.json"), varnctl::writeBackup(bad));
    varnctl::Backup nameless = bad;
    nameless.block.setDeviceName("");
    writeFile(path("nameless.json"), varnctl::writeBackup(nameless));
    const std::size_t logSize = settledLog().size();

    const std::string password = passwordFile("1234");
    Result r = runVarnctl(net({"config", "put", "VARN-Office", "-i", path("nameless.json"), "--yes",
                               "--other-appliance", "--password-file", password}));
    EXPECT_EQ(r.status, 2);
    for (const char* why : {"deviceName is empty", "idleMinutes is 255", "alternativeTries is 250",
                            "loginMode is 9", "--force"})
        EXPECT_NE(r.err.find(why), std::string::npos) << why << "\n" << r.err;
    EXPECT_EQ(settledLog().size(), logSize);

    r = runVarnctl(net({"config", "put", "VARN-Office", "-i", path("bad.json"), "--yes", "--force",
                        "--password-file", password}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(received(7), 1);
}

TEST_F(Varnctl, SetIpRefusesAddressesNoApplianceCanHave) {
    startSimulator();
    const std::size_t logSize = settledLog().size();
    for (const char* address : {"0.0.0.0", "127.0.0.0", "127.255.255.255", "224.0.0.1", "10.0.0.0",
                                "10.255.255.255", "192.168.1.255"}) {
        const Result r = runVarnctl(net({"set-ip", "VARN-Store", address}));
        EXPECT_EQ(r.status, 2) << address;
        EXPECT_NE(r.err.find(std::string("Invalid IP Address ! ") + address), std::string::npos)
            << r.err;
    }
    EXPECT_EQ(settledLog().size(), logSize);
}

TEST_F(Varnctl, HelpForEachCommand) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--help"},
                                               {"discover", "--help"},
                                               {"status", "--help"},
                                               {"config", "get", "--help"},
                                               {"config", "put", "--help"},
                                               {"config", "set", "--help"},
                                               {"set-ip", "--help"}}) {
        const Result r = runVarnctl(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.out.find("Usage: varnctl"), std::string::npos);
        EXPECT_EQ(r.err, "");
    }
    // No command at all is a mistake: the usage goes to standard error.
    const Result bare = runVarnctl({});
    EXPECT_EQ(bare.status, 2);
    EXPECT_EQ(bare.out, "");
    EXPECT_NE(bare.err.find("Usage: varnctl"), std::string::npos);
    const Result r = runVarnctl({"discover", "--bogus"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "varnctl: unknown option \"--bogus\"\nTry 'varnctl --help'.\n");
}

TEST_F(Varnctl, OutputGoesOnlyToARegularFileOrStandardOutput) {
    startSimulator();
    const std::string fifo = path("fifo"), toFifo = path("to-fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(symlink(fifo.c_str(), toFifo.c_str()), 0);
    for (const std::string& target : {fifo, toFifo}) {
        const Result r = runVarnctl(net({"config", "get", "VARN-Lab", "-o", target}));
        EXPECT_EQ(r.status, 1) << target;
        EXPECT_NE(r.err.find("a FIFO, not"), std::string::npos) << r.err;
    }
    struct stat st {};
    ASSERT_EQ(lstat(toFifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_TRUE(receivedTypes().empty());

    // A link to a regular file stays a link; the file it names takes the backup.
    const std::string real = path("real.json"), toReal = path("to-real.json");
    writeFile(real, "old");
    ASSERT_EQ(symlink(real.c_str(), toReal.c_str()), 0);
    Result r = runVarnctl(net({"config", "get", "VARN-Lab", "-o", toReal}));
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(lstat(toReal.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_TRUE(varnctl::readBackup(readFile(real)).backup);
    r = runVarnctl(net({"config", "get", "VARN-Lab", "-o", "-"}));
    EXPECT_TRUE(varnctl::readBackup(r.out).backup) << r.out;
}

TEST_F(Varnctl, InputsAreRegularFilesOrStandardInput) {
    startSimulator();
    const std::string fifo = path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Nobody writes into the FIFO: refused at once, not waited on.
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"config", "put", "VARN-Office", "-i", fifo, "--yes"},
             {"config", "get", "VARN-Office", "--password-file", fifo},
             {"config", "put", "VARN-Office", "-i", dir_, "--yes"}}) {
        const Result r = runVarnctl(net(args));
        EXPECT_EQ(r.status, 1) << args[4];
        EXPECT_NE(r.err.find(", not a regular file; nothing was sent"), std::string::npos) << r.err;
        EXPECT_LT(r.ms, 2000);
    }
    EXPECT_TRUE(receivedTypes().empty());

    Result r =
        runVarnctl(net({"config", "get", "VARN-Office", "--password-file", "-"}), {}, "1234\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
    const std::string readable = passwordFile("1234");
    ASSERT_EQ(chmod(readable.c_str(), 0644), 0);
    r = runVarnctl(net({"config", "get", "VARN-Office", "--password-file", readable}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning: " + readable + " may be read by others (mode 0644)"),
              std::string::npos)
        << r.err;
}

// The appliance stores the block at once and acknowledges it late: an
// interrupt in between puts the block read at the start back before the abandon.
TEST_F(Varnctl, InterruptWhileTheAcknowledgementIsAwaitedWritesTheOldBlockBack) {
    startSimulator({"--delay", "250"});
    const std::vector<std::string> get =
        net({"config", "get", "VARN-Office", "--address", "127.0.0.2", "--password-file",
             passwordFile("1234")});
    const varnctl::BackupRead original = varnctl::readBackup(runVarnctl(get).out);
    ASSERT_TRUE(original.backup) << original.error;
    const std::string changed = changedBackup(*original.backup);
    const Result r = runVarnctl(net({"config", "put", "VARN-Office", "--address", "127.0.0.2", "-i",
                                     changed, "--yes", "--password-file", passwordFile("1234")}),
                                SignalAt{-1, SIGINT, [this] { return arrived(7); }});
    EXPECT_EQ(r.status, 5) << r.err;
    EXPECT_NE(r.err.find("holds the configuration read at the start again"), std::string::npos)
        << r.err;
    const std::vector<int> types = receivedTypes();
    EXPECT_EQ(std::vector<int>(types.end() - 4, types.end()), (std::vector<int>{11, 7, 7, 12}));
    EXPECT_EQ(varnctl::readBackup(runVarnctl(get).out).backup->block, original.backup->block);
}

// After the acknowledgement too, and on a hang-up.
TEST_F(Varnctl, HangUpAfterTheAcknowledgedWriteWritesTheOldBlockBack) {
    startSimulator({"--ignore", "8"});
    const varnctl::Backup original = backUpOffice(path("original.json"));
    const std::string changed = changedBackup(original);
    const Result r = runVarnctl(net({"config", "put", "VARN-Office", "-i", changed, "--yes",
                                     "--password-file", passwordFile("1234")}),
                                SignalAt{-1, SIGHUP, [this] { return arrived(8); }});
    EXPECT_EQ(r.status, 5) << r.err;
    EXPECT_NE(r.err.find("holds the configuration read at the start again"), std::string::npos)
        << r.err;
    const std::vector<int> types = receivedTypes();
    EXPECT_EQ(std::vector<int>(types.end() - 6, types.end()),
              (std::vector<int>{11, 7, 2, 8, 7, 12}));
    EXPECT_EQ(backUpOffice(path("now.json")).block, original.block);
}

TEST_F(Varnctl, QuitAndBrokenPipeEndAWatchAsInterruptsDo) {
    startSimulator();
    for (int signal : {SIGQUIT, SIGPIPE}) {
        const Result r = runVarnctl(net({"status", "--watch"}), SignalAt{500, signal, {}});
        EXPECT_EQ(r.status, 0) << signal; // not killed by the signal
        EXPECT_NE(r.out.find("VARN-Lab"), std::string::npos);
    }
}

} // namespace
