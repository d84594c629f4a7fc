#include "server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sim {

namespace {

long long nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

std::string timestamp() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03ld", local.tm_hour, local.tm_min,
                  local.tm_sec, ts.tv_nsec / 1000000);
    return text;
}

// Requests a real appliance takes only when addressed to it.
bool addressedOnly(std::uint8_t type) {
    return type == 7 || type == 8 || type == 9; // write, reset, hang up
}

std::uint32_t classfulMask(std::uint32_t a) {
    unsigned first = a >> 24;
    if (first < 128)
        return 0xFF000000u;
    if (first < 192)
        return 0xFFFF0000u;
    return 0xFFFFFF00u;
}

} // namespace

Server::Server(std::vector<Appliance> appliances, ServerOptions options, std::FILE* log)
    : appliances_(std::move(appliances)), options_(std::move(options)), log_(log),
      random_(options_.faults.seed) {}

Server::~Server() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool Server::open(std::string* error) {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        *error = std::string("cannot create a UDP socket: ") + std::strerror(errno);
        return false;
    }
    int on = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    if (setsockopt(fd_, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0) {
        *error = std::string("cannot ask for IP_PKTINFO: ") + std::strerror(errno);
        return false;
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    addr.sin_port = htons(options_.port);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        int e = errno;
        *error = "cannot bind 0.0.0.0:" + std::to_string(options_.port) + ": " + std::strerror(e);
        if (e == EACCES)
            *error += " (ports below 1024 need root or CAP_NET_BIND_SERVICE; try --port 7777)";
        return false;
    }
    socklen_t len = sizeof addr;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    return true;
}

bool Server::isBroadcast(std::uint32_t d) const {
    if (d == 0xFFFFFFFFu || d == options_.broadcastAddress)
        return true;
    for (const Appliance& a : appliances_) {
        if (a.address() == d)
            return false;
    }
    // A directed broadcast of an appliance's network, classful or /24.
    for (const Appliance& a : appliances_) {
        std::uint32_t addr = a.address();
        if (d == (addr | ~classfulMask(addr)) || d == (addr | 0xFFu))
            return true;
    }
    return false;
}

void Server::logNote(const std::string& text) {
    if (!log_)
        return;
    std::fprintf(log_, "%s %s\n", timestamp().c_str(), printable(text).c_str());
    std::fflush(log_);
}

void Server::log(const char* direction, std::uint32_t from, std::uint16_t fromPort,
                 std::uint32_t to, std::uint16_t toPort, const std::uint8_t* data,
                 std::size_t length, const std::string& note) {
    if (!log_)
        return;
    std::fprintf(log_, "%s %s %s:%u > %s:%u %zu bytes: %s%s%s\n", timestamp().c_str(), direction,
                 dotted(from).c_str(), unsigned(fromPort), dotted(to).c_str(), unsigned(toPort),
                 length, printable(describe(data, length)).c_str(), note.empty() ? "" : " -- ",
                 printable(note).c_str());
    std::fflush(log_);
}

std::vector<Server::Sent> Server::receive(const std::uint8_t* data, std::size_t length,
                                          std::uint32_t source, std::uint16_t sourcePort,
                                          std::uint32_t destination) {
    std::vector<Sent> sent;
    const Faults& f = options_.faults;
    if (f.dropShare > 0 && std::uniform_real_distribution<double>(0, 1)(random_) < f.dropShare) {
        log("RX", source, sourcePort, destination, port_, data, length, "dropped (fault option)");
        return sent;
    }
    std::string why;
    auto request = decodeRequest(data, length, &why);
    if (!request) {
        log("RX", source, sourcePort, destination, port_, data, length,
            "ERROR: breaks the catalogue; not answered");
        return sent;
    }
    if (f.ignoreTypes.count(request->type)) {
        log("RX", source, sourcePort, destination, port_, data, length, "ignored (fault option)");
        return sent;
    }
    bool broadcast = isBroadcast(destination);
    if (broadcast && addressedOnly(request->type)) {
        // A real appliance is told these one by one; a broadcast of them is a
        // fault of the sender, and obeying it would write, reset or hang up
        // every appliance at once.
        log("RX", source, sourcePort, destination, port_, data, length,
            std::string("ERROR: routing: a ") + requestName(request->type) +
                " request must be sent to one appliance, not broadcast; not obeyed");
        return sent;
    }
    std::vector<Appliance*> targets;
    for (Appliance& a : appliances_)
        if ((broadcast || a.address() == destination) && a.accepts(*request, broadcast))
            targets.push_back(&a);

    std::string note;
    if (targets.empty())
        note = broadcast ? "no appliance answers this" : "no appliance at " + dotted(destination);
    if (request->type == 13 && !targets.empty()) {
        for (const Appliance& other : appliances_)
            if (other.address() == request->newAddress && &other != targets.front()) {
                note = "ERROR: " + dotted(request->newAddress) + " belongs to " + other.name() +
                       "; not answered";
                targets.clear();
                break;
            }
    }
    log("RX", source, sourcePort, destination, port_, data, length, note);

    for (Appliance* a : targets) {
        std::uint32_t from = a->address(); // a set-IP answers from the old address
        std::vector<Outgoing> replies = a->handle(*request, source);
        if (replies.empty())
            logNote("   " + a->name() + " (" + dotted(from) + ") does not answer " +
                    requestName(request->type) + " in state " + std::to_string(a->state()));
        if (a->address() != from)
            logNote("   " + a->name() + " moves from " + dotted(from) + " to " +
                    dotted(a->address()));
        for (Outgoing& o : replies) {
            Sent s{from, f.replyBroadcast ? options_.broadcastAddress : source, sourcePort,
                   std::move(o.bytes), o.delayMs + f.delayMs};
            sent.push_back(s);
            if (f.duplicate)
                sent.push_back(s);
        }
    }
    return sent;
}

