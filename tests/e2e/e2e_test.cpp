// The utility's link layer against the appliance simulator over real UDP
// sockets. By default each test starts its own simulator on loopback
// (appliances at 127.0.0.2..., high ports). When VARN_E2E_APPLIANCES is set,
// a simulator is already running elsewhere (netns_e2e.sh: another network
// namespace, port 777, broadcast 255.255.255.255) and the tests talk to it;
// the script also names the PC's interfaces and the LAN's namespace for the
// tests that change the PC's routes or send from another host (the forger).

#include "backup.h"
#include "link/link.h"
#include "link/user_interface.h"
#include "protocol/device_config.h"
#include "protocol/endpoint.h"
#include "selftest/self_test.h"
#include "selftest/selftest_state.h"
#include "sim_launcher.h"
#include "traffic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <poll.h>
#include <regex>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace varn;

namespace {

struct Expected {
    std::string name;
    std::uint32_t address; // network order
};

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ','))
        if (!item.empty())
            parts.push_back(item);
    return parts;
}

// Records what the link shows; the Login Terminal is answered by `terminal`,
// and `onStatus` hears each step as it is shown.
class RecordingUi : public UserInterface {
  public:
    std::vector<std::string> statuses, messages;
    std::function<bool()> terminal;
    std::function<void(const std::string&)> onStatus;

    void showMessage(const std::string& text, MessageIcon) override { messages.push_back(text); }
    void setSelfTestControl(SelfTestControl, bool) override {}
    void setSelfTestStatus(const std::string& text) override {
        statuses.push_back(text);
        if (onStatus)
            onStatus(text);
    }
    void startSelfTestTimer(int, int) override {}
    bool runLoginTerminal() override { return terminal ? terminal() : false; }
};

// The source address the routing table gives a datagram to `destination`.
std::uint32_t routeSource(std::uint32_t destination) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = destination;
    to.sin_port = htons(kDevicePort);
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        local.sin_addr.s_addr = 0;
    close(fd);
    return local.sin_addr.s_addr;
}

// Runs `ip route replace default dev DEVICE` in our namespace.
bool defaultRouteVia(const std::string& device) {
    return std::system(("ip route replace default dev " + device).c_str()) == 0;
}

class Watcher : public SocketWatcher {
  public:
    bool watchSocket(int) override { return true; }
};

class EndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* external = std::getenv("VARN_E2E_APPLIANCES");
        EndpointSettings settings;
        if (external) {
            // Production settings: port 777 both sides, the real broadcast address.
            std::vector<std::string> addresses = split(external);
            const char* names[] = {"VARN-Office", "VARN-Lab", "VARN-Store"};
            ASSERT_EQ(addresses.size(), 3u) << "VARN_E2E_APPLIANCES names three addresses";
            for (std::size_t i = 0; i < 3; ++i)
                expected_.push_back({names[i], parseDotted(addresses[i].c_str(), 16)});
            const char* spare = std::getenv("VARN_E2E_SPARE");
            ASSERT_NE(spare, nullptr) << "VARN_E2E_SPARE names a free address for set-IP";
            spare_ = parseDotted(spare, 16);
        } else {
            std::string error;
            simLog_ = ::testing::TempDir() + "e2e-sim-" + std::to_string(getpid()) + ".log";
            std::remove(simLog_.c_str());
            std::vector<std::string> args = {
                "--port",          "0",     "--base-address", "127.0.0.2", "--broadcast-address",
                "127.255.255.255", "--log", simLog_};
            for (const std::string& a : simulatorFaults())
                args.push_back(a);
            ASSERT_TRUE(simlaunch::startSimulator(APPLIANCE_SIM_PATH, args, sim_, &error)) << error;
            settings.devicePort = sim_.port;
            settings.localPort = simlaunch::freeUdpPort(sim_.port);
            settings.broadcastAddress = makeAddress(127, 255, 255, 255);
            settings.probeAddress = makeAddress(127, 255, 255, 255);
            expected_ = {{"VARN-Office", makeAddress(127, 0, 0, 2)},
                         {"VARN-Lab", makeAddress(127, 0, 0, 3)},
                         {"VARN-Store", makeAddress(127, 0, 0, 4)}};
            spare_ = makeAddress(127, 0, 0, 9);
        }
        endpoint_ = std::make_unique<traffic::RecordingEndpoint>(settings, ui_);
        ASSERT_EQ(endpoint_->openEndpoint(&watcher_), 0) << endpoint_->socketError;
        link_ = std::make_unique<Link>(*endpoint_, config_, ui_);
        tester_ = std::make_unique<SelfTest>(*link_, selfTest_, config_, ui_);
    }

    // Fault options for a simulator of the test's own (netns_e2e.sh starts its
    // simulator with them for the tests that need them).
    virtual std::vector<std::string> simulatorFaults() const { return {}; }

    void TearDown() override {
        tester_.reset();
        link_.reset();
        if (endpoint_)
            endpoint_->closeEndpoint();
        simlaunch::stopSimulator(sim_);
        if (!simLog_.empty() && !HasFailure())
            std::remove(simLog_.c_str());
    }

    // Dispatches replies as they come until `done` holds or `ms` have passed.
    bool pump(int ms, const std::function<bool()>& done = {}) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!(done && done())) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
            if (left <= 0)
                return false;
            pollfd p{endpoint_->socketHandle(), POLLIN, 0};
            if (poll(&p, 1, int(left)) > 0)
                link_->dispatchReply();
        }
        return true;
    }

    // Runs the self-test's part from the start: the test is open, undecided.
    void startSelfTest() {
        selfTest_.running = true;
        selfTest_.loginKind = kLoginUndecided;
        ASSERT_TRUE(selfTest_.obtainTerminalText());
    }

    // Sends a request and waits for the reply that clears awaitedReply, with
    // the same few tries a dialog would make.
    bool ask(int type, int tries = 3) {
        for (int i = 0; i < tries; ++i) {
            link_->sendRequest(type);
            if (pump(700, [&] { return link_->awaitedReply() == 0; }))
                return true;
        }
        return false;
    }

    bool ready() const { return !ui_.statuses.empty() && ui_.statuses.back() == "Device ready !"; }

    // The requests of `type` sent from the `from`-th on.
    int sentSince(std::size_t from, int type) const {
        return int(std::count(endpoint_->sentTypes.begin() + std::ptrdiff_t(from),
                              endpoint_->sentTypes.end(), type));
    }

    // The terminal login of VARN-Lab, typed as a user would; `beforeTyping`
    // runs once the Login Terminal is open with the ISP's first prompt.
    void terminalLogin(const std::function<void()>& beforeTyping) {
        discover();
        ASSERT_TRUE(readConfiguration("VARN-Lab"));
        ui_.terminal = [&] {
            beforeTyping();
            for (const char* typed : {"lab", "lab-pw"}) {
                pump(100); // what else came in first
                std::size_t seen = selfTest_.terminalEnd;
                tester_->enterLine(typed);
                if (!pump(2000, [&] { return selfTest_.pppSeen || selfTest_.terminalEnd > seen; }))
                    return false;
            }
            return selfTest_.pppSeen;
        };
        startSelfTest();
        ASSERT_TRUE(ask(kHangUp));
        ASSERT_TRUE(ask(kPppAccount));
        link_->sendRequest(kDial);
        ASSERT_TRUE(pump(5000, [&] { return ready(); }))
            << (ui_.statuses.empty() ? "nothing shown" : ui_.statuses.back());
    }

    void discover() {
        link_->clearDevices();
        link_->sendRequest(kDiscover);
        pump(600, [&] { return link_->devices().deviceCount() >= int(expected_.size()); });
        pump(100); // anything more that answers
    }

    // Chooses the appliance as the Device List's Config does.
    int select(const std::string& name) {
        for (int i = 0; i < link_->devices().deviceCount(); ++i) {
            std::string field = std::string(link_->devices().entry(i).name.data(), 12);
            if (field.substr(0, name.size()) == name &&
                field.find_first_not_of(' ', name.size()) == std::string::npos) {
                link_->chooseDevice(i);
                link_->setTargetAddress(link_->devices().entry(i).address);
                return i;
            }
        }
        ADD_FAILURE() << name << " was not discovered";
        return -1;
    }

    bool readConfiguration(const std::string& name) {
        return select(name) >= 0 && ask(kVersions) && ask(kReadConfig);
    }

    std::string monitorRow(const std::string& name) {
        for (int i = 0; i < link_->monitor().monitorCount(); ++i)
            if (link_->monitor().entry(i).rowText().rfind(name, 0) == 0)
                return link_->monitor().entry(i).rowText();
        return {};
    }

    simlaunch::SimProcess sim_;
    std::string simLog_; // of the simulator started here
    std::vector<Expected> expected_;
    std::uint32_t spare_ = 0;
    RecordingUi ui_;
    Watcher watcher_;
    DeviceConfig config_;
    SelfTestState selfTest_;
    std::unique_ptr<traffic::RecordingEndpoint> endpoint_;
    std::unique_ptr<Link> link_;
    std::unique_ptr<SelfTest> tester_;
};

