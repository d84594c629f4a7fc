#pragma once
// The bytes of every request and reply, apart from any state: requests are
// written from explicit arguments, replies are read into values. Requests are
// written into a datagram buffer of kDatagramSize bytes and their length is
// returned; replies are read from such a buffer in which the bytes a short
// datagram lacks are zero.

#include "protocol/wire.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace varn {

class DeviceConfig;

// An appliance's 12-byte name field as the lists show it and request 2 names
// it: the text up to its first NUL, control characters as blanks, padded with
// blanks to 12 characters.
using ShownName = std::array<char, 12>;
ShownName shownName(const std::uint8_t* name12);
ShownName shownName(std::string_view name);

// --- Requests ---

// The header alone: the magic, the type, 0 (types 1, 8, 9, 11, 12, 14, 33, 36).
std::size_t encodeHeader(std::uint8_t* out, std::uint8_t type);
// 2: the blank-padded name of the appliance asked for.
std::size_t encodeReadConfig(std::uint8_t* out, const ShownName& name);
// 3: the block's phone number.
std::size_t encodeDial(std::uint8_t* out, const DeviceConfig& config);
// 4: the login kind; with kind 2 the block's PPP user name and the first 20
// bytes of its password, zeros otherwise.
std::size_t encodeLogin(std::uint8_t* out, std::uint8_t loginKind, const DeviceConfig& config);
// 5: one login response: the length field as given, at most 32 bytes of text
// (up to a NUL).
std::size_t encodeTerminalResponse(std::uint8_t* out, std::uint16_t length, std::string_view text);
// 7: the whole block.
std::size_t encodeWriteConfig(std::uint8_t* out, const DeviceConfig& config);
// 13: the appliance's name (its trailing blanks as zeros), its address now and
// the new one (network order).
std::size_t encodeSetIp(std::uint8_t* out, const ShownName& name, std::uint32_t current,
                        std::uint32_t newAddress);
// 15: the block's PPP user name and the first 20 bytes of its password.
std::size_t encodePppAccount(std::uint8_t* out, const DeviceConfig& config);

// --- Replies ---

// A received datagram in a zeroed buffer of kDatagramSize bytes.
struct ReplyBytes {
    const std::uint8_t* data; // kDatagramSize bytes
    std::size_t length;       // what arrived, at most kDatagramSize
    std::uint8_t type() const { return std::uint8_t(data[6] & ~kReplyBit); }
};

struct DiscoveryReply { // 1
    std::array<std::uint8_t, 12> name{};
    std::uint32_t address = 0;
    std::uint8_t state = 0;
    std::uint32_t localAddress = 0; // the PC's address as the appliance sees it
};
DiscoveryReply decodeDiscovery(const ReplyBytes& reply);

// 2: the block, when the datagram holds all of it.
const std::uint8_t* decodeConfigBlock(const ReplyBytes& reply);

// 3 and 4: the result code.
std::uint8_t decodeResult(const ReplyBytes& reply);

struct TerminalData { // 5
    const std::uint8_t* data;
    std::size_t length; // the length field, bounded by what arrived
};
TerminalData decodeTerminalData(const ReplyBytes& reply);

// 33: the appliance's firmware version text (at most 16 characters); the
// modem's is not used.
std::string_view decodeFirmwareVersion(const ReplyBytes& reply);

struct StatusReply { // 36
    std::array<std::uint8_t, 12> name{};
    std::uint8_t state = 0;
    std::uint8_t code = 0;
    std::uint32_t wanAddress = 0;
    std::uint16_t speed = 0; // bit/s
};
StatusReply decodeStatus(const ReplyBytes& reply);

} // namespace varn
