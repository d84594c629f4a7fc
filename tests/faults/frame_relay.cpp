// frame-relay: joins two network interfaces at the link layer and spoils the
// IPv4 traffic between them, for tests on a kernel without netem. It reads
// every frame from one interface's packet socket and writes it to the other's,
// dropping, repeating or delaying IPv4 frames at the given rates; everything
// else (ARP above all) passes at once and untouched. Run it as root in a
// network namespace of its own between the two ends (tests/faults/faulty_lan.sh).

#include "stop_signals.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <queue>
#include <random>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: frame-relay --between IF1,IF2 [--drop SHARE] [--duplicate SHARE]\n"
    "                   [--delay MS] [--jitter MS] [--seed N]\n"
    "Forwards every frame between the two interfaces. IPv4 frames are dropped with\n"
    "probability SHARE (--drop), sent twice with probability SHARE (--duplicate),\n"
    "and held for MS milliseconds plus or minus up to --jitter MS (frames passing\n"
    "each other when the jitter exceeds their spacing). Other frames pass at once.\n"
    "Prints counts per direction when it ends (SIGTERM, SIGINT).\n";

using Clock = std::chrono::steady_clock;

struct Settings {
    std::string ends[2];
    double drop = 0, duplicate = 0;
    int delayMs = 0, jitterMs = 0;
    unsigned seed = 1;
};

struct Held {
    Clock::time_point due;
    std::uint64_t order; // frames due at the same moment leave in arrival order
    int to;
    std::vector<std::uint8_t> frame;
    bool operator>(const Held& o) const { return due != o.due ? due > o.due : order > o.order; }
};

struct Counts {
    long in = 0, dropped = 0, repeated = 0, passed = 0;
};

// The one's-complement sum used by the IP checksums.
std::uint32_t sum16(const std::uint8_t* p, std::size_t n, std::uint32_t sum = 0) {
    for (; n > 1; p += 2, n -= 2)
        sum += std::uint32_t(p[0] << 8 | p[1]);
    if (n == 1)
        sum += std::uint32_t(p[0] << 8);
    return sum;
}
std::uint16_t fold(std::uint32_t sum) {
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return std::uint16_t(~sum);
}

// A frame read from a veth may carry a UDP checksum the sender's stack left for
// the "hardware" to finish; written to the other side it would arrive as
// corrupt. Completes it.
void completeUdpChecksum(std::vector<std::uint8_t>& f) {
    const std::size_t ip = sizeof(ether_header);
    if (f.size() < ip + 20)
        return;
    const std::size_t ihl = std::size_t(f[ip] & 0x0F) * 4;
    const bool fragment = ((f[ip + 6] & 0x3F) | f[ip + 7]) != 0;
    if (f[ip + 9] != IPPROTO_UDP || fragment || f.size() < ip + ihl + 8)
        return;
    const std::size_t udp = ip + ihl;
    const std::size_t length = std::size_t(f[udp + 4] << 8 | f[udp + 5]);
    if (length < 8 || udp + length > f.size())
        return;
    f[udp + 6] = f[udp + 7] = 0;
    std::uint32_t sum = sum16(&f[ip + 12], 8); // source and destination
    sum += IPPROTO_UDP + std::uint32_t(length);
    std::uint16_t c = fold(sum16(&f[udp], length, sum));
    if (c == 0)
        c = 0xFFFF;
    f[udp + 6] = std::uint8_t(c >> 8);
    f[udp + 7] = std::uint8_t(c);
}

int openEnd(const std::string& name, int* index) {
    *index = int(if_nametoindex(name.c_str()));
    if (*index == 0) {
        std::fprintf(stderr, "frame-relay: no interface %s\n", name.c_str());
        return -1;
    }
    int fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, htons(ETH_P_ALL));
    if (fd < 0) {
        std::fprintf(stderr, "frame-relay: packet socket: %s\n", std::strerror(errno));
        return -1;
    }
    sockaddr_ll at{};
    at.sll_family = AF_PACKET;
    at.sll_protocol = htons(ETH_P_ALL);
    at.sll_ifindex = *index;
    if (bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
        std::fprintf(stderr, "frame-relay: bind to %s: %s\n", name.c_str(), std::strerror(errno));
        close(fd);
        return -1;
    }
    // Frames for the far side's address must reach us too.
    packet_mreq promiscuous{};
    promiscuous.mr_ifindex = *index;
    promiscuous.mr_type = PACKET_MR_PROMISC;
    setsockopt(fd, SOL_PACKET, PACKET_ADD_MEMBERSHIP, &promiscuous, sizeof promiscuous);
    int big = 4 << 20;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &big, sizeof big);
    return fd;
}

bool parseShare(const char* text, double* out) {
    char* end = nullptr;
    double v = std::strtod(text, &end);
    if (*text == '\0' || *end != '\0' || !(v >= 0 && v <= 1))
        return false;
    *out = v;
    return true;
}