TEST_F(EndToEnd, DiscoveryListsEverySimulatedAppliance) {
    discover();
    ASSERT_EQ(link_->devices().deviceCount(), int(expected_.size()));
    for (const Expected& e : expected_) {
        int row = select(e.name);
        ASSERT_GE(row, 0);
        EXPECT_EQ(dottedText(link_->devices().entry(row).address), dottedText(e.address));
        std::string text = link_->devices().entry(row).rowText();
        // The Lab appliance is on line; a failed last dial lists as ready.
        const char* state = e.name == "VARN-Lab" ? "ISP Connected  " : "Ready          ";
        EXPECT_EQ(text.substr(30, 15), state) << text;
    }
    EXPECT_NE(endpoint_->localAddress, 0u);
    EXPECT_TRUE(ui_.messages.empty()) << ui_.messages.front();
}

TEST_F(EndToEnd, ReadingTheConfigurationFillsTheBlock) {
    discover();
    ASSERT_TRUE(readConfiguration("VARN-Lab"));
    EXPECT_EQ(link_->proxyFirmwareVersion(), "V2.40 1999.08.30");
    EXPECT_EQ(config_.deviceName(), "VARN-Lab");
    EXPECT_EQ(config_.lanIpAddress(), link_->targetAddress());
    EXPECT_EQ(config_.loginMode(), 1);
    EXPECT_EQ(config_.scriptPrompt(0), "login: ");
    EXPECT_EQ(config_.scriptResponse(1), "lab-pw");
    EXPECT_TRUE(config_.blindDial());
    EXPECT_EQ(config_.alternativeNumber(2), "5550202");
    // Every byte the utility does not interpret arrived as the appliance keeps it.
    const std::pair<int, int> privateStretches[] = {{0, 2},    {22, 23},   {25, 74},
                                                    {90, 131}, {217, 362}, {396, 512}};
    for (auto [begin, end] : privateStretches)
        for (int i = begin; i < end; ++i)
            ASSERT_NE(config_.bytes[std::size_t(i)], 0) << "block offset " << i;
}

TEST_F(EndToEnd, WriteThenReadReturnsTheSameBlock) {
    discover();
    ASSERT_TRUE(readConfiguration("VARN-Office"));
    DeviceConfig original = config_;
    config_.setPhoneNumber("5559999");
    config_.setIdleMinutes(45);
    config_.setBlindDial(true);
    config_.setPppPassword("a-new-password-of-some-length");
    DeviceConfig written = config_;
    ASSERT_TRUE(ask(kWriteConfig));
    config_.bytes.fill(0);
    ASSERT_TRUE(ask(kReadConfig));
    EXPECT_TRUE(config_ == written);
    EXPECT_FALSE(config_ == original);

    config_ = original; // leave a shared simulator as it was
    ASSERT_TRUE(ask(kWriteConfig));
}

TEST_F(EndToEnd, StatusPollFillsMonitorRows) {
    discover();
    link_->clearMonitor();
    link_->sendRequest(kStatusPoll);
    pump(600, [&] { return link_->monitor().monitorCount() >= int(expected_.size()); });
    EXPECT_EQ(link_->monitor().monitorCount(), int(expected_.size()));
    std::string lab = monitorRow("VARN-Lab");
    ASSERT_FALSE(lab.empty());
    EXPECT_EQ(lab.substr(14, 15), "ISP Connected  ");
    EXPECT_EQ(lab.substr(31, 12), "203.0.113.45");
    EXPECT_EQ(lab.substr(46, 6), "\t28800");
    EXPECT_EQ(monitorRow("VARN-Store").substr(14, 32), "Dial Error - Telephone line Busy");
    EXPECT_EQ(monitorRow("VARN-Office").substr(14, 15), "Ready          ");
}

