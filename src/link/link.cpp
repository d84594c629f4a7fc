#include "link/link.h"

#include "config/device_config.h"
#include "link/datagram_port.h"
#include "link/user_interface.h"

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

Link::Link(DatagramPort& port, DeviceConfig& config, UserInterface* ui)
    : port_(port), config_(config), ui_(ui) {}

UserInterface& Link::ui() {
    return ui_ != nullptr ? *ui_ : userInterface();
}

int Link::sendRequest(int type) {
    awaitedReply = std::uint8_t(type);

    auto buffer = datagramBuffer();
    if (!buffer) {
        ui().showMessage(kMemoryFailed, MessageIcon::Warning);
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
        newDeviceSeen = 0;
        destination = kBroadcastAddress;
        break;
    case kReadConfig:
        // The row's name field is already space-padded.
        std::memcpy(b + 8, selectedRow(devices, devices.selectedIndex), DeviceTable::kNameWidth);
        length = 20;
        break;
    case kDial:
        copyAsText(b + 8, block + DeviceConfig::kPhoneNumber, DeviceConfig::kPhoneNumberSize);
        length = 24;
        break;
    case kLogin:
        b[8] = loginKind;
        if (loginKind == kLoginPpp) {
            copyAsText(b + 9, block + DeviceConfig::kPppUserName, DeviceConfig::kPppUserNameSize);
            copyAsText(b + 41, block + DeviceConfig::kPppPassword, 20);
        }
        length = 61;
        break;
    case kTerminalResponse: {
        // Offsets come from the block, which came from the appliance: a slot outside
        // the script, offsets that decrease or that point past the 48-byte area
        // must not make us read outside it.
        std::size_t begin = 0, end = 0;
        if (scriptSlot >= 0 && std::size_t(scriptSlot) + 1 < DeviceConfig::kScriptOffsetCount) {
            const std::uint8_t* offsets = block + DeviceConfig::kScriptOffsets;
            begin = std::min<std::size_t>(offsets[scriptSlot], DeviceConfig::kScriptResponsesSize);
            end =
                std::min<std::size_t>(offsets[scriptSlot + 1], DeviceConfig::kScriptResponsesSize);
            if (end < begin)
                end = begin;
        }
        const std::size_t responseLength = end - begin;
        writeLe16(b + 8, std::uint16_t(responseLength));
        std::uint8_t text[32] = {};
        std::memcpy(text, block + DeviceConfig::kScriptResponses + begin,
                    std::min<std::size_t>(responseLength, sizeof text));
        copyAsText(b + 10, text, sizeof text);
        length = 42;
        break;
    }
    case kWriteConfig:
        std::memcpy(b + 8, block, DeviceConfig::kSize);
        length = 8 + DeviceConfig::kSize;
        break;
    case kReset:
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
        copyAsText(b + 40, block + DeviceConfig::kPppPassword, 20);
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
        ui().showMessage(kMemoryFailed, MessageIcon::Warning);
        buffer = datagramBuffer();
    }
    std::size_t received = 0;
    if (port_.receiveDatagram(buffer.get(), kDatagramSize, &received) != 0)
        return 1;
    if (received == 0 || received > kDatagramSize)
        received = kDatagramSize; // the port did not say; the rest of the buffer is zero
    handleReply(buffer.get(), received);
    return 1;
}

