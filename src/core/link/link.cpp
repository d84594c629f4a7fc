#include "link/link.h"

#include "link/user_interface.h"
#include "protocol/datagram_port.h"
#include "protocol/device_config.h"
#include "selftest/selftest_state.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace varn {

namespace {

constexpr const char* kMemoryFailed = "VARN : Memory Allocation Failed !";
constexpr const char* kTerminalFull = "VARN : Terminal buffer is full, further text is not shown.";

// A zeroed 1536-byte datagram buffer, or nullptr when memory is short.
std::unique_ptr<std::uint8_t[]> datagramBuffer() {
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[kDatagramSize]());
}

// Copies a zero-padded text field: bytes up to the first NUL, zeros after it.
void copyAsText(std::uint8_t* to, const std::uint8_t* from, std::size_t width) {
    std::size_t n = 0;
    while (n < width && from[n] != 0) {
        to[n] = from[n];
        ++n;
    }
    std::memset(to + n, 0, width - n);
}

// Row `index` of the table, or a blank row when the index is out of range.
const char* selectedRow(const DeviceTable& table, int index) {
    static const std::string blank(kRowWidth, ' ');
    return (index >= 0 && index < kTableRows) ? table.rows[index] : blank.data();
}

} // namespace

Link::Link(DatagramPort& port, DeviceConfig& config, SelfTestState& selfTest, UserInterface& ui)
    : port_(port), config_(config), selfTest_(selfTest), ui_(ui) {}

int Link::sendRequest(int type) {
    awaitedReply = std::uint8_t(type);

    auto buffer = datagramBuffer();
    if (!buffer) {
        ui_.showMessage(kMemoryFailed, MessageIcon::Warning);
        return 255;
    }
    std::uint8_t* b = buffer.get();
    std::memcpy(b, kMagic, kMagicSize);
    b[6] = std::uint8_t(type);
    b[7] = 0;

    const std::uint8_t* block = config_.data();
    std::size_t length = kHeaderSize;
    std::uint32_t destination = targetAddress;

    switch (type) {
    case kDiscover:
        newDeviceSeen = false;
        destination = kBroadcastAddress;
        break;
    case kReadConfig:
        // The row's name field is already space-padded.
        std::memcpy(b + 8, selectedRow(devices, devices.selectedIndex), DeviceTable::kNameWidth);
        length = 20;
        configReceived = false;
        break;
    case kDial:
        copyAsText(b + 8, block + DeviceConfig::kPhoneNumber, DeviceConfig::kPhoneNumberSize);
        length = 24;
        break;
    case kLogin:
        b[8] = selfTest_.loginKind;
        if (selfTest_.loginKind == kLoginPpp) {
            copyAsText(b + 9, block + DeviceConfig::kPppUserName, DeviceConfig::kPppUserNameSize);
            copyAsText(b + 41, block + DeviceConfig::kPppPassword, kPppPasswordOnTheWire);
        }
        length = 61;
        break;
    case kTerminalResponse: {
        std::uint8_t text[32] = {};
        if (selfTest_.unrecordedLine) {
            const std::string& line = *selfTest_.unrecordedLine;
            const std::size_t n = std::min(line.size(), sizeof text);
            std::memcpy(text, line.data(), n);
            writeLe16(b + 8, std::uint16_t(n));
        } else {
            // Offsets come from the block, which came from the appliance: a slot
            // outside the script, offsets that decrease or that point past the
            // 48-byte area must not make us read outside it.
            const ScriptSpan span = config_.scriptSpan(selfTest_.scriptSlot);
            writeLe16(b + 8, std::uint16_t(span.length));
            std::memcpy(text, block + DeviceConfig::kScriptResponses + span.begin,
                        std::min<std::size_t>(span.length, sizeof text));
        }
        copyAsText(b + 10, text, sizeof text);
        length = 42;
        break;
    }
    case kWriteConfig:
        std::memcpy(b + 8, block, DeviceConfig::kSize);
        length = 8 + DeviceConfig::kSize;
        break;
    case kReset:
        resetPending = true;
        break;
    case kHangUp:
    case kBeginConfig:
    case kAbandonConfig:
    case kConfigCancelled:
    case kVersions:
        break;
    case kSetIpAddress: {
        const char* row = selectedRow(devices, devices.selectedIndex);
        std::memcpy(b + 8, row, DeviceTable::kNameWidth);
        for (std::size_t i = DeviceTable::kNameWidth; i > 0 && b[8 + i - 1] == ' '; --i)
            b[8 + i - 1] = 0;
        const std::uint32_t current =
            parseDotted(row + DeviceTable::kAddressColumn, kRowWidth - DeviceTable::kAddressColumn);
        std::memcpy(b + 20, &current, 4);
        std::memcpy(b + 24, block + DeviceConfig::kLanIpAddress, 4);
        length = 28;
        targetAddress = kBroadcastAddress;
        destination = kBroadcastAddress;
        break;
    }
    case kPppAccount:
        copyAsText(b + 8, block + DeviceConfig::kPppUserName, DeviceConfig::kPppUserNameSize);
        copyAsText(b + 40, block + DeviceConfig::kPppPassword, kPppPasswordOnTheWire);
        length = 60;
        break;
    case kStatusPoll:
        destination = kBroadcastAddress;
        break;
    default:
        return 0; // not a request we know: nothing goes out
    }

    port_.sendDatagram(b, length, destination);
    return 0;
}

