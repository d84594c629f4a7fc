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

// The requests a reply answers, tried in this order: its own type with bit 7
// set answers each request. 0x87 also answers the PPP account (15): the
// program these appliances were made for had no slot for 0x8F and ended its
// wait for the account at any acknowledgement, so an appliance that worked
// with it may acknowledge the account as it does a write.
struct Answers {
    std::uint8_t requests[2];
    int count;
};
Answers answeredBy(std::uint8_t replyType) {
    if (replyType == kWriteConfig)
        return {{kWriteConfig, kPppAccount}, 2};
    return {{replyType, 0}, 1};
}

bool keepsOutstanding(std::uint8_t requestType) {
    return requestType == kDiscover || requestType == kStatusPoll;
}

} // namespace

Dispatcher::Target Dispatcher::target(std::uint8_t replyType) {
    return replyType <= kHighestReplyType ? slots()[replyType].target : Target::None;
}

void Dispatcher::sent(std::uint8_t type, std::uint32_t destination) {
    awaited_ = type;
    if (type <= kHighestReplyType)
        outstanding_[type] = {true, destination};
}

bool Dispatcher::outstanding(std::uint8_t requestType) const {
    return requestType <= kHighestReplyType && outstanding_[requestType].pending;
}

bool Dispatcher::from(std::uint8_t requestType, std::uint32_t source) const {
    if (!outstanding(requestType))
        return false;
    const std::uint32_t to = outstanding_[requestType].destination;
    return to == kBroadcastAddress || source == to || (source == 0 && trustUnknown_);
}

std::uint8_t Dispatcher::answers(std::uint8_t replyType, std::uint32_t source) const {
    const Answers a = answeredBy(replyType);
    // The request the marker names first: it is the one a dialog waits on.
    for (int i = 0; i < a.count; ++i)
        if (a.requests[i] == awaited_ && from(a.requests[i], source))
            return a.requests[i];
    for (int i = 0; i < a.count; ++i)
        if (from(a.requests[i], source))
            return a.requests[i];
    return 0;
}

void Dispatcher::take(std::uint8_t requestType) {
    if (requestType <= kHighestReplyType && !keepsOutstanding(requestType))
        outstanding_[requestType].pending = false;
    if (awaited_ == requestType)
        awaited_ = 0;
}

std::uint8_t Dispatcher::answer(std::uint8_t replyType, std::uint32_t source) {
    const std::uint8_t request = answers(replyType, source);
    if (request != 0)
        take(request);
    return request;
}

void Dispatcher::dispatch(const ReplyBytes& reply, std::uint32_t source, ReplyHandlers& link,
                          ReplyHandlers* selfTest) const {
    // A header of seven bytes (the magic and the type, no zero after it) is
    // what some appliances acknowledge with; the buffer's zeros stand in for
    // the missing byte.
    if (reply.length < kHeaderSize - 1 || (reply.data[6] & kReplyBit) == 0)
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