TEST_F(EndToEnd, SetIpMovesTheAppliance) {
    discover();
    int row = select("VARN-Store");
    ASSERT_GE(row, 0);
    std::uint32_t old = link_->targetAddress();
    config_.setLanIpAddress(spare_);
    ASSERT_TRUE(ask(kSetIpAddress, 1));
    EXPECT_EQ(link_->targetAddress(), kBroadcastAddress);

    discover();
    row = select("VARN-Store");
    ASSERT_GE(row, 0);
    EXPECT_EQ(link_->targetAddress(), spare_);
    ASSERT_TRUE(ask(kReadConfig));
    EXPECT_EQ(config_.lanIpAddress(), spare_);

    config_.setLanIpAddress(old); // and back, for a shared simulator
    ASSERT_TRUE(ask(kSetIpAddress, 1));
    discover();
    ASSERT_GE(select("VARN-Store"), 0);
    EXPECT_EQ(link_->targetAddress(), old);
}

TEST_F(EndToEnd, SelfTestWithPppIspEndsReady) {
    discover();
    ASSERT_TRUE(readConfiguration("VARN-Office"));
    startSelfTest();
    ASSERT_TRUE(ask(kHangUp));
    ASSERT_TRUE(ask(kPppAccount));
    link_->sendRequest(kDial);
    ASSERT_TRUE(pump(3000, [&] {
        return !ui_.statuses.empty() && ui_.statuses.back() == "Device ready !";
    })) << (ui_.statuses.empty() ? "nothing shown" : ui_.statuses.back());
    EXPECT_EQ(config_.loginMode(), 2);
    EXPECT_FALSE(selfTest_.hangupAfterSuccess);
}

TEST_F(EndToEnd, SelfTestWithTerminalIspRecordsTheLogin) {
    terminalLogin([] {});
    EXPECT_EQ(config_.loginMode(), 1);
    EXPECT_NE(std::string(selfTest_.terminalText.get()).find("Password: "), std::string::npos);
}

TEST_F(EndToEnd, DialFailureIsShownAndHungUp) {
    discover();
    ASSERT_TRUE(readConfiguration("VARN-Store"));
    startSelfTest();
    link_->sendRequest(kDial);
    ASSERT_TRUE(pump(2000, [&] { return !ui_.statuses.empty(); }));
    EXPECT_EQ(ui_.statuses.back(), "Dial Error - Telephone line Busy");
    EXPECT_TRUE(pump(1000, [&] { return link_->awaitedReply() == 0; })); // the hang-up answered
}

// Broadcasts leave by the interface of the address learned at opening, not by
// the default route: here the route moves to an interface that leads nowhere
// after the endpoint opened, and discovery must still reach the appliances.
// Only netns_e2e.sh runs it.
using EndToEndRouting = EndToEnd;
TEST_F(EndToEndRouting, DiscoveryStaysOnOurLanWhenTheDefaultRouteLeadsAway) {
    const char* lanDevice = std::getenv("VARN_E2E_LAN_DEVICE");
    const char* deadEnd = std::getenv("VARN_E2E_DEAD_END_DEVICE");
    if (lanDevice == nullptr || deadEnd == nullptr)
        GTEST_SKIP() << "needs the namespaces of netns_e2e.sh";
    const std::uint32_t ours = endpoint_->localAddress;
    const std::uint32_t lan = htonl(0xFFFFFF00);
    ASSERT_EQ(ours & lan, expected_[0].address & lan) << dottedText(ours);

    ASSERT_TRUE(defaultRouteVia(deadEnd));
    struct RouteBack {
        std::string device;
        ~RouteBack() { EXPECT_TRUE(defaultRouteVia(device)); }
    } back{lanDevice};
    // Without a source, a broadcast would now leave by the dead end.
    ASSERT_NE(routeSource(kBroadcastAddress), ours);

    discover();
    EXPECT_EQ(link_->devices().deviceCount(), int(expected_.size()));
    EXPECT_TRUE(ui_.messages.empty()) << ui_.messages.front();
}

