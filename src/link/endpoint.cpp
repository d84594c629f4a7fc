#include "link/endpoint.h"

#include "link/user_interface.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
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

void enableBroadcast(int fd) {
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
}

// Learns the address of the interface that would carry a datagram to `probe`:
// connecting a UDP socket sends nothing but makes the system choose the route.
std::uint32_t learnLocalAddress(const EndpointSettings& settings, UserInterface& ui) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        return 0;
    }
    sockaddr_in any = socketAddress(INADDR_ANY, settings.localPort);
    (void)bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any);
    // Linux refuses a connect to a broadcast address without SO_BROADCAST.
    enableBroadcast(fd);
    sockaddr_in probe = socketAddress(settings.probeAddress, settings.devicePort);
    if (connect(fd, reinterpret_cast<sockaddr*>(&probe), sizeof probe) != 0) {
        ui.showMessage("Connect Call fail !", MessageIcon::Warning);
    }
    sockaddr_in local{};
    socklen_t length = sizeof local;
    std::uint32_t address = 0;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
        address = local.sin_addr.s_addr;
    }
    close(fd);
    return address;
}

std::string programPath() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        return "the program";
    }
    path[n] = '\0';
    return path;
}

} // namespace

UdpEndpoint::UdpEndpoint(EndpointSettings s, UserInterface& ui) : settings(s), ui_(ui) {}

UdpEndpoint::~UdpEndpoint() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

int UdpEndpoint::openEndpoint(SocketWatcher* window) {
    localAddress = learnLocalAddress(settings, ui_);

    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        socketError = errno;
        return -1;
    }
    enableBroadcast(fd);
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
    if (bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
        // The appliances answer to port 777 as well as to the sender's port; a
        // socket that cannot have the port silently misses the former, so say it.
        int error = errno;
        char text[1024];
        std::snprintf(text, sizeof text,
                      "VARN : Can not listen on UDP port %u (%s, error %d). Replies from the "
                      "devices may be lost. Run this program as root, or give it the right "
                      "to use the port:\nsetcap cap_net_bind_service=+ep %s",
                      unsigned(settings.localPort), std::strerror(error), error,
                      programPath().c_str());
        ui_.showMessage(text, MessageIcon::Warning);
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
            ui_.showMessage("Can't terminate WinSock DLL", MessageIcon::Warning);
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
        // from a socket bound to it.
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
        if (sendmsg(fd_, &msg, 0) == static_cast<ssize_t>(length)) {
            return 0;
        }
        error = errno;
    }
    if (endpointReady == 1) {
        char text[64];
        std::snprintf(text, sizeof text, "Failed to send datagram out #%d", error);
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