int Link::dispatchReply() {
    auto buffer = datagramBuffer();
    while (!buffer) {
        ui_.showMessage(kMemoryFailed, MessageIcon::Warning);
        buffer = datagramBuffer();
    }
    DatagramInfo info;
    if (port_.receiveDatagram(buffer.get(), kDatagramSize, &info) != 0)
        return 1;
    handleReply(buffer.get(), std::min(info.length, kDatagramSize), info.source);
    return 1;
}

void Link::handleDatagram(const std::uint8_t* datagram, std::size_t length, std::uint32_t source) {
    // Handlers read fixed payload offsets: give them a zeroed full-size buffer so
    // that bytes a short datagram lacks read as zero.
    auto buffer = datagramBuffer();
    if (!buffer) {
        ui_.showMessage(kMemoryFailed, MessageIcon::Warning);
        return;
    }
    length = std::min(length, kDatagramSize);
    if (datagram != nullptr && length > 0)
        std::memcpy(buffer.get(), datagram, length);
    else
        length = 0;
    handleReply(buffer.get(), length, source);
}

// One slot per reply type 0..36; types without a handler stay empty.
const Link::HandlerTable& Link::handlerSlots() {
    static const HandlerTable slots = [] {
        HandlerTable t{};
        t[kDiscover] = &Link::onDiscovery;
        t[kReadConfig] = &Link::onConfigBlock;
        t[kDial] = &Link::onDialResult;
        t[kLogin] = &Link::onLoginResult;
        t[kTerminalResponse] = &Link::onTerminalData;
        t[kReset] = &Link::onResetAck;
        t[kHangUp] = &Link::onHangUpAck;
        // Plain acknowledgements; 15 answers the PPP account request.
        for (int type : {kWriteConfig, kBeginConfig, kAbandonConfig, kSetIpAddress,
                         kConfigCancelled, kPppAccount})
            t[type] = &Link::onAcknowledgement;
        t[kVersions] = &Link::onFirmwareVersions;
        t[kStatusPoll] = &Link::onStatusRow;
        return t;
    }();
    return slots;
}

void Link::handleReply(const std::uint8_t* b, std::size_t length, std::uint32_t source) {
    if (length < kHeaderSize)
        return; // no room for a type: nothing to dispatch
    const std::uint8_t type = b[6];
    if ((type & kReplyBit) == 0)
        return; // a request, such as our own broadcast coming back
    const int t = type & ~kReplyBit;
    if (t > kHighestReplyType)
        return;

    if (Handler h = handlerSlots()[t])
        (this->*h)(b, length, source);
}

bool Link::takeAnswer(std::uint8_t type) {
    if (awaitedReply != type)
        return false; // late, repeated or unasked: it answers nothing we wait for
    awaitedReply = 0;
    return true;
}

void Link::onDiscovery(const std::uint8_t* b, std::size_t, std::uint32_t) {
    if (b[8] == 0)
        return; // no name: not listed
    char name[DeviceTable::kNameWidth];
    shownName(b + 8, name);
    std::uint32_t address;
    std::memcpy(&address, b + 20, 4);
    if (devices.find(name, address) >= 0)
        return; // already listed

    const int count = std::clamp(devices.deviceCount, 0, kTableRows);
    if (count == kTableRows)
        return; // the table is full: an appliance beyond the fiftieth is not listed

    if (port_.localAddress == 0)
        std::memcpy(&port_.localAddress, b + 25, 4);

    devices.buildRow(count, name, address, b[24]);
    devices.deviceCount = count + 1;
    newDeviceSeen = true;
}

void Link::onConfigBlock(const std::uint8_t* b, std::size_t length, std::uint32_t source) {
    // Only a whole block, only while the chain waits for it, and only from the
    // appliance asked: anything else would put a stranger's (or a zeroed) block
    // under the login check and, on Save, back onto the appliance.
    if (length < kHeaderSize + DeviceConfig::kSize)
        return;
    if (awaitedReply != kReadConfig)
        return;
    if (source != 0 && targetAddress != kBroadcastAddress && source != targetAddress)
        return;
    std::memcpy(config_.data(), b + 8, DeviceConfig::kSize);
    configReceived = true;
    awaitedReply = 0;
}