namespace {
// One datagram's header for sendmsg/recvmsg: its peer, its data and room for
// the IP_PKTINFO control message.
msghdr messageHeader(sockaddr_in& peer, iovec& data, char* control, std::size_t controlSize) {
    msghdr msg{};
    msg.msg_name = &peer;
    msg.msg_namelen = sizeof peer;
    msg.msg_iov = &data;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = controlSize;
    return msg;
}
} // namespace

bool Server::sendNow(const Sent& s) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(s.to);
    to.sin_port = htons(s.toPort);
    iovec iov{const_cast<std::uint8_t*>(s.bytes.data()), s.bytes.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr msg = messageHeader(to, iov, control, sizeof control);
    cmsghdr* c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_ifindex = 0;
    info.ipi_spec_dst.s_addr = htonl(s.from);
    std::memcpy(CMSG_DATA(c), &info, sizeof info);
    std::string note;
    if (::sendmsg(fd_, &msg, 0) < 0) {
        // Most likely the appliance's address is not one of this host's (an
        // appliance on another network): let the system pick the source; the
        // payload still says who answers.
        int error = errno;
        msg.msg_control = nullptr;
        msg.msg_controllen = 0;
        if (::sendmsg(fd_, &msg, 0) < 0) {
            log("TX", s.from, port_, s.to, s.toPort, s.bytes.data(), s.bytes.size(),
                std::string("ERROR: send failed: ") + std::strerror(errno));
            return false;
        }
        note = "sent from this host's own address, since sending from " + dotted(s.from) +
               " failed: " + std::strerror(error);
    }
    log("TX", s.from, port_, s.to, s.toPort, s.bytes.data(), s.bytes.size(), note);
    return true;
}

int Server::run(const volatile std::sig_atomic_t& stop) {
    std::uint8_t buffer[kMaxDatagram + 1];
    while (!stop) {
        long long now = nowMs();
        while (!pending_.empty() && pending_.begin()->first <= now) {
            sendNow(pending_.begin()->second);
            pending_.erase(pending_.begin());
        }
        int timeout = -1;
        if (!pending_.empty())
            timeout = int(pending_.begin()->first - now);
        pollfd p{fd_, POLLIN, 0};
        int ready = ::poll(&p, 1, timeout);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            logNote(std::string("ERROR: poll failed: ") + std::strerror(errno));
            return 1;
        }
        if (ready == 0 || !(p.revents & POLLIN))
            continue;

        sockaddr_in source{};
        iovec iov{buffer, sizeof buffer};
        alignas(cmsghdr) char control[256];
        msghdr msg = messageHeader(source, iov, control, sizeof control);
        ssize_t n = ::recvmsg(fd_, &msg, MSG_DONTWAIT);
        if (n < 0)
            continue;
        std::uint32_t destination = 0;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c))
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info;
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                destination = ntohl(info.ipi_addr.s_addr);
            }
        std::size_t length = std::size_t(n);
        if (msg.msg_flags & MSG_TRUNC || length > kMaxDatagram) {
            logNote("ERROR: a datagram longer than " + std::to_string(kMaxDatagram) +
                    " bytes from " + dotted(ntohl(source.sin_addr.s_addr)) + "; not answered");
            continue;
        }
        auto replies = receive(buffer, length, ntohl(source.sin_addr.s_addr),
                               ntohs(source.sin_port), destination);
        long long base = nowMs();
        for (Sent& s : replies) {
            if (s.delayMs <= 0 && pending_.empty())
                sendNow(s);
            else
                pending_.emplace(base + (s.delayMs > 0 ? s.delayMs : 0), std::move(s));
        }
    }
    logNote("appliance-sim stops");
    return 0;
}

} // namespace sim
