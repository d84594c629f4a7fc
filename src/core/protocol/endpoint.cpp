#include "protocol/endpoint.h"

#include "link/user_interface.h"
#include "texts.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace varn {

namespace {

sockaddr_in socketAddress(std::uint32_t address, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = address;
    return sa;
}

// The errors of a send whose chosen source address the system will not use.
bool sourceRefused(int error) {
    return error == ENETUNREACH || error == EINVAL || error == EADDRNOTAVAIL;
}

void enableBroadcast(int fd) {
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
}

// Learns the address of the interface that would carry a datagram to `probe`:
// connecting a UDP socket sends nothing but makes the system choose the route.
// 0, or errno when no socket could be had for it.
int learnLocalAddress(const EndpointSettings& settings, UserInterface& ui, std::uint32_t* address) {
    *address = 0;
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        return errno;
    }
    sockaddr_in any = socketAddress(INADDR_ANY, settings.localPort);
    (void)bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any);
    // Linux refuses a connect to a broadcast address without SO_BROADCAST.
    enableBroadcast(fd);
    sockaddr_in probe = socketAddress(settings.probeAddress, settings.devicePort);
    if (connect(fd, reinterpret_cast<sockaddr*>(&probe), sizeof probe) != 0) {
        ui.showMessage(texts::kConnectFailed, MessageIcon::Warning);
    }
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
        *address = local.sin_addr.s_addr;
    }
    close(fd);
    return 0;
}

// A flood of replies must not overflow the system's default buffer (about
// 200 KB, which dropped datagrams at 20 k/s). SO_RCVBUFFORCE may pass the
// system's ceiling (net.core.rmem_max) but needs CAP_NET_ADMIN; SO_RCVBUF is
// capped by that ceiling.
void enlargeReceiveBuffer(int fd) {
    int bytes = kReceiveBufferBytes;
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0) {
        (void)setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    }
}

// Whether fd is the socket openEndpoint would bind: UDP over IPv4 on the
// wildcard address and `port`.
bool isOwnSocket(int fd, std::uint16_t port) {
    int type = 0;
    int protocol = 0;
    socklen_t length = sizeof type;
    if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_DGRAM) {
        return false;
    }
    length = sizeof protocol;
    if (getsockopt(fd, SOL_SOCKET, SO_PROTOCOL, &protocol, &length) != 0 ||
        protocol != IPPROTO_UDP) {
        return false;
    }
    sockaddr_in local{};
    length = sizeof local;
    return getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0 &&
           local.sin_family == AF_INET && local.sin_addr.s_addr == htonl(INADDR_ANY) &&
           ntohs(local.sin_port) == port;
}

// Why port `port` could not be had, and what the user can do about it.
std::string portMessage(std::uint16_t port, int error) {
    char text[1024];
    const int n = std::snprintf(text, sizeof text,
                                "VARN : Can not listen on UDP port %u (%s, error %d). Replies from "
                                "the devices may be lost.",
                                unsigned(port), std::strerror(error), error);
    std::string message(text, std::size_t(std::max(n, 0)));
    if (error == EADDRINUSE) {
        message += " Another program holds the port, perhaps another copy of this one. Close it "
                   "and start this program again.";
    } else if ((error == EACCES || error == EPERM) && port == kDevicePort) {
        // The program itself never gets the right: it loads code its caller names.
        const std::string helper = installedPortHelper();
        message += helper.empty()
                       ? " Run this program as root, or run the installed one: its port helper "
                         "binds the port for it."
                       : " Run this program as root, or give its port helper the right to use "
                         "the port:\nsetcap cap_net_bind_service=+ep " +
                             helper;
    } else if (error == EACCES || error == EPERM) {
        message += " Run this program as root.";
    }
    return message;
}

} // namespace

UdpEndpoint::UdpEndpoint(EndpointSettings s, UserInterface& ui) : settings(s), ui_(ui) {}

UdpEndpoint::~UdpEndpoint() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

