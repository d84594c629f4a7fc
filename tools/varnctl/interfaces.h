#pragma once
// The PC's IPv4 interfaces, for a discovery sweep on each of them.

#include <cstdint>
#include <string>
#include <vector>

namespace varnctl {

struct InterfaceAddress {
    std::string name;
    std::uint32_t address = 0;   // network order
    std::uint32_t broadcast = 0; // network order; 0 when it has none
    bool up = false;
    bool canBroadcast = false;
    bool loopback = false;
};

// Every IPv4 address of every interface (getifaddrs).
std::vector<InterfaceAddress> listInterfaces();

// Those a discovery sweep can go out on: up, with a broadcast address, not
// loopback; one entry per interface and broadcast address, in the order given.
std::vector<InterfaceAddress> broadcastInterfaces(const std::vector<InterfaceAddress>& all);

// The address this PC sends from to reach `target` (network order), by the
// routing table; 0 when there is no route.
std::uint32_t sourceAddressFor(std::uint32_t target, std::uint16_t port);

} // namespace varnctl