void Link::onDialResult(const std::uint8_t* b, std::size_t, std::uint32_t) {
    // One result per dial sent: the LAN may deliver one twice, and a second
    // would show its step again, hang up again or restart the terminal text.
    if (!selfTest_.running || !takeAnswer(kDial))
        return;
    const std::uint8_t code = b[8];
    if (code == 0) {
        awaitedReply = kTerminalResponse;
        showPracticeProgress(ui_, SelfTestEvent::TerminalLogin, config_);
        // The text of an earlier dial must not show again in the Login Terminal.
        selfTest_.terminalEnd = 0;
        if (selfTest_.terminalText)
            selfTest_.terminalText[0] = 0;
        selfTest_.terminalOverflowReported = false;
        return;
    }
    ui_.setSelfTestStatus(dialResultText(code));
    sendRequest(kHangUp);
}

void Link::onLoginResult(const std::uint8_t* b, std::size_t, std::uint32_t) {
    // One result per login sent (its hang-up replaces the awaited marker).
    if (!selfTest_.running || !takeAnswer(kLogin))
        return;
    const std::uint8_t code = b[8];
    if (code == 0) {
        selfTest_.hangupAfterSuccess = true;
        showPracticeProgress(ui_, SelfTestEvent::Success, config_);
    } else {
        ui_.setSelfTestStatus(pppResultText(code));
    }
    sendRequest(kHangUp);
}

void Link::onTerminalData(const std::uint8_t* b, std::size_t length, std::uint32_t) {
    if (!selfTest_.running)
        return;
    selfTest_.terminalDirty = true;
    // The length field may claim more than the datagram carries.
    const std::size_t carried = length > 10 ? length - 10 : 0;
    const std::size_t dataLength = std::min<std::size_t>(readLe16(b + 8), carried);
    const std::uint8_t* data = b + 10;

    if (selfTest_.loginKind == kLoginUndecided) {
        selfTest_.scriptSlot = -1;
        selfTest_.unrecordedLine.reset();
        selfTest_.pppSeen = false;
        const int r = appendTerminal(data, dataLength);
        selfTest_.loginKind = std::uint8_t(r);
        if (r == 1) {
            // The login the user is about to type becomes the new script.
            config_.setLoginMode(LoginMode::Terminal);
            config_.clearLoginArea();
            if (!ui_.runLoginTerminal())
                sendRequest(kHangUp);
        } else {
            config_.setLoginMode(LoginMode::Ppp);
            showPracticeProgress(ui_, SelfTestEvent::PppConnecting, config_);
            sendRequest(kLogin);
        }
    } else if (selfTest_.loginKind == kLoginTerminal) {
        if (appendTerminal(data, dataLength) == 2) {
            showPracticeProgress(ui_, SelfTestEvent::PppConnecting, config_);
            sendRequest(kLogin);
        }
    }
}

void Link::onAcknowledgement(const std::uint8_t* b, std::size_t, std::uint32_t) {
    takeAnswer(b[6] & ~kReplyBit);
}

void Link::onResetAck(const std::uint8_t*, std::size_t, std::uint32_t) {
    // Said once per reset we asked for: a repeated or unasked acknowledgement
    // (anyone on the LAN can send one) shows nothing.
    if (!resetPending)
        return;
    resetPending = false;
    takeAnswer(kReset);
    ui_.showMessage("VARN : Device is resetting now.", MessageIcon::Information);
}

void Link::onHangUpAck(const std::uint8_t*, std::size_t, std::uint32_t) {
    if (!takeAnswer(kHangUp))
        return;
    if (selfTest_.hangupAfterSuccess) {
        selfTest_.hangupAfterSuccess = false;
        showPracticeProgress(ui_, SelfTestEvent::Ready, config_);
    }
}

void Link::onFirmwareVersions(const std::uint8_t* b, std::size_t, std::uint32_t) {
    if (!takeAnswer(kVersions))
        return;
    const std::size_t n = sizeof proxyFirmwareVersion - 1;
    copyAsText(reinterpret_cast<std::uint8_t*>(proxyFirmwareVersion), b + 24, n);
    proxyFirmwareVersion[n] = 0;
}

void Link::onStatusRow(const std::uint8_t* b, std::size_t length, std::uint32_t) {
    buildMonitorRow(monitor, b, length);
}

int Link::appendTerminal(const std::uint8_t* data, std::size_t length) {
    bool overflowed = false;
    const int r = selfTest_.appendTerminalData(data, length, &overflowed);
    if (overflowed && !selfTest_.terminalOverflowReported) {
        selfTest_.terminalOverflowReported = true;
        ui_.showMessage(kTerminalFull, MessageIcon::Warning);
    }
    return r;
}

} // namespace varn
