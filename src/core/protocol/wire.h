#pragma once
// Constants of the appliance protocol on UDP port 777 and the IPv4 helpers the
// link layer uses. Addresses are kept as 32-bit values in network byte order,
// exactly as they lie in datagrams and in the configuration block.

#include <cstddef>
#include <cstdint>
#include <string>

namespace varn {

inline constexpr char kMagic[6] = {'Q', 'u', 'o', 'r', 'i', 'x'};
inline constexpr std::size_t kMagicSize = 6;
inline constexpr std::size_t kHeaderSize = 8; // magic, type, 0
inline constexpr std::size_t kDatagramSize = 1536;
inline constexpr std::uint16_t kDevicePort = 777;
inline constexpr std::uint32_t kBroadcastAddress = 0xFFFFFFFFu;
inline constexpr std::uint8_t kReplyBit = 0x80;

// Request types; the reply to a request carries the same type with kReplyBit set.
enum RequestType : std::uint8_t {
    kDiscover = 1,
    kReadConfig = 2,
    kDial = 3,
    kLogin = 4,
    kTerminalResponse = 5,
    kWriteConfig = 7,
    kReset = 8,
    kHangUp = 9,
    kBeginConfig = 11,
    kAbandonConfig = 12,
    kSetIpAddress = 13,
    kConfigCancelled = 14,
    kPppAccount = 15,
    kVersions = 33,
    kStatusPoll = 36,
};

// Login kinds carried by request 4 and kept in SelfTestState::loginKind.
inline constexpr std::uint8_t kLoginUndecided = 0xFF;
inline constexpr std::uint8_t kLoginTerminal = 1;
inline constexpr std::uint8_t kLoginPpp = 2;

// The PPP password bytes that requests 4 and 15 carry.
inline constexpr std::size_t kPppPasswordOnTheWire = 20;

// Network-order address from four octets, first octet first.
std::uint32_t makeAddress(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d);
// The octet at position i (0 = first) of a network-order address.
std::uint8_t addressOctet(std::uint32_t address, int i);
// "192.168.1.254" for a network-order address.
std::string dottedText(std::uint32_t address);
// The same into out (NUL-terminated); returns its length.
std::size_t dottedText(std::uint32_t address, char (&out)[16]);
// Parses dotted-decimal text that ends at the first blank, tab or NUL, reading at
// most maxLength characters. Returns kBroadcastAddress when the text is not an
// address (as the classic inet_addr does).
std::uint32_t parseDotted(const char* text, std::size_t maxLength);

// Little-endian 16-bit fields of the payloads.
std::uint16_t readLe16(const std::uint8_t* p);
void writeLe16(std::uint8_t* p, std::uint16_t value);

} // namespace varn