// Another host floods the utility with replies nobody asked for while it
// sweeps the LAN as the open Device List does: nothing goes out but the sweeps,
// nothing is shown, the record and the self-test's state stay as they were,
// memory stays flat, and the appliances stay listed.
TEST_F(EndToEnd, HostileRepliesChangeNothing) {
    discover();
    ASSERT_EQ(link_->devices().deviceCount(), int(expected_.size()));
    ASSERT_TRUE(readConfiguration("VARN-Office"));
    const DeviceConfig record = config_;
    const std::string firmware = link_->proxyFirmwareVersion();
    ui_.messages.clear();
    endpoint_->sentTypes.clear();

    traffic::FloodPlan plan;
    const char* netns = std::getenv("VARN_E2E_LAN_NETNS");
    const char* stranger = std::getenv("VARN_E2E_HOSTILE");
    plan.netns = netns != nullptr ? netns : "";
    // A stranger, and a stranger posing as the appliance whose record was read.
    plan.sources = {stranger != nullptr ? parseDotted(stranger, 16) : makeAddress(127, 0, 0, 66),
                    expected_[0].address};
    plan.target = endpoint_->localAddress;
    plan.targetPort = endpoint_->settings.localPort;
    const long before = traffic::residentKiB();
    int sweeps = 0, fullSweeps = 0;
    long sent = 0;
    {
        traffic::Flooder flood(plan);
        while (!flood.done()) {
            discover();
            ++sweeps;
            fullSweeps += link_->devices().deviceCount() == int(expected_.size());
            pump(200);
        }
        ASSERT_EQ(flood.error(), "");
        EXPECT_GT(flood.sent(), 10000) << "the flood was too thin to show anything";
        sent = flood.sent();
        pump(200); // what is still queued
    }
    const long grown = traffic::residentKiB() - before;
    std::printf("%ld forged replies in %d ms; %d of %d sweeps found every appliance; resident "
                "memory %+ld KiB\n",
                sent, plan.milliseconds, fullSweeps, sweeps, grown);

    for (int type : endpoint_->sentTypes)
        EXPECT_EQ(type, kDiscover);
    EXPECT_TRUE(ui_.messages.empty()) << ui_.messages.front();
    EXPECT_TRUE(ui_.statuses.empty()) << ui_.statuses.front();
    EXPECT_TRUE(config_ == record);
    EXPECT_EQ(link_->proxyFirmwareVersion(), firmware);
    EXPECT_EQ(link_->awaitedReply(), kDiscover); // no forged acknowledgement cleared it
    EXPECT_EQ(selfTest_.loginKind, kLoginUndecided);
    EXPECT_GE(fullSweeps, 1);
    if (traffic::kResidentMemoryMeaningful) {
        EXPECT_LT(grown, 4096) << "resident memory grew by " << grown << " KiB";
    }
    discover();
    EXPECT_EQ(link_->devices().deviceCount(), int(expected_.size()));
}

} // namespace

namespace {

// A second host on the LAN forges replies while the utility talks to a real
// (simulated) appliance: at 127.0.0.66 on loopback, in netns_e2e.sh at its
// hostile address in the appliances' namespace. A forgery reaches the
// utility's socket just before the request it would answer goes out, so that
// it is the first candidate for the answer (status rows, which every appliance
// sends, come after the real ones); only its source tells it apart.
class Forger : public EndToEnd {
  protected:
    void SetUp() override {
        EndToEnd::SetUp();
        const char* netns = std::getenv("VARN_E2E_LAN_NETNS");
        const char* forger = std::getenv("VARN_E2E_HOSTILE");
        netns_ = netns != nullptr ? netns : "";
        forger_ = forger != nullptr ? parseDotted(forger, 16) : makeAddress(127, 0, 0, 66);
    }

    void forge(const std::vector<traffic::Bytes>& datagrams) {
        ASSERT_NE(endpoint_->localAddress, 0u) << "discover first: the target is not known";
        EXPECT_EQ(traffic::sendFrom(netns_, forger_, endpoint_->localAddress,
                                    endpoint_->settings.localPort, datagrams),
                  "");
    }

    static traffic::Bytes terminalText(const std::string& text) {
        traffic::Bytes d = traffic::forged(kTerminalResponse, 10 + text.size());
        d[8] = std::uint8_t(text.size());
        std::memcpy(d.data() + 10, text.data(), text.size());
        return d;
    }
    static traffic::Bytes result(std::uint8_t type, std::uint8_t code) {
        traffic::Bytes d = traffic::forged(type, 9);
        d[8] = code;
        return d;
    }

