// The UDP endpoint over real loopback sockets on high ports.

#include "link/user_interface.h"
#include "protocol/endpoint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <sched.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace varn;

struct Messages : SilentUserInterface {
    std::vector<std::string> shown;
    void showMessage(const std::string& text, MessageIcon) override { shown.push_back(text); }
};

struct AcceptingWatcher : SocketWatcher {
    int fd = -1;
    bool watchSocket(int s) override {
        fd = s;
        return true;
    }
    void unwatchSocket() override { fd = -1; }
};

const std::uint32_t kLoopbackBroadcast = htonl(0x7FFFFFFF); // 127.255.255.255

// A free UDP port on loopback (the kernel picks it).
std::uint16_t freePort() {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    socklen_t len = sizeof sa;
    getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    close(fd);
    return ntohs(sa.sin_port);
}

// Plays an appliance: a socket on the devices' port.
struct Peer {
    int fd;
    explicit Peer(std::uint16_t port, std::uint32_t address = htonl(INADDR_ANY),
                  bool share = true) {
        fd = socket(AF_INET, SOCK_DGRAM, 0);
        int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        if (share) {
            setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        }
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(port);
        sa.sin_addr.s_addr = address;
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    }
    ~Peer() { close(fd); }
    void sendTo(const std::string& bytes, std::uint32_t address, std::uint16_t port) {
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(port);
        sa.sin_addr.s_addr = address;
        ASSERT_EQ(
            sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&sa), sizeof sa),
            static_cast<ssize_t>(bytes.size()));
    }
    // The next datagram within a second, with its source address.
    std::string receive(std::uint32_t* from = nullptr) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 1000) != 1) {
            return "<nothing>";
        }
        char buffer[2048];
        sockaddr_in sa{};
        socklen_t len = sizeof sa;
        ssize_t n = recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sa), &len);
        if (from != nullptr) {
            *from = sa.sin_addr.s_addr;
        }
        return std::string(buffer, n > 0 ? n : 0);
    }
};

class EndpointTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings.localPort = freePort();
        do {
            settings.devicePort = freePort();
        } while (settings.devicePort == settings.localPort);
        settings.broadcastAddress = kLoopbackBroadcast;
        settings.probeAddress = kLoopbackBroadcast;
    }

    // Waits until the endpoint's socket has something to read.
    bool readable(const UdpEndpoint& e) {
        pollfd p{e.socketHandle(), POLLIN, 0};
        return poll(&p, 1, 1000) == 1;
    }

    std::string receive(UdpEndpoint& e) {
        if (!readable(e)) {
            return "<nothing>";
        }
        std::uint8_t buffer[kDatagramSize] = {};
        DatagramInfo info;
        if (e.receiveDatagram(buffer, sizeof buffer, &info) != 0) {
            return "<none>";
        }
        return std::string(reinterpret_cast<char*>(buffer), info.length);
    }

    EndpointSettings settings;
    Messages messages;
    AcceptingWatcher watcher;
};

TEST_F(EndpointTest, OpensOnLoopbackAndLearnsTheLocalAddress) {
    UdpEndpoint endpoint(settings, messages);
    ASSERT_EQ(endpoint.openEndpoint(&watcher), 0);
    EXPECT_EQ(endpoint.endpointReady, 1);
    EXPECT_EQ(endpoint.socketError, 0);
    EXPECT_EQ(watcher.fd, endpoint.socketHandle());
    EXPECT_EQ(endpoint.localAddress, htonl(INADDR_LOOPBACK));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(endpoint.closeEndpoint(), 0);
    EXPECT_EQ(watcher.fd, -1);
}

