#pragma once
// What the tests over real sockets share: an endpoint that keeps the type of
// every request it sends, a hostile host that floods the utility with replies
// nobody asked for or forges a few, and the process's resident memory. Plain
// POSIX, no Qt.

#include "protocol/endpoint.h"
#include "protocol/wire.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace traffic {

// The real endpoint, keeping the type and the time of every request it sends
// and the type byte of every datagram it reads.
class RecordingEndpoint : public varn::UdpEndpoint {
  public:
    using UdpEndpoint::UdpEndpoint;
    std::vector<int> sentTypes;
    std::vector<std::chrono::steady_clock::time_point> sentAt;
    std::vector<int> receivedTypes;

    int sendDatagram(const std::uint8_t* buffer, std::size_t length,
                     std::uint32_t address) override {
        sentTypes.push_back(length > 6 ? buffer[6] : -1);
        sentAt.push_back(std::chrono::steady_clock::now());
        return UdpEndpoint::sendDatagram(buffer, length, address);
    }
    int receiveDatagram(std::uint8_t* buffer, std::size_t size,
                        varn::DatagramInfo* info = nullptr) override {
        const int result = UdpEndpoint::receiveDatagram(buffer, size, info);
        if (result == 0) {
            receivedTypes.push_back(buffer[6]);
        }
        return result;
    }
};

// AddressSanitizer keeps freed memory in its quarantine, so there resident
// memory grows with every datagram buffer; leaks are LeakSanitizer's to find.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kResidentMemoryMeaningful = false;
#else
inline constexpr bool kResidentMemoryMeaningful = true;
#endif

// Resident memory of this process in KiB (VmRSS), -1 when unknown.
inline long residentKiB() {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (f == nullptr) {
        return -1;
    }
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, f) != nullptr) {
        if (std::sscanf(line, "VmRSS: %ld kB", &kib) == 1) {
            break;
        }
    }
    std::fclose(f);
    return kib;
}

using Bytes = std::vector<std::uint8_t>;

inline Bytes forged(std::uint8_t type, std::size_t length) {
    Bytes d(length, 0);
    std::memcpy(d.data(), "Quorix", 6);
    d[6] = std::uint8_t(type | 0x80);
    return d;
}

// Replies that anyone on the LAN can send without being asked: configuration
// blocks (whole, with no password, and short), dial, login and terminal
// results that would start a login or a hang-up, reset acknowledgements, and
// acknowledgements of everything else, each twice.
inline std::vector<Bytes> unsolicitedReplies() {
    std::vector<Bytes> all;
    Bytes block = forged(varn::kReadConfig, 520);
    std::memset(block.data() + 8, 'F', 512);
    std::memset(block.data() + 8 + 14, 0, 4); // no password: the login would be skipped
    all.push_back(block);
    all.push_back(forged(varn::kReadConfig, 100));
    for (std::uint8_t code : {0, 4}) {
        Bytes dial = forged(varn::kDial, 9);
        dial[8] = code;
        all.push_back(dial);
        Bytes login = forged(varn::kLogin, 9);
        login[8] = code;
        all.push_back(login);
    }
    const std::uint8_t ppp[] = {0x7E, 0xFF, 0x7D, 0x23, 0xC0, 0x21, 0x7D, 0x21, 0x7D};
    Bytes framing = forged(varn::kTerminalResponse, 10 + sizeof ppp);
    framing[8] = sizeof ppp;
    std::memcpy(framing.data() + 10, ppp, sizeof ppp);
    all.push_back(framing);
    Bytes prompt = forged(varn::kTerminalResponse, 17);
    prompt[8] = 7;
    std::memcpy(prompt.data() + 10, "login: ", 7);
    all.push_back(prompt);
    Bytes versions = forged(varn::kVersions, 56);
    std::memcpy(versions.data() + 24, "FORGED", 6);
    for (int twice = 0; twice < 2; ++twice) {
        all.push_back(forged(varn::kReset, 8));
        for (int type :
             {varn::kWriteConfig, varn::kHangUp, varn::kBeginConfig, varn::kAbandonConfig,
              varn::kSetIpAddress, varn::kConfigCancelled, varn::kPppAccount}) {
            all.push_back(forged(std::uint8_t(type), 8));
        }
        all.push_back(versions);
    }
    return all;
}

