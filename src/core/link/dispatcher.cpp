#include "link/dispatcher.h"

#include <array>

namespace varn {

namespace {

enum class Kind {
    None,
    Discovery,
    ConfigBlock,
    DialResult,
    LoginResult,
    TerminalData,
    Acknowledgement,
    ResetAck,
    HangUpAck,
    FirmwareVersion,
    StatusRow
};

struct Slot {
    Kind kind = Kind::None;
    Dispatcher::Target target = Dispatcher::Target::None;
};

// One slot per reply type 0..36; the types without a handler stay empty.
const std::array<Slot, Dispatcher::kHighestReplyType + 1>& slots() {
    static const auto table = [] {
        using T = Dispatcher::Target;
        std::array<Slot, Dispatcher::kHighestReplyType + 1> t{};
        t[kDiscover] = {Kind::Discovery, T::Link};
        t[kReadConfig] = {Kind::ConfigBlock, T::Link};
        t[kDial] = {Kind::DialResult, T::SelfTest};
        t[kLogin] = {Kind::LoginResult, T::SelfTest};
        t[kTerminalResponse] = {Kind::TerminalData, T::SelfTest};
        t[kReset] = {Kind::ResetAck, T::Link};
        // The marker is the link's; the self-test hears of it from there.
        t[kHangUp] = {Kind::HangUpAck, T::Link};
        // 15 answers the self-test's PPP account request.
        for (int type : {kWriteConfig, kBeginConfig, kAbandonConfig, kSetIpAddress,
                         kConfigCancelled, kPppAccount})
            t[std::size_t(type)] = {Kind::Acknowledgement, T::Link};
        t[kVersions] = {Kind::FirmwareVersion, T::Link};
        t[kStatusPoll] = {Kind::StatusRow, T::Link};
        return t;
    }();
    return table;
}

} // namespace

Dispatcher::Target Dispatcher::target(std::uint8_t replyType) {
    return replyType <= kHighestReplyType ? slots()[replyType].target : Target::None;
}

bool Dispatcher::take(std::uint8_t replyType) {
    if (awaited_ != replyType)
        return false;
    awaited_ = 0;
    return true;
}

void Dispatcher::dispatch(const ReplyBytes& reply, std::uint32_t source, ReplyHandlers& link,
                          ReplyHandlers* selfTest) const {
    if (reply.length < kHeaderSize || (reply.data[6] & kReplyBit) == 0)
        return;
    const std::uint8_t type = reply.type();
    if (type > kHighestReplyType)
        return;
    const Slot& slot = slots()[type];
    ReplyHandlers* h = slot.target == Target::Link ? &link : selfTest;
    if (h == nullptr)
        return;
    switch (slot.kind) {
    case Kind::None:
        return;
    case Kind::Discovery:
        return h->onDiscovery(decodeDiscovery(reply), source);
    case Kind::ConfigBlock:
        return h->onConfigBlock(decodeConfigBlock(reply), source);
    case Kind::DialResult:
        return h->onDialResult(decodeResult(reply), source);
    case Kind::LoginResult:
        return h->onLoginResult(decodeResult(reply), source);
    case Kind::TerminalData:
        return h->onTerminalData(decodeTerminalData(reply), source);
    case Kind::Acknowledgement:
        return h->onAcknowledgement(type, source);
    case Kind::ResetAck:
        return h->onResetAck(source);
    case Kind::HangUpAck:
        return h->onHangUpAck(source);
    case Kind::FirmwareVersion:
        return h->onFirmwareVersion(decodeFirmwareVersion(reply), source);
    case Kind::StatusRow:
        return h->onStatusRow(decodeStatus(reply), source);
    }
}

} // namespace varn
