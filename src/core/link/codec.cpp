#include "link/codec.h"

#include "protocol/device_config.h"

#include <algorithm>
#include <cstring>

namespace varn {

namespace {

// A zero-padded text field: bytes up to the first NUL, zeros after it.
void copyAsText(std::uint8_t* to, const std::uint8_t* from, std::size_t width) {
    std::size_t n = 0;
    while (n < width && from[n] != 0) {
        to[n] = from[n];
        ++n;
    }
    std::memset(to + n, 0, width - n);
}

std::size_t header(std::uint8_t* out, std::uint8_t type, std::size_t length) {
    std::memset(out, 0, length);
    std::memcpy(out, kMagic, kMagicSize);
    out[6] = type;
    return length;
}

void copyAccount(std::uint8_t* user, std::uint8_t* password, const DeviceConfig& config) {
    copyAsText(user, config.data() + DeviceConfig::kPppUserName, DeviceConfig::kPppUserNameSize);
    copyAsText(password, config.data() + DeviceConfig::kPppPassword, kPppPasswordOnTheWire);
}

} // namespace

ShownName shownName(const std::uint8_t* name12) {
    ShownName shown;
    shown.fill(' ');
    for (std::size_t c = 0; c < shown.size() && name12[c] != 0; ++c) {
        const std::uint8_t ch = name12[c];
        // A tab or a line end would break the lists' columns.
        shown[c] = (ch < 0x20 || ch == 0x7F) ? ' ' : char(ch);
    }
    return shown;
}

ShownName shownName(std::string_view name) {
    std::uint8_t field[12] = {};
    std::memcpy(field, name.data(), std::min(name.size(), sizeof field));
    return shownName(field);
}

std::size_t encodeHeader(std::uint8_t* out, std::uint8_t type) {
    return header(out, type, kHeaderSize);
}

std::size_t encodeReadConfig(std::uint8_t* out, const ShownName& name) {
    const std::size_t n = header(out, kReadConfig, 20);
    std::memcpy(out + 8, name.data(), name.size());
    return n;
}

std::size_t encodeDial(std::uint8_t* out, const DeviceConfig& config) {
    const std::size_t n = header(out, kDial, 24);
    copyAsText(out + 8, config.data() + DeviceConfig::kPhoneNumber, DeviceConfig::kPhoneNumberSize);
    return n;
}

std::size_t encodeLogin(std::uint8_t* out, std::uint8_t loginKind, const DeviceConfig& config) {
    const std::size_t n = header(out, kLogin, 61);
    out[8] = loginKind;
    if (loginKind == kLoginPpp)
        copyAccount(out + 9, out + 41, config);
    return n;
}

std::size_t encodeTerminalResponse(std::uint8_t* out, std::uint16_t length, std::string_view text) {
    const std::size_t n = header(out, kTerminalResponse, 42);
    writeLe16(out + 8, length);
    std::uint8_t field[32] = {};
    std::memcpy(field, text.data(), std::min(text.size(), sizeof field));
    copyAsText(out + 10, field, sizeof field);
    return n;
}

std::size_t encodeWriteConfig(std::uint8_t* out, const DeviceConfig& config) {
    const std::size_t n = header(out, kWriteConfig, 8 + DeviceConfig::kSize);
    std::memcpy(out + 8, config.data(), DeviceConfig::kSize);
    return n;
}

std::size_t encodeSetIp(std::uint8_t* out, const ShownName& name, std::uint32_t current,
                        std::uint32_t newAddress) {
    const std::size_t n = header(out, kSetIpAddress, 28);
    std::memcpy(out + 8, name.data(), name.size());
    for (std::size_t i = name.size(); i > 0 && out[8 + i - 1] == ' '; --i)
        out[8 + i - 1] = 0;
    std::memcpy(out + 20, &current, 4);
    std::memcpy(out + 24, &newAddress, 4);
    return n;
}

std::size_t encodePppAccount(std::uint8_t* out, const DeviceConfig& config) {
    const std::size_t n = header(out, kPppAccount, 60);
    copyAccount(out + 8, out + 40, config);
    return n;
}

DiscoveryReply decodeDiscovery(const ReplyBytes& reply) {
    DiscoveryReply r;
    std::memcpy(r.name.data(), reply.data + 8, r.name.size());
    std::memcpy(&r.address, reply.data + 20, 4);
    r.state = reply.data[24];
    std::memcpy(&r.localAddress, reply.data + 25, 4);
    return r;
}

const std::uint8_t* decodeConfigBlock(const ReplyBytes& reply) {
    return reply.length >= kHeaderSize + DeviceConfig::kSize ? reply.data + 8 : nullptr;
}

std::uint8_t decodeResult(const ReplyBytes& reply) {
    return reply.data[8];
}

TerminalData decodeTerminalData(const ReplyBytes& reply) {
    // The length field may claim more than the datagram carries.
    const std::size_t carried = reply.length > 10 ? reply.length - 10 : 0;
    return {reply.data + 10, std::min<std::size_t>(readLe16(reply.data + 8), carried)};
}

std::string_view decodeFirmwareVersion(const ReplyBytes& reply) {
    const auto* text = reinterpret_cast<const char*>(reply.data + 24);
    return {text, strnlen(text, 16)};
}

StatusReply decodeStatus(const ReplyBytes& reply) {
    StatusReply r;
    std::memcpy(r.name.data(), reply.data + 8, r.name.size());
    r.state = reply.data[20];
    r.code = reply.data[21];
    std::memcpy(&r.wanAddress, reply.data + 22, 4);
    r.speed = readLe16(reply.data + 26);
    return r;
}

} // namespace varn
