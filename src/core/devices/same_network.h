#pragma once
// Whether an appliance can be reached by unicast from this PC, and whether an
// address can be given to one at all.

#include <cstdint>
#include <optional>
#include <string>

namespace varn {

// True when both addresses (network order) lie in the same classful network,
// each masked by the class of its own first octet.
bool sameNetwork(std::uint32_t a, std::uint32_t b);

// Why `address` (network order) cannot be an appliance's LAN address, or
// nothing when it can: 0.x.x.x, multicast and the reserved class E, and the
// network and broadcast addresses of its class. Loopback addresses are
// refused unless loopbackAllowed (appliances simulated on this PC).
std::optional<std::string> unusableHostAddress(std::uint32_t address, bool loopbackAllowed);

} // namespace varn