    bool shown(const std::string& status) const {
        return std::find(ui_.statuses.begin(), ui_.statuses.end(), status) != ui_.statuses.end();
    }
    std::string netns_;
    std::uint32_t forger_ = 0;
};

TEST_F(Forger, ConfigurationBlockIsTakenFromTheApplianceAskedOnly) {
    discover();
    ASSERT_TRUE(readConfiguration("VARN-Office"));
    const DeviceConfig real = config_;
    // The appliance's own block, under its own name, with another number.
    DeviceConfig fake = config_;
    fake.setPhoneNumber("5556666");
    traffic::Bytes block = traffic::forged(kReadConfig, 520);
    std::memcpy(block.data() + 8, fake.data(), DeviceConfig::kSize);
    forge({block});
    ASSERT_TRUE(ask(kReadConfig));
    EXPECT_EQ(config_.phoneNumber(), real.phoneNumber());
    EXPECT_TRUE(config_ == real);
}

// A dial result 3 would end a good dial, a login result 6 a good login.
TEST_F(Forger, DialAndLoginResultsAreTakenFromTheApplianceUnderTestOnly) {
    discover();
    ASSERT_TRUE(readConfiguration("VARN-Office"));
    ui_.onStatus = [&](const std::string& status) {
        if (status == "PPP Connecting ...") // the login goes out next
            forge({result(kLogin, 6)});
    };
    startSelfTest();
    ASSERT_TRUE(ask(kHangUp));
    ASSERT_TRUE(ask(kPppAccount));
    forge({result(kDial, 3)});
    link_->sendRequest(kDial);
    EXPECT_TRUE(pump(3000, [&] { return ready(); }))
        << (ui_.statuses.empty() ? "nothing shown" : ui_.statuses.back());
    EXPECT_TRUE(shown("PPP Connecting ..."));
    EXPECT_TRUE(shown("Success ! Now, hang up phone ..."));
}

// A PPP appliance's login area is not cleared nor switched to a script by
// someone else's text.
TEST_F(Forger, TerminalTextLeavesAPppAppliancesLoginAlone) {
    discover();
    ASSERT_TRUE(readConfiguration("VARN-Office"));
    startSelfTest();
    ASSERT_TRUE(ask(kHangUp));
    ASSERT_TRUE(ask(kPppAccount));
    forge({terminalText("Welcome\r\nlogin: ")});
    link_->sendRequest(kDial);
    EXPECT_TRUE(pump(3000, [&] { return ready(); }))
        << (ui_.statuses.empty() ? "nothing shown" : ui_.statuses.back());
    EXPECT_EQ(config_.loginMode(), 2);
    EXPECT_EQ(config_.pppUserName(), "office@isp");
}

TEST_F(Forger, PromptsFloodedDuringATerminalLoginAreNotRecorded) {
    terminalLogin([&] { forge(std::vector<traffic::Bytes>(20, terminalText("\r\nOWNED> "))); });
    EXPECT_EQ(config_.loginMode(), 1);
    EXPECT_EQ(config_.scriptPrompt(0), "login: ");
    EXPECT_EQ(config_.scriptResponse(0), "lab");
    EXPECT_EQ(config_.scriptResponse(1), "lab-pw");
    EXPECT_EQ(std::string(selfTest_.terminalText.get()).find("OWNED"), std::string::npos);
}

// An ISP's PPP frames sent again by another host neither send the login again
// nor disturb the hang-up that ends the test.
TEST_F(Forger, PppFramesAfterTheLoginSendNothingMore) {
    const std::vector<traffic::Bytes> frames(
        20, terminalText(std::string("\x7E\xFF\x7D\x23\xC0\x21\x7D\x21\x7D", 9)));
    ui_.onStatus = [&](const std::string& status) {
        if (status == "Success ! Now, hang up phone ...")
            forge(frames);
    };
    terminalLogin([] {});
    const std::size_t after = endpoint_->sentTypes.size();
    forge(frames);
    pump(500);
    EXPECT_EQ(sentSince(0, kLogin), 1);
    EXPECT_EQ(sentSince(after, kHangUp), 0);
    EXPECT_EQ(sentSince(after, kLogin), 0);
}

TEST_F(Forger, ManyNamesFromOneHostTakeOneRow) {
    discover();
    std::vector<traffic::Bytes> names;
    for (int i = 0; i < 20; ++i) {
        traffic::Bytes d = traffic::forged(kDiscover, 29);
        const std::string name = "Forged-" + std::to_string(i);
        std::memcpy(d.data() + 8, name.data(), name.size());
        std::memcpy(d.data() + 20, &forger_, 4);
        names.push_back(d);
    }
    forge(names);
    discover();
    EXPECT_EQ(link_->devices().deviceCount(), int(expected_.size()) + 1);
    for (const Expected& e : expected_)
        EXPECT_GE(select(e.name), 0);
}

TEST_F(Forger, StatusRowsForListedAppliancesComeFromThemOnly) {
    discover();
    link_->clearMonitor();
    link_->sendRequest(kStatusPoll);
    ASSERT_TRUE(pump(600, [&] { return link_->monitor().monitorCount() >= 3; }));
    const std::string lab = monitorRow("VARN-Lab"), office = monitorRow("VARN-Office");
    std::vector<traffic::Bytes> rows;
    for (const char* name : {"VARN-Lab", "VARN-Office"}) {
        traffic::Bytes d = traffic::forged(kStatusPoll, 28);
        std::memcpy(d.data() + 8, name, std::strlen(name));
        d[20] = 6; // a failed dial
        d[21] = 5;
        rows.push_back(d);
    }
    forge(rows); // while the poll still takes rows
    pump(300);
    EXPECT_EQ(monitorRow("VARN-Lab"), lab);
    EXPECT_EQ(monitorRow("VARN-Office"), office);
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The same, with an appliance that ignores the write: nobody else's
// acknowledgement confirms it.
class ForgedSave : public Forger {
  protected:
    std::vector<std::string> simulatorFaults() const override { return {"--ignore", "7"}; }

    int received(int type) const {
        const char* external = std::getenv("VARN_E2E_SIM_LOG");
        return simlaunch::requestsIn(simlaunch::settledLog(external ? external : simLog_), type);
    }
};

TEST_F(ForgedSave, AcknowledgementFromAnotherHostDoesNotConfirmTheWrite) {
    discover();
    ASSERT_TRUE(readConfiguration("VARN-Office"));
    forge({traffic::forged(kWriteConfig, 8), traffic::forged(kWriteConfig, 7)});
    link_->sendRequest(kWriteConfig);
    pump(1000);
    EXPECT_EQ(link_->awaitedReply(), kWriteConfig); // the dialog says there was no answer
}

// varnctl says the save went unconfirmed (status 3) and sends no reset.
TEST_F(ForgedSave, VarnctlConfigPutIsNotConfirmedByAnotherHost) {
    discover();
    ASSERT_TRUE(readConfiguration("VARN-Office"));
    const int writesBefore = received(kWriteConfig), abandonsBefore = received(kAbandonConfig);
    const std::string dir = ::testing::TempDir() + "forged-save-" + std::to_string(getpid());
    ASSERT_EQ(std::system(("mkdir -p " + dir).c_str()), 0);
    config_.setPhoneNumber("5559999");
    std::ofstream(dir + "/changed.json") << varnctl::writeBackup(
        {config_, {"VARN-Office", dottedText(link_->targetAddress()), "", ""}});
    std::ofstream(dir + "/password") << "1234\n";

    // varnctl takes the utility's port: ours goes.
    const std::uint16_t port = endpoint_->settings.localPort;
    const std::uint32_t pc = endpoint_->localAddress;
    endpoint_->closeEndpoint();
    std::string command = std::string(VARNCTL_PATH) + " config put VARN-Office -i " + dir +
                          "/changed.json --yes --password-file " + dir + "/password";
    if (sim_.pid > 0)
        command += " --port " + std::to_string(sim_.port) + " --broadcast 127.255.255.255" +
                   " --bind " + std::to_string(port);
    command += " </dev/null >" + dir + "/out 2>" + dir + "/err";

    traffic::FloodPlan plan;
    plan.netns = netns_;
    plan.sources = {forger_};
    plan.target = pc;
    plan.targetPort = port;
    plan.perSecond = 200;
    plan.milliseconds = 8000;
    plan.replies = {traffic::forged(kWriteConfig, 8), traffic::forged(kWriteConfig, 7)};
    int status = -1;
    {
        traffic::Flooder flood(plan);
        status = std::system(command.c_str());
        EXPECT_EQ(flood.error(), "");
    }
    const std::string err = fileText(dir + "/err");
    ASSERT_TRUE(WIFEXITED(status)) << err;
    EXPECT_EQ(WEXITSTATUS(status), 3) << err;
    EXPECT_NE(err.find("No Reponse from device, configuration may be not successfully saved !"),
              std::string::npos)
        << err;
    EXPECT_EQ(received(kWriteConfig), writesBefore + 1);
    EXPECT_EQ(received(kReset), 0);
    EXPECT_EQ(received(kAbandonConfig), abandonsBefore + 1);
    if (!HasFailure())
        (void)std::system(("rm -rf " + dir).c_str());
}

} // namespace
