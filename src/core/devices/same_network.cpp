#include "devices/same_network.h"

#include "protocol/wire.h"

namespace varn {

namespace {
// How many leading octets name the classful network of an address.
int networkOctets(std::uint32_t address) {
    const std::uint8_t first = addressOctet(address, 0);
    return first < 128 ? 1 : first < 192 ? 2 : first < 224 ? 3 : 4;
}

// The part of an address that names its classful network.
std::uint32_t classfulNetwork(std::uint32_t address) {
    const int octets = networkOctets(address);
    std::uint8_t kept[4] = {};
    for (int i = 0; i < octets; ++i)
        kept[i] = addressOctet(address, i);
    return makeAddress(kept[0], kept[1], kept[2], kept[3]);
}
} // namespace

bool sameNetwork(std::uint32_t a, std::uint32_t b) {
    return classfulNetwork(a) == classfulNetwork(b);
}

std::optional<std::string> unusableHostAddress(std::uint32_t address, bool loopbackAllowed) {
    const std::string text = dottedText(address);
    const std::uint8_t first = addressOctet(address, 0);
    if (first == 0)
        return text + " is in 0.0.0.0/8, which names this host, not an address of its own";
    if (first >= 224 && first < 240)
        return text + " is a multicast address";
    if (first >= 240)
        return text + " is a reserved (class E) address";
    if (first == 127 && !loopbackAllowed)
        return text + " is a loopback address, which every host has for itself";
    bool allZero = true, allOnes = true;
    for (int i = networkOctets(address); i < 4; ++i) {
        allZero = allZero && addressOctet(address, i) == 0;
        allOnes = allOnes && addressOctet(address, i) == 255;
    }
    if (allZero)
        return text + " is the address of its network, not of a host";
    if (allOnes)
        return text + " is the broadcast address of its network";
    return std::nullopt;
}

} // namespace varn
