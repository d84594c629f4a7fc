#include "interfaces.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace varnctl {

std::vector<InterfaceAddress> listInterfaces() {
    std::vector<InterfaceAddress> all;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return all;
    for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET)
            continue;
        InterfaceAddress a;
        a.name = i->ifa_name != nullptr ? i->ifa_name : "";
        a.address = reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr;
        a.up = (i->ifa_flags & IFF_UP) != 0;
        a.canBroadcast = (i->ifa_flags & IFF_BROADCAST) != 0;
        a.loopback = (i->ifa_flags & IFF_LOOPBACK) != 0;
        if (a.canBroadcast && i->ifa_broadaddr != nullptr && i->ifa_broadaddr->sa_family == AF_INET)
            a.broadcast = reinterpret_cast<const sockaddr_in*>(i->ifa_broadaddr)->sin_addr.s_addr;
        all.push_back(a);
    }
    freeifaddrs(list);
    return all;
}

std::vector<InterfaceAddress> broadcastInterfaces(const std::vector<InterfaceAddress>& all) {
    std::vector<InterfaceAddress> usable;
    for (const InterfaceAddress& a : all) {
        if (!a.up || !a.canBroadcast || a.loopback || a.broadcast == 0)
            continue;
        bool seen = false;
        for (const InterfaceAddress& u : usable)
            seen = seen || (u.name == a.name && u.broadcast == a.broadcast);
        if (!seen)
            usable.push_back(a);
    }
    return usable;
}

std::uint32_t sourceAddressFor(std::uint32_t target, std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = target;
    std::uint32_t source = 0;
    // Connecting a UDP socket sends nothing; it only picks the route.
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
        sockaddr_in local{};
        socklen_t length = sizeof local;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0)
            source = local.sin_addr.s_addr;
    }
    close(fd);
    return source;
}

} // namespace varnctl