// Moves the calling thread (only it) into the named network namespace; empty
// stays where it is. "" on success, else what went wrong.
inline std::string enterNetns(const std::string& netns) {
    if (netns.empty()) {
        return {};
    }
    int ns = open(("/run/netns/" + netns).c_str(), O_RDONLY | O_CLOEXEC);
    if (ns < 0 || setns(ns, CLONE_NEWNET) != 0) {
        const std::string why = std::strerror(errno);
        if (ns >= 0) {
            close(ns);
        }
        return "cannot enter network namespace " + netns + ": " + why;
    }
    close(ns);
    return {};
}

// A UDP socket bound to `source` (network order), or -1 with *error set.
inline int socketFrom(std::uint32_t source, std::string* error) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = std::string("no socket: ") + std::strerror(errno);
        return -1;
    }
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = source;
    if (bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) {
        *error = "cannot send from " + varn::dottedText(source) + ": " + std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

inline sockaddr_in destination(std::uint32_t address, std::uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = address;
    to.sin_port = htons(port);
    return to;
}

// Another host's datagrams, sent once each and in order, from `source` in the
// named namespace (empty: ours) to target:port; returns when they have gone.
// "" on success, else what went wrong.
inline std::string sendFrom(const std::string& netns, std::uint32_t source, std::uint32_t target,
                            std::uint16_t port, const std::vector<Bytes>& datagrams) {
    std::string error;
    std::thread sender([&] {
        error = enterNetns(netns);
        if (!error.empty()) {
            return;
        }
        const int fd = socketFrom(source, &error);
        if (fd < 0) {
            return;
        }
        const sockaddr_in to = destination(target, port);
        for (const Bytes& d : datagrams) {
            if (sendto(fd, d.data(), d.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                       sizeof to) != static_cast<ssize_t>(d.size())) {
                error = std::string("send failed: ") + std::strerror(errno);
                break;
            }
        }
        close(fd);
    });
    sender.join();
    return error;
}

struct FloodPlan {
    std::vector<std::uint32_t> sources; // addresses to send from, network order
    std::uint32_t target = 0;           // the utility, network order
    std::uint16_t targetPort = 0;
    int milliseconds = 2000;
    int perSecond = 10000;
    std::string netns;          // the named network namespace to send from (empty: ours)
    std::vector<Bytes> replies; // what is sent round-robin (empty: unsolicitedReplies())
};

// Sends the plan's replies round-robin from every source at the plan's rate
// from a thread of its own; stops early when destroyed.
class Flooder {
  public:
    explicit Flooder(FloodPlan plan) : plan_(std::move(plan)), thread_([this] { run(); }) {}
    ~Flooder() {
        stop_ = true;
        thread_.join();
    }
    Flooder(const Flooder&) = delete;
    Flooder& operator=(const Flooder&) = delete;

    bool done() const { return done_; }
    void wait() {
        while (!done_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    // After done(): datagrams sent, and what stopped the flood early ("" if nothing).
    long sent() const { return sent_; }
    const std::string& error() const { return error_; }

  private:
    void run() {
        error_ = send();
        done_ = true;
    }

    std::string send() {
        std::string error = enterNetns(plan_.netns);
        if (!error.empty()) {
            return error;
        }
        std::vector<int> sockets;
        struct Closer {
            std::vector<int>& fds;
            ~Closer() {
                for (int fd : fds) {
                    close(fd);
                }
            }
        } closer{sockets};
        for (std::uint32_t source : plan_.sources) {
            const int fd = socketFrom(source, &error);
            if (fd < 0) {
                return error;
            }
            sockets.push_back(fd);
        }
        const sockaddr_in to = destination(plan_.target, plan_.targetPort);
        const std::vector<Bytes> replies =
            plan_.replies.empty() ? unsolicitedReplies() : plan_.replies;
        const auto start = std::chrono::steady_clock::now();
        long next = 0;
        for (;;) {
            const long elapsed = long(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - start)
                                          .count());
            if (stop_ || elapsed >= plan_.milliseconds) {
                break;
            }
            const long due = elapsed * plan_.perSecond / 1000;
            for (; next < due; ++next) {
                const Bytes& d = replies[std::size_t(next) % replies.size()];
                int fd = sockets[std::size_t(next / long(replies.size())) % sockets.size()];
                if (sendto(fd, d.data(), d.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                           sizeof to) == static_cast<ssize_t>(d.size())) {
                    ++sent_;
                }
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        return {};
    }

    FloodPlan plan_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> done_{false};
    std::atomic<long> sent_{0};
    std::string error_;
    std::thread thread_;
};

} // namespace traffic
