#include "devices/same_network.h"

#include "protocol/wire.h"

namespace varn {

namespace {
// The part of an address that names its classful network.
std::uint32_t classfulNetwork(std::uint32_t address) {
    const std::uint8_t first = addressOctet(address, 0);
    const int octets = first < 128 ? 1 : first < 192 ? 2 : first < 224 ? 3 : 4;
    std::uint8_t kept[4] = {};
    for (int i = 0; i < octets; ++i)
        kept[i] = addressOctet(address, i);
    return makeAddress(kept[0], kept[1], kept[2], kept[3]);
}
} // namespace

bool sameNetwork(std::uint32_t a, std::uint32_t b) {
    return classfulNetwork(a) == classfulNetwork(b);
}

} // namespace varn
