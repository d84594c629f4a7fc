#include "link/link.h"

#include "link/codec.h"
#include "link/user_interface.h"
#include "protocol/datagram_port.h"
#include "protocol/device_config.h"
#include "texts.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace varn {

namespace {

// A zeroed 1536-byte datagram buffer, or nullptr when memory is short.
std::unique_ptr<std::uint8_t[]> datagramBuffer() {
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[kDatagramSize]());
}

} // namespace

Link::Link(DatagramPort& port, DeviceConfig& config, UserInterface& ui)
    : port_(port), config_(config), ui_(ui), dispatcher_(!port.knowsSources()) {}

std::uint32_t Link::localAddress() const {
    return port_.localAddress;
}

bool Link::fromTarget(std::uint32_t source) const {
    return targetAddress_ == kBroadcastAddress || source == targetAddress_ ||
           (source == 0 && !port_.knowsSources());
}

template <typename Encode> void Link::send(std::uint8_t type, std::uint32_t to, Encode&& encode) {
    dispatcher_.sent(type, to);
    auto buffer = datagramBuffer();
    if (!buffer) {
        ui_.showMessage(texts::kMemoryFailed, MessageIcon::Warning);
        return;
    }
    const std::size_t length = encode(buffer.get());
    port_.sendDatagram(buffer.get(), length, to);
}

void Link::sendRequest(int requestType) {
    const auto type = std::uint8_t(requestType);
    const auto header = [type](std::uint8_t* b) { return encodeHeader(b, type); };
    switch (requestType) {
    case kDiscover:
        newDeviceSeen_ = false;
        return send(type, kBroadcastAddress, header);
    case kReadConfig:
        configReceived_ = false;
        return send(type, targetAddress_,
                    [this](std::uint8_t* b) { return encodeReadConfig(b, chosen_.name); });
    case kDial:
        return send(type, targetAddress_,
                    [this](std::uint8_t* b) { return encodeDial(b, config_); });
    case kWriteConfig:
        return send(type, targetAddress_,
                    [this](std::uint8_t* b) { return encodeWriteConfig(b, config_); });
    case kReset:
    case kHangUp:
    case kBeginConfig:
    case kAbandonConfig:
    case kConfigCancelled:
    case kVersions:
        return send(type, targetAddress_, header);
    case kSetIpAddress:
        // The appliance is on another network: only a broadcast reaches it,
        // and the requests after this one go by broadcast too.
        targetAddress_ = kBroadcastAddress;
        return send(type, kBroadcastAddress, [this](std::uint8_t* b) {
            return encodeSetIp(b, chosen_.name, chosen_.address, config_.lanIpAddress());
        });
    case kPppAccount:
        return send(type, targetAddress_,
                    [this](std::uint8_t* b) { return encodePppAccount(b, config_); });
    case kStatusPoll:
        return send(type, kBroadcastAddress, header);
    default:
        dispatcher_.await(type); // awaited all the same; nothing goes out
        return;
    }
}

void Link::sendLogin(std::uint8_t loginKind) {
    send(kLogin, targetAddress_,
         [&](std::uint8_t* b) { return encodeLogin(b, loginKind, config_); });
}

void Link::sendTerminalResponse(std::uint16_t length, std::string_view text) {
    send(kTerminalResponse, targetAddress_,
         [&](std::uint8_t* b) { return encodeTerminalResponse(b, length, text); });
}

void Link::chooseDevice(int row) {
    selectedIndex_ = row;
    chosen_ = devices_.entry(row);
}

void Link::chooseDevice(const DeviceEntry& device) {
    chosen_ = device;
}

void Link::dispatchReply() {
    auto buffer = datagramBuffer();
    while (!buffer) {
        ui_.showMessage(texts::kMemoryFailed, MessageIcon::Warning);
        buffer = datagramBuffer();
    }
    DatagramInfo info;
    if (port_.receiveDatagram(buffer.get(), kDatagramSize, &info) != 0)
        return;
    dispatcher_.dispatch({buffer.get(), std::min(info.length, kDatagramSize)}, info.source, *this,
                         selfTest_);
}

void Link::handleDatagram(const std::uint8_t* datagram, std::size_t length, std::uint32_t source) {
    // The handlers read fixed payload offsets: a zeroed full-size buffer makes
    // the bytes a short datagram lacks read as zero.
    auto buffer = datagramBuffer();
    if (!buffer) {
        ui_.showMessage(texts::kMemoryFailed, MessageIcon::Warning);
        return;
    }
    length = datagram != nullptr ? std::min(length, kDatagramSize) : 0;
    if (length > 0)
        std::memcpy(buffer.get(), datagram, length);
    dispatcher_.dispatch({buffer.get(), length}, source, *this, selfTest_);
}

void Link::onDiscovery(const DiscoveryReply& reply, std::uint32_t source) {
    if (reply.name[0] == 0 || !dispatcher_.from(kDiscover, source))
        return; // no name, or no discovery asked for: not listed
    const DeviceEntry entry{shownName(reply.name.data()), reply.address, reply.state, source};
    if (devices_.find(entry.name, entry.address) >= 0)
        return; // already listed
    // One host is one appliance: a host answering under many names would fill
    // the table and keep the real appliances out.
    if (source != 0 && devices_.fromSource(source) >= 0)
        return;
    if (!devices_.add(entry))
        return; // the table is full: an appliance beyond the fiftieth is not listed
    if (port_.localAddress == 0)
        port_.localAddress = reply.localAddress;
    newDeviceSeen_ = true;
}

void Link::onConfigBlock(const std::uint8_t* block, std::uint32_t source) {
    // Only a whole block, only while it is asked for, only from the appliance
    // asked and only of the name asked: anything else would put a stranger's
    // (or a zeroed) block under the login check and, on Save, back onto the
    // appliance.
    if (block == nullptr || !dispatcher_.from(kReadConfig, source))
        return;
    if (shownName(block + DeviceConfig::kDeviceName) != chosen_.name)
        return;
    std::memcpy(config_.data(), block, DeviceConfig::kSize);
    configReceived_ = true;
    dispatcher_.take(kReadConfig);
}

void Link::onAcknowledgement(std::uint8_t type, std::uint32_t source) {
    dispatcher_.answer(type, source);
}

void Link::onResetAck(std::uint32_t source) {
    // Said once per reset we asked for: a repeated or unasked acknowledgement
    // (anyone on the LAN can send one) shows nothing.
    if (dispatcher_.answer(kReset, source) != 0)
        ui_.showMessage(texts::kResetting, MessageIcon::Information);
}

void Link::onHangUpAck(std::uint32_t source) {
    if (dispatcher_.answer(kHangUp, source) != 0 && selfTest_ != nullptr)
        selfTest_->onHungUp();
}

void Link::onFirmwareVersion(std::string_view version, std::uint32_t source) {
    if (dispatcher_.answer(kVersions, source) != 0)
        firmwareVersion_.assign(version);
}

void Link::onStatusRow(const StatusReply& reply, std::uint32_t source) {
    if (!dispatcher_.from(kStatusPoll, source))
        return;
    // A name the Device List found is that appliance's to report: from its
    // address only, so that another host cannot show it in a false state.
    const ShownName name = shownName(reply.name.data());
    bool listed = false;
    for (int i = 0; i < devices_.deviceCount(); ++i) {
        const DeviceEntry& e = devices_.entry(i);
        if (e.name != name)
            continue;
        if (source == e.source || source == e.address || (source == 0 && !port_.knowsSources())) {
            monitor_.update(reply);
            return;
        }
        listed = true;
    }
    if (!listed)
        monitor_.update(reply);
}

} // namespace varn