TEST_F(EndpointTest, SkipsForeignDatagramsAndAcceptsTheBareMagic) {
    UdpEndpoint endpoint(settings, messages);
    ASSERT_EQ(endpoint.openEndpoint(&watcher), 0);
    Peer appliance(settings.devicePort, htonl(0x7F000002));
    const std::uint32_t us = htonl(INADDR_LOOPBACK);

    // Nothing queued: an immediate -1.
    std::uint8_t buffer[kDatagramSize];
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(endpoint.receiveDatagram(buffer, sizeof buffer), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));

    // A foreign datagram is skipped and the next one read within the same call.
    appliance.sendTo("Hello, not ours", us, settings.localPort);
    appliance.sendTo("Quor", us, settings.localPort);
    appliance.sendTo(std::string("Quorix\x81\0", 8), us, settings.localPort);
    appliance.sendTo("Quorix", us, settings.localPort);
    EXPECT_EQ(receive(endpoint), std::string("Quorix\x81\0", 8));
    EXPECT_EQ(receive(endpoint), "Quorix");
    EXPECT_EQ(endpoint.receiveDatagram(buffer, sizeof buffer), -1);
}

TEST_F(EndpointTest, HearsUnicastAndBroadcastReplies) {
    UdpEndpoint endpoint(settings, messages);
    ASSERT_EQ(endpoint.openEndpoint(&watcher), 0);
    Peer appliance(settings.devicePort, htonl(0x7F000003));
    appliance.sendTo("Quorix\x81 unicast", htonl(INADDR_LOOPBACK), settings.localPort);
    EXPECT_EQ(receive(endpoint), "Quorix\x81 unicast");
    appliance.sendTo("Quorix\x81 broadcast", kLoopbackBroadcast, settings.localPort);
    EXPECT_EQ(receive(endpoint), "Quorix\x81 broadcast");
}

TEST_F(EndpointTest, BroadcastsLeaveFromTheLocalAddressAndUnicastsReachTheirTarget) {
    UdpEndpoint endpoint(settings, messages);
    ASSERT_EQ(endpoint.openEndpoint(&watcher), 0);
    Peer appliances(settings.devicePort);

    const std::uint8_t discover[8] = {'Q', 'u', 'o', 'r', 'i', 'x', 1, 0};
    ASSERT_EQ(endpoint.sendDatagram(discover, 8, kBroadcastAddress), 0);
    std::uint32_t from = 0;
    EXPECT_EQ(appliances.receive(&from), std::string("Quorix\x01\0", 8));
    EXPECT_EQ(from, htonl(INADDR_LOOPBACK));

    const std::uint8_t reset[8] = {'Q', 'u', 'o', 'r', 'i', 'x', 8, 0};
    ASSERT_EQ(endpoint.sendDatagram(reset, 8, htonl(0x7F000004)), 0);
    EXPECT_EQ(appliances.receive(), std::string("Quorix\x08\0", 8));
}

TEST_F(EndpointTest, BroadcastsFromAnAddressNotOursLeaveFromTheRoutesChoice) {
    UdpEndpoint endpoint(settings, messages);
    ASSERT_EQ(endpoint.openEndpoint(&watcher), 0);
    Peer appliances(settings.devicePort);
    // As a discovery reply may set it: an address this host does not have.
    endpoint.localAddress = htonl(0x0A630001); // 10.99.0.1

    const std::uint8_t discover[8] = {'Q', 'u', 'o', 'r', 'i', 'x', 1, 0};
    EXPECT_EQ(endpoint.sendDatagram(discover, 8, kBroadcastAddress), 0);
    std::uint32_t from = 0;
    EXPECT_EQ(appliances.receive(&from), std::string("Quorix\x01\0", 8));
    EXPECT_EQ(from, htonl(INADDR_LOOPBACK));
    EXPECT_TRUE(messages.shown.empty()) << messages.shown.front();
}