void Link::handleDatagram(const std::uint8_t* datagram, std::size_t length) {
    // Handlers read fixed payload offsets: give them a zeroed full-size buffer so
    // that bytes a short datagram lacks read as zero.
    auto buffer = datagramBuffer();
    if (!buffer) {
        ui().showMessage(kMemoryFailed, MessageIcon::Warning);
        return;
    }
    length = std::min(length, kDatagramSize);
    if (datagram != nullptr && length > 0)
        std::memcpy(buffer.get(), datagram, length);
    else
        length = 0;
    handleReply(buffer.get(), length);
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

void Link::handleReply(const std::uint8_t* b, std::size_t length) {
    const std::uint8_t type = b[6];
    if ((type & kReplyBit) == 0)
        return; // a request, such as our own broadcast coming back
    const int t = type & ~kReplyBit;
    if (t > kHighestReplyType)
        return;

    if (Handler h = handlerSlots()[t])
        (this->*h)(b, length);
}

void Link::onDiscovery(const std::uint8_t* b, std::size_t) {
    // The name as a row shows it: text up to the first NUL, space-padded.
    char name[DeviceTable::kNameWidth];
    std::memset(name, ' ', sizeof name);
    for (std::size_t c = 0; c < sizeof name && b[8 + c] != 0; ++c)
        name[c] = char(b[8 + c]);
    std::uint32_t address;
    std::memcpy(&address, b + 20, 4);
    const std::string addressText = dottedText(address);

    const int count = std::clamp(devices.deviceCount, 0, kTableRows);
    for (int i = 0; i < count; ++i) {
        if (std::memcmp(devices.rows[i], name, sizeof name) == 0 &&
            devices.addressText(i) == addressText)
            return; // already listed
    }
    if (b[8] == 0)
        return; // no name: not listed
    if (count == kTableRows)
        return; // the table is full: an appliance beyond the fiftieth is not listed

    if (port_.localAddress == 0)
        std::memcpy(&port_.localAddress, b + 25, 4);

    char* row = devices.rows[count];
    std::memset(row, ' ', kRowWidth);
    std::memcpy(row + DeviceTable::kNameColumn, name, sizeof name);
    row[13] = '\t';
    std::memcpy(row + DeviceTable::kAddressColumn, addressText.data(), addressText.size());
    row[29] = '\t';
    const char* state = listStateName(b[24]);
    std::memcpy(row + DeviceTable::kStateColumn, state, std::strlen(state));
    std::replace(row, row + kRowWidth, '\0', ' ');

    devices.deviceCount = count + 1;
    newDeviceSeen = 1;
}

void Link::onConfigBlock(const std::uint8_t* b, std::size_t) {
    std::memcpy(config_.data(), b + 8, DeviceConfig::kSize);
    awaitedReply = 0;
}

void Link::onDialResult(const std::uint8_t* b, std::size_t) {
    const std::uint8_t code = b[8];
    if (code == 0) {
        awaitedReply = kTerminalResponse;
        showPracticeProgress(ui(), 5, config_);
        terminalEnd = 0;
        terminalOverflowReported = false;
        return;
    }
    ui().setPracticeStatus(dialResultText(code));
    sendRequest(kHangUp);
}

void Link::onLoginResult(const std::uint8_t* b, std::size_t) {
    const std::uint8_t code = b[8];
    if (code == 0) {
        hangupAfterSuccess = 1;
        showPracticeProgress(ui(), 9, config_);
    } else {
        ui().setPracticeStatus(pppResultText(code));
    }
    sendRequest(kHangUp);
}

void Link::onTerminalData(const std::uint8_t* b, std::size_t length) {
    terminalDirty = 1;
    // The length field may claim more than the datagram carries.
    const std::size_t carried = length > 10 ? length - 10 : 0;
    const std::size_t dataLength = std::min<std::size_t>(readLe16(b + 8), carried);
    const std::uint8_t* data = b + 10;

    if (loginKind == kLoginUndecided) {
        scriptSlot = -1;
        pppSeen = 0;
        const int r = appendTerminalData(data, dataLength);
        loginKind = std::uint8_t(r);
        if (r == 1) {
            // The login the user is about to type becomes the new script.
            config_.setLoginMode(kLoginTerminal);
            config_.clearLoginArea();
            if (!ui().runLoginTerminal())
                sendRequest(kHangUp);
        } else {
            config_.setLoginMode(kLoginPpp);
            showPracticeProgress(ui(), 4, config_);
            sendRequest(kLogin);
        }
    } else if (loginKind == kLoginTerminal) {
        if (appendTerminalData(data, dataLength) == 2) {
            showPracticeProgress(ui(), 4, config_);
            sendRequest(kLogin);
        }
    }
}

void Link::onAcknowledgement(const std::uint8_t*, std::size_t) {
    awaitedReply = 0;
}

void Link::onResetAck(const std::uint8_t*, std::size_t) {
    awaitedReply = 0;
    ui().showMessage("VARN : Device is resetting now.", MessageIcon::Information);
}

void Link::onHangUpAck(const std::uint8_t*, std::size_t) {
    awaitedReply = 0;
    if (hangupAfterSuccess == 1) {
        hangupAfterSuccess = 0;
        showPracticeProgress(ui(), 153, config_);
    }
}

void Link::onFirmwareVersions(const std::uint8_t* b, std::size_t) {
    const std::size_t n = sizeof proxyFirmwareVersion - 1;
    copyAsText(reinterpret_cast<std::uint8_t*>(proxyFirmwareVersion), b + 24, n);
    proxyFirmwareVersion[n] = 0;
    awaitedReply = 0;
}

void Link::onStatusRow(const std::uint8_t* b, std::size_t length) {
    buildMonitorRow(monitor, b, length);
}

int Link::appendTerminalData(const std::uint8_t* data, std::size_t length) {
    if (data == nullptr)
        length = 0;
    // PPP framing: flag, address, escaped control of an HDLC frame start.
    if (length >= 4) {
        static constexpr std::uint8_t kPppStart[4] = {0x7E, 0xFF, 0x7D, 0x23};
        for (std::size_t p = 0; p + 7 <= length; ++p) {
            if (std::memcmp(data + p, kPppStart, sizeof kPppStart) == 0) {
                pppSeen = 1;
                return 2;
            }
        }
    }
    if (pppSeen == 1)
        return 2;

    // Keep room for the terminating NUL; what does not fit is cut, and the user
    // hears of it once.
    const std::size_t end = std::min(terminalEnd, kTerminalTextSize - 1);
    const std::size_t room = kTerminalTextSize - 1 - end;
    const std::size_t n = std::min(length, room);
    char* to = terminalText + end;
    bool afterNul = false;
    for (std::size_t i = 0; i < n; ++i) {
        afterNul = afterNul || data[i] == 0;
        to[i] = afterNul ? '\0' : char(data[i]);
    }
    terminalEnd = end + n;
    terminalText[terminalEnd] = 0;
    if (n < length && !terminalOverflowReported) {
        terminalOverflowReported = true;
        ui().showMessage(kTerminalFull, MessageIcon::Warning);
    }
    return 1;
}

} // namespace varn
