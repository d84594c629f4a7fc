#pragma once
// Whether an appliance can be reached by unicast from this PC.

#include <cstdint>

namespace varn {

// True when both addresses (network order) lie in the same classful network,
// each masked by the class of its own first octet.
bool sameNetwork(std::uint32_t a, std::uint32_t b);

} // namespace varn