TEST_F(EndpointTest, ASendFailureIsShownOnceUntilASendSucceeds) {
    UdpEndpoint endpoint(settings, messages);
    std::uint8_t big[kDatagramSize + 1] = {};
    EXPECT_EQ(endpoint.sendDatagram(big, 8, htonl(INADDR_LOOPBACK)), -1);
    EXPECT_TRUE(messages.shown.empty()); // not open: silent

    ASSERT_EQ(endpoint.openEndpoint(&watcher), 0);
    EXPECT_EQ(endpoint.sendDatagram(big, sizeof big, htonl(INADDR_LOOPBACK)), -1);
    EXPECT_EQ(endpoint.sendDatagram(big, sizeof big, htonl(INADDR_LOOPBACK)), -1);
    ASSERT_EQ(messages.shown, std::vector<std::string>{"Failed to send datagram out #90"});

    EXPECT_EQ(endpoint.sendDatagram(big, 8, htonl(INADDR_LOOPBACK)), 0);
    EXPECT_EQ(endpoint.sendDatagram(big, sizeof big, htonl(INADDR_LOOPBACK)), -1);
    EXPECT_EQ(messages.shown.size(), 2u); // again after a success in between

    endpoint.closeEndpoint();
    messages.shown.clear();
    EXPECT_EQ(endpoint.sendDatagram(big, 8, htonl(INADDR_LOOPBACK)), -1);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(EndpointTest, TheReceiveBufferHoldsABurst) {
    UdpEndpoint endpoint(settings, messages);
    ASSERT_EQ(endpoint.openEndpoint(&watcher), 0);
    int bytes = 0;
    socklen_t length = sizeof bytes;
    ASSERT_EQ(getsockopt(endpoint.socketHandle(), SOL_SOCKET, SO_RCVBUF, &bytes, &length), 0);
    // Linux reports twice what was granted (its bookkeeping included); without
    // CAP_NET_ADMIN the grant is capped by net.core.rmem_max.
    long ceiling = kReceiveBufferBytes;
    if (geteuid() != 0) {
        if (FILE* f = std::fopen("/proc/sys/net/core/rmem_max", "r")) {
            long most = 0;
            if (std::fscanf(f, "%ld", &most) == 1) {
                ceiling = std::min<long>(ceiling, most);
            }
            std::fclose(f);
        }
    }
    EXPECT_GE(bytes, 2 * ceiling);
}

// A second copy of the program (here a plain socket) holds our port: the
// endpoint still opens, and the warning names the cause rather than rights.
TEST_F(EndpointTest, APortHeldByAnotherProgramIsSaidSo) {
    Peer holder(settings.localPort, htonl(INADDR_ANY), false);
    UdpEndpoint endpoint(settings, messages);
    ASSERT_EQ(endpoint.openEndpoint(&watcher), 0);
    EXPECT_EQ(endpoint.endpointReady, 1);
    ASSERT_EQ(messages.shown.size(), 1u);
    const std::string& text = messages.shown[0];
    EXPECT_NE(text.find("port " + std::to_string(settings.localPort)), std::string::npos) << text;
    EXPECT_NE(text.find("error 98"), std::string::npos) << text; // EADDRINUSE
    EXPECT_NE(text.find("Another program holds the port"), std::string::npos) << text;
    EXPECT_EQ(text.find("setcap"), std::string::npos) << text;
    EXPECT_EQ(text.find("root"), std::string::npos) << text;
}

// Runs body in a child process and returns its exit code (or -1 when it died).
template <typename Body> int inChild(Body body) {
    pid_t child = fork();
    if (child == 0) {
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A socket of `type` bound to address:port, as the port helper would hand one over.
int boundSocket(int type, std::uint32_t address, std::uint16_t port) {
    int fd = socket(AF_INET, type, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = address;
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    return fd;
}

// Which socket a descriptor is, also after the descriptor's number is reused.
ino_t socketInode(int fd) {
    struct stat s {};
    return fstat(fd, &s) == 0 ? s.st_ino : 0;
}

// varnctl opens one endpoint after another (a sweep per interface): each takes
// the handed-over socket and binds nothing of its own.
TEST_F(EndpointTest, EveryEndpointUsesTheHandedSocket) {
    const int handed = boundSocket(SOCK_DGRAM, htonl(INADDR_ANY), settings.localPort);
    const ino_t inode = socketInode(handed);
    settings.handed.fd = handed;
    Peer appliance(settings.devicePort, htonl(0x7F000002));
    for (int sweep = 0; sweep < 2; ++sweep) {
        UdpEndpoint endpoint(settings, messages);
        ASSERT_EQ(endpoint.openEndpoint(&watcher), 0);
        EXPECT_EQ(socketInode(endpoint.socketHandle()), inode);
        appliance.sendTo("Quorix\x81", htonl(INADDR_LOOPBACK), settings.localPort);
        EXPECT_EQ(receive(endpoint), "Quorix\x81");
    }
    EXPECT_TRUE(messages.shown.empty()) << messages.shown.front();
    close(handed);
}

// Only the socket the endpoint would bind itself is taken.
TEST_F(EndpointTest, AHandedSocketOfAnotherKindIsLeftAlone) {
    const std::uint16_t otherPort = freePort();
    for (int handed : {boundSocket(SOCK_STREAM, htonl(INADDR_ANY), settings.localPort),
                       boundSocket(SOCK_DGRAM, htonl(INADDR_ANY), otherPort),
                       boundSocket(SOCK_DGRAM, htonl(INADDR_LOOPBACK), settings.localPort)}) {
        settings.handed.fd = handed;
        UdpEndpoint endpoint(settings, messages);
        ASSERT_EQ(endpoint.openEndpoint(&watcher), 0);
        EXPECT_NE(socketInode(endpoint.socketHandle()), socketInode(handed));
        close(handed);
    }
}

// The socket-activation convention: only variables that name this process
// count, and they are removed once taken.
TEST(HandedSocket, IsTakenOnlyWhenTheVariablesNameThisProcess) {
    int code = inChild([] {
        const std::string self = std::to_string(getpid());
        if (dup2(boundSocket(SOCK_DGRAM, htonl(INADDR_LOOPBACK), 0), 3) != 3) {
            return 3;
        }
        setenv("LISTEN_PID", std::to_string(getppid()).c_str(), 1);
        setenv("LISTEN_FDS", "1", 1);
        HandedSocket other = takeHandedSocket();
        if (other.fromHelper || other.fd != -1 || std::getenv("LISTEN_FDS") == nullptr) {
            return 4;
        }
        setenv("LISTEN_PID", self.c_str(), 1);
        HandedSocket ours = takeHandedSocket();
        if (!ours.fromHelper || ours.fd != 3 || (fcntl(3, F_GETFD) & FD_CLOEXEC) == 0) {
            return 5;
        }
        if (std::getenv("LISTEN_PID") != nullptr || std::getenv("LISTEN_FDS") != nullptr) {
            return 6;
        }
        setenv("LISTEN_PID", self.c_str(), 1);
        setenv("LISTEN_FDS", "0", 1);
        setenv("VARN_PORT_ERROR", "98", 1);
        HandedSocket failed = takeHandedSocket();
        return failed.fromHelper && failed.fd == -1 && failed.helperError == 98 ? 0 : 7;
    });
    EXPECT_EQ(code, 0) << "3: no descriptor 3, 4: another process's taken, 5: ours not taken, "
                          "6: variables left, 7: the helper's failure not seen";
}

TEST_F(EndpointTest, ARefusedNotificationFailsTheOpening) {
    struct Refusing : SocketWatcher {
        bool watchSocket(int) override { return false; }
    } refusing;
    UdpEndpoint endpoint(settings, messages);
    EXPECT_EQ(endpoint.openEndpoint(&refusing), -1);
    EXPECT_NE(endpoint.socketError, 0);
    EXPECT_EQ(endpoint.endpointReady, 0);
}

// With no descriptor left there is no socket to be had: the opening fails with
// the system's error and shows nothing (the caller reports it).
TEST_F(EndpointTest, NoSocketFailsTheOpening) {
    int code = inChild([this] {
        // Made while descriptors are left, and never destroyed (the child ends
        // with _exit): UndefinedBehaviorSanitizer's first check of an object's
        // type, in a constructor or a destructor, needs a pipe.
        auto* endpoint = new UdpEndpoint(settings, messages);
        rlimit limit{16, 16};
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0) {
            return 3;
        }
        while (dup(0) >= 0) {
        }
        if (endpoint->openEndpoint(&watcher) != -1 || endpoint->endpointReady != 0) {
            return 4;
        }
        if (endpoint->socketError != EMFILE) {
            return 5;
        }
        return messages.shown.empty() && watcher.fd == -1 ? 0 : 6;
    });
    EXPECT_EQ(code, 0) << "3: no limit, 4: opened, 5: wrong error, 6: something shown";
}

// Sets the loopback interface of the current network namespace up.
bool loopbackUp() {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = short(request.ifr_flags | IFF_UP);
    up = up && ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    close(fd);
    return up;
}

// In a network namespace of its own (no interface up, no route) the connect to
// the broadcast address fails: the user is told, and opening goes on without a
// local address. Every broadcast then fails, but the user hears of it once,
// and again only after a send got through in between.
TEST_F(EndpointTest, NoRouteSaysSoOnceAndOpeningGoesOn) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root for a network namespace of its own";
    }
    int code = inChild([this] {
        if (unshare(CLONE_NEWNET) != 0) {
            return 3;
        }
        settings.probeAddress = kBroadcastAddress;
        settings.broadcastAddress = kBroadcastAddress;
        UdpEndpoint endpoint(settings, messages);
        if (endpoint.openEndpoint(&watcher) != 0 || endpoint.endpointReady != 1) {
            return 4;
        }
        if (endpoint.localAddress != 0) {
            return 5;
        }
        if (messages.shown != std::vector<std::string>{"Connect Call fail !"}) {
            return 6;
        }
        const std::uint8_t discover[8] = {'Q', 'u', 'o', 'r', 'i', 'x', 1, 0};
        for (int sweep = 0; sweep < 3; ++sweep) {
            if (endpoint.sendDatagram(discover, 8, kBroadcastAddress) != -1) {
                return 7;
            }
        }
        if (messages.shown.size() != 2 || messages.shown[1] != "Failed to send datagram out #101") {
            return 8;
        }
        // Loopback up: a unicast to ourselves goes out, the next broadcast fails again.
        if (!loopbackUp() || endpoint.sendDatagram(discover, 8, htonl(INADDR_LOOPBACK)) != 0) {
            return 9;
        }
        endpoint.sendDatagram(discover, 8, kBroadcastAddress);
        endpoint.sendDatagram(discover, 8, kBroadcastAddress);
        return messages.shown.size() == 3 ? 0 : 10;
    });
    EXPECT_EQ(code, 0) << "3: no namespace, 4: opening failed, 5: an address was learned, "
                          "6: no connect message, 7: a broadcast went out, 8: not one #101, "
                          "9: no unicast on loopback, 10: not shown again after it";
}

// An ordinary user may not bind port 777: the endpoint still opens, and says why
// replies may be lost and how to fix it (never by giving this program the right).
// When the port helper could not have the port either, its reason is given.
TEST(EndpointPrivilegedPort, AnUnprivilegedUserIsToldAboutPort777) {
    int code = inChild([] {
        if (geteuid() == 0) {
            passwd* nobody = getpwnam("nobody");
            if (nobody == nullptr || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) {
                return 3;
            }
        }
        Messages messages;
        AcceptingWatcher watcher;
        EndpointSettings settings;
        settings.localPort = 777;
        settings.devicePort = freePort();
        settings.broadcastAddress = kLoopbackBroadcast;
        settings.probeAddress = kLoopbackBroadcast;
        UdpEndpoint endpoint(settings, messages);
        if (endpoint.openEndpoint(&watcher) != 0 || endpoint.endpointReady != 1) {
            return 4;
        }
        const std::string said = messages.shown.empty() ? "" : messages.shown.back();
        if (said.find("port 777") == std::string::npos ||
            said.find("error 13") == std::string::npos ||
            said.find("port helper") == std::string::npos) {
            return 5;
        }
        settings.handed.fromHelper = true;
        settings.handed.helperError = EADDRINUSE;
        UdpEndpoint second(settings, messages);
        second.openEndpoint(&watcher);
        return messages.shown.back().find("Another program holds the port") != std::string::npos
                   ? 0
                   : 6;
    });
    EXPECT_EQ(code, 0) << "3: cannot drop privileges, 4: opening failed, "
                          "5: no warning about port 777, 6: not the helper's reason";
}

} // namespace