bool parseCount(const char* text, long high, int* out) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || v < 0 || v > high)
        return false;
    *out = int(v);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Settings s;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "frame-relay: %s needs a value\n%s", a.c_str(), kUsage);
            return 2;
        }
        const char* v = argv[++i];
        bool ok = true;
        int seed = 0;
        if (a == "--between") {
            const std::string both = v;
            const std::size_t comma = both.find(',');
            ok = comma != std::string::npos && comma > 0 && comma + 1 < both.size();
            if (ok) {
                s.ends[0] = both.substr(0, comma);
                s.ends[1] = both.substr(comma + 1);
            }
        } else if (a == "--drop") {
            ok = parseShare(v, &s.drop);
        } else if (a == "--duplicate") {
            ok = parseShare(v, &s.duplicate);
        } else if (a == "--delay") {
            ok = parseCount(v, 10000, &s.delayMs);
        } else if (a == "--jitter") {
            ok = parseCount(v, 10000, &s.jitterMs);
        } else if (a == "--seed") {
            ok = parseCount(v, 1 << 30, &seed);
            s.seed = unsigned(seed);
        } else {
            std::fprintf(stderr, "frame-relay: unknown option %s\n%s", a.c_str(), kUsage);
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "frame-relay: bad value for %s: \"%s\"\n", a.c_str(), v);
            return 2;
        }
    }
    if (s.ends[0].empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    int index[2];
    int fd[2] = {openEnd(s.ends[0], &index[0]), openEnd(s.ends[1], &index[1])};
    if (fd[0] < 0 || fd[1] < 0)
        return 1;

    stopsignals::install();

    std::mt19937 random(s.seed);
    std::uniform_real_distribution<double> chance(0, 1);
    std::uniform_int_distribution<int> jitter(-s.jitterMs, s.jitterMs);
    std::priority_queue<Held, std::vector<Held>, std::greater<>> held;
    std::uint64_t order = 0;
    Counts counts[2];

    auto send = [&](int to, const std::vector<std::uint8_t>& frame) {
        sockaddr_ll dest{};
        dest.sll_family = AF_PACKET;
        dest.sll_ifindex = index[to];
        dest.sll_halen = ETH_ALEN;
        std::memcpy(dest.sll_addr, frame.data(), ETH_ALEN);
        (void)sendto(fd[to], frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&dest),
                     sizeof dest);
    };
    auto hold = [&](int to, std::vector<std::uint8_t> frame) {
        int ms = s.delayMs + (s.jitterMs > 0 ? jitter(random) : 0);
        held.push({Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms), order++, to,
                   std::move(frame)});
    };

    std::printf("frame-relay between %s and %s: drop %.2f, duplicate %.2f, delay %d ms, jitter %d "
                "ms, seed %u\n",
                s.ends[0].c_str(), s.ends[1].c_str(), s.drop, s.duplicate, s.delayMs, s.jitterMs,
                s.seed);
    std::fflush(stdout);

    std::vector<std::uint8_t> buffer(65536);
    while (!stopsignals::requested()) {
        int wait = -1;
        const auto now = Clock::now();
        while (!held.empty() && held.top().due <= now) {
            send(held.top().to, held.top().frame);
            held.pop();
        }
        if (!held.empty())
            wait = int(std::chrono::duration_cast<std::chrono::milliseconds>(held.top().due - now)
                           .count()) +
                   1;
        pollfd p[2] = {{fd[0], POLLIN, 0}, {fd[1], POLLIN, 0}};
        if (poll(p, 2, wait) < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "frame-relay: poll: %s\n", std::strerror(errno));
            return 1;
        }
        for (int from = 0; from < 2; ++from) {
            if ((p[from].revents & POLLIN) == 0)
                continue;
            sockaddr_ll source{};
            socklen_t sourceLength = sizeof source;
            ssize_t n = recvfrom(fd[from], buffer.data(), buffer.size(), MSG_DONTWAIT,
                                 reinterpret_cast<sockaddr*>(&source), &sourceLength);
            // What we wrote ourselves comes back as outgoing: not a frame to relay.
            if (n < ssize_t(sizeof(ether_header)) || source.sll_pkttype == PACKET_OUTGOING)
                continue;
            const int to = 1 - from;
            std::vector<std::uint8_t> frame(buffer.begin(), buffer.begin() + n);
            const std::uint16_t type = std::uint16_t(frame[12] << 8 | frame[13]);
            if (type != ETHERTYPE_IP) {
                send(to, frame);
                continue;
            }
            Counts& c = counts[from];
            ++c.in;
            if (chance(random) < s.drop) {
                ++c.dropped;
                continue;
            }
            completeUdpChecksum(frame);
            ++c.passed;
            if (chance(random) < s.duplicate) {
                ++c.repeated;
                hold(to, frame);
            }
            if (s.delayMs == 0 && s.jitterMs == 0 && held.empty())
                send(to, frame);
            else
                hold(to, std::move(frame));
        }
    }
    for (int from = 0; from < 2; ++from) {
        const Counts& c = counts[from];
        std::printf(
            "frame-relay %s -> %s: %ld IPv4 frames, %ld dropped, %ld passed, %ld repeated\n",
            s.ends[from].c_str(), s.ends[1 - from].c_str(), c.in, c.dropped, c.passed, c.repeated);
    }
    close(fd[0]);
    close(fd[1]);
    return 0;
}