int UdpEndpoint::openEndpoint(SocketWatcher* window) {
    if (int error = learnLocalAddress(settings, ui_, &localAddress); error != 0) {
        socketError = error;
        return -1;
    }

    // A copy of a handed-over socket: varnctl's sweeps open one endpoint after another.
    const bool handed =
        settings.handed.fd >= 0 && isOwnSocket(settings.handed.fd, settings.localPort);
    int fd =
        handed ? fcntl(settings.handed.fd, F_DUPFD_CLOEXEC, 0) : socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        socketError = errno;
        return -1;
    }
    enableBroadcast(fd);
    enlargeReceiveBuffer(fd);
    // Pending datagrams are read until the socket is empty, so reads never block.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    if (window == nullptr || !window->watchSocket(fd)) {
        socketError = window == nullptr ? EINVAL : EBADF;
        close(fd);
        return -1;
    }
    fd_ = fd;
    watcher_ = window;

    // The wildcard address hears both the appliances' unicast answers and
    // broadcasts (an appliance on another network may answer by broadcast; our
    // own discovery broadcast comes back too and is dropped by its type).
    sockaddr_in any = socketAddress(INADDR_ANY, settings.localPort);
    if (!handed && bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
        // The appliances answer to port 777 as well as to the sender's port; a
        // socket that cannot have the port silently misses the former, so say it.
        // When the helper could not have it either, its reason is the one that counts.
        const int error = settings.handed.helperError != 0 ? settings.handed.helperError : errno;
        ui_.showMessage(portMessage(settings.localPort, error), MessageIcon::Warning);
    }

    endpointReady = 1;
    return 0;
}

int UdpEndpoint::closeEndpoint() {
    if (watcher_ != nullptr) {
        watcher_->unwatchSocket();
        watcher_ = nullptr;
    }
    int result = 0;
    if (fd_ >= 0) {
        if (close(fd_) != 0 && errno != EINTR) {
            ui_.showMessage(texts::kCannotStop, MessageIcon::Warning);
            result = -1;
        }
        fd_ = -1;
    }
    endpointReady = 0;
    return result;
}

int UdpEndpoint::sendDatagram(const std::uint8_t* buffer, std::size_t length,
                              std::uint32_t address) {
    int error = EMSGSIZE;
    if (length <= kDatagramSize) {
        const bool broadcast = address == kBroadcastAddress;
        sockaddr_in to =
            socketAddress(broadcast ? settings.broadcastAddress : address, settings.devicePort);
        iovec iov{const_cast<std::uint8_t*>(buffer), length};
        msghdr msg{};
        msg.msg_name = &to;
        msg.msg_namelen = sizeof to;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        // Broadcasts leave by the interface of our LAN address, as they would
        // from a socket bound to it, wherever the default route leads.
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
        if (broadcast && localAddress != 0) {
            msg.msg_control = control;
            msg.msg_controllen = sizeof control;
            cmsghdr* cm = CMSG_FIRSTHDR(&msg);
            cm->cmsg_level = IPPROTO_IP;
            cm->cmsg_type = IP_PKTINFO;
            cm->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
            in_pktinfo info{};
            info.ipi_spec_dst.s_addr = localAddress;
            std::memcpy(CMSG_DATA(cm), &info, sizeof info);
        }
        ssize_t sent = sendmsg(fd_, &msg, 0);
        if (sent < 0 && msg.msg_control != nullptr && sourceRefused(errno)) {
            // localAddress is not (or no longer) one of ours: a discovery reply
            // can set it. Let the route choose the source instead.
            msg.msg_control = nullptr;
            msg.msg_controllen = 0;
            sent = sendmsg(fd_, &msg, 0);
        }
        if (sent == static_cast<ssize_t>(length)) {
            sendFailureShown_ = false;
            return 0;
        }
        error = errno;
    }
    // Said once until a send succeeds again: without a network every re-probe
    // would bring the same box back.
    if (endpointReady == 1 && !sendFailureShown_) {
        sendFailureShown_ = true;
        char text[64];
        std::snprintf(text, sizeof text, texts::kSendFailed, error);
        ui_.showMessage(text, MessageIcon::Warning);
    }
    return -1;
}

int UdpEndpoint::receiveDatagram(std::uint8_t* buffer, std::size_t size, DatagramInfo* info) {
    if (fd_ < 0) {
        return -1;
    }
    for (;;) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        ssize_t n = recvfrom(fd_, buffer, size, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from),
                             &fromLength);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        // Anything that does not begin with the magic is not ours: skip it.
        if (static_cast<std::size_t>(n) >= kMagicSize &&
            std::memcmp(buffer, kMagic, kMagicSize) == 0) {
            if (info != nullptr) {
                info->length = static_cast<std::size_t>(n);
                info->source = from.sin_family == AF_INET ? from.sin_addr.s_addr : 0;
            }
            return 0;
        }
    }
}

} // namespace varn
