// Feeds arbitrary datagrams to the reply dispatch, mixed with the requests and
// table resets the dialogs make, and checks after every step that the shared
// state keeps its shape. Message boxes and the Login Terminal run a nested loop
// that dispatches further datagrams, as the real modal loops do.
//
// Input: one set-up byte, then steps until the input ends. Set-up bits:
//   0-1 login kind (undecided, terminal, PPP, 0)   2 terminal buffer almost full
//   3 device and monitor tables almost full         4 read through dispatchReply
//   5 no self-test running                          6 a filled record
//   7 target a stranger instead of the broadcast address
// Steps (first byte % 8):
//   0-3 datagram: 16-bit length (LE), the bytes; the sender is unknown (0, 3),
//       the target (1) or a stranger (2)
//   4   request: type selector, raw type, row, script slot
//   5   dialog action: action byte, argument byte
//   6   typing in the Login Terminal: a byte (bits 0-5 the length, at most 32;
//       bit 7 Enter), the typed bytes
//   7   the Login Terminal is cancelled
// A message box dispatches the next step when it is a datagram; the Login
// Terminal runs steps until it is cancelled or PPP is seen.

#include "fuzz_support.h"
#include "link/device_state.h"
#include "link/link.h"
#include "link/user_interface.h"
#include "protocol/datagram_port.h"
#include "protocol/device_config.h"
#include "protocol/wire.h"
#include "selftest/self_test.h"
#include "selftest/selftest_state.h"
#include "selftest/terminal_recorder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace varn;
using fuzz::check;

constexpr int kMaxNesting = 4; // modal loops inside one another

// Hands the link the datagram of the current step; checks every request sent.
class StepPort : public DatagramPort {
  public:
    const Link* link = nullptr;
    const std::uint8_t* pending = nullptr;
    std::size_t pendingLength = 0;
    std::uint32_t pendingSource = 0;
    int sent = 0;

    int sendDatagram(const std::uint8_t* buffer, std::size_t length,
                     std::uint32_t address) override {
        check(length <= sizeof lastSent);
        std::memcpy(lastSent, buffer, length); // every byte must be readable
        fuzz::checkRequest(lastSent, length, address, link->targetAddress());
        check(lastSent[6] == link->awaitedReply()); // the type asked for
        ++sent;
        return 0;
    }
    int receiveDatagram(std::uint8_t* buffer, std::size_t size, DatagramInfo* info) override {
        if (pending == nullptr)
            return -1;
        const std::size_t n = std::min(size, pendingLength);
        std::memcpy(buffer, pending, n);
        if (info) {
            info->length = n;
            info->source = pendingSource;
        }
        pending = nullptr;
        return 0;
    }

  private:
    std::uint8_t lastSent[kDatagramSize];
};

class Harness;

// A user interface whose modal loops run further steps of the input.
class NestingUi : public UserInterface {
  public:
    Harness* harness = nullptr;
    void showMessage(const std::string& text, MessageIcon) override;
    void setSelfTestControl(SelfTestControl, bool) override {}
    void setSelfTestStatus(const std::string& text) override { check(!text.empty()); }
    void startSelfTestTimer(int, int) override {}
    bool runLoginTerminal() override;
};

std::uint32_t stranger() {
    static const std::uint32_t address = makeAddress(10, 0, 0, 99);
    return address;
}

// An appliance's name as the rows show it: up to the first NUL, control
// characters as blanks, blank-padded to 12.
void rowName(const std::uint8_t* name12, char out[12]) {
    std::memset(out, ' ', 12);
    for (int c = 0; c < 12 && name12[c] != 0; ++c)
        out[c] = (name12[c] < 0x20 || name12[c] == 0x7F) ? ' ' : char(name12[c]);
}

// Device rows: no NUL, a blank at 12, tabs at 13 and 29 and nowhere else, the
// address text a dotted number.
void checkDeviceRow(const char* row) {
    check(std::memchr(row, 0, kRowWidth) == nullptr);
    check(row[12] == ' ');
    check(std::memchr(row, '\t', kRowWidth) == row + 13);
    check(std::memchr(row + 14, '\t', kRowWidth - 14) == row + 29);
    check(std::memchr(row + 30, '\t', kRowWidth - 30) == nullptr);
    for (const char* c = row + 14; *c != ' ' && *c != '\t'; ++c)
        check((*c >= '0' && *c <= '9') || *c == '.');
}

// Monitor rows: a tab at 13, another only at 46; no NUL except the one that
// ends "Unknown" at 14.
void checkMonitorRow(const char* row) {
    check(row[12] == ' ');
    check(std::memchr(row, '\t', kRowWidth) == row + 13);
    const char* tab = static_cast<const char*>(std::memchr(row + 14, '\t', kRowWidth - 14));
    check(tab == nullptr || (tab == row + 46 && !std::memchr(row + 47, '\t', kRowWidth - 47)));
    const char* nul = static_cast<const char*>(std::memchr(row, 0, kRowWidth));
    check(nul == nullptr || (nul == row + 21 && std::memcmp(row + 14, "Unknown", 7) == 0 &&
                             !std::memchr(row + 22, 0, kRowWidth - 22)));
}

bool allZero(const std::uint8_t* p, std::size_t n) {
    return n == 0 || (p[0] == 0 && std::memcmp(p, p + 1, n - 1) == 0);
}

// A row's text as the 128 bytes of a list line: a line shorter than that
// ends in a NUL.
std::string rowBytes(std::string text) {
    if (text.size() < kRowWidth)
        text += '\0';
    text.resize(kRowWidth, ' ');
    return text;
}

// The replies that fill both tables almost to the end with well-formed rows.
std::vector<std::vector<std::uint8_t>> fillingReplies() {
    std::vector<std::vector<std::uint8_t>> replies;
    for (int i = 0; i < kTableRows - 1; ++i) {
        const std::uint8_t raw[12] = {
            'F', 'I', 'L', 'L', std::uint8_t('A' + i % 26), std::uint8_t('0' + i / 26)};
        std::vector<std::uint8_t> found(29, 0);
        std::memcpy(found.data(), "Quorix", 6);
        found[6] = kDiscover | kReplyBit;
        std::memcpy(found.data() + 8, raw, sizeof raw);
        const std::uint32_t address = makeAddress(10, 1, 0, std::uint8_t(i + 1));
        std::memcpy(found.data() + 20, &address, 4);
        found[24] = std::uint8_t(i % 8);
        replies.push_back(found);
        std::vector<std::uint8_t> status(28, 0);
        std::memcpy(status.data(), "Quorix", 6);
        status[6] = kStatusPoll | kReplyBit;
        std::memcpy(status.data() + 8, raw, sizeof raw);
        status[20] = std::uint8_t(i % 10); // every kind of state text
        status[21] = std::uint8_t(i % 12);
        status[26] = std::uint8_t(i);
        replies.push_back(status);
    }
    return replies;
}

class Harness {
  public:
    Harness() { ui_.harness = this; }

    void run(const std::uint8_t* data, std::size_t size);

    // One step of the input, at any depth of modal loops.
    void step(fuzz::Input& in);
    // A message box's loop: the next step runs inside it if it is a datagram.
    void messageBox();
    bool loginTerminal();

  private:
    void reset(std::uint8_t setup);
    void datagram(fuzz::Input& in, std::uint8_t op);
    void request(int type);
    void dialogAction(std::uint8_t action, std::uint8_t argument);
    void typing(fuzz::Input& in);
    void checkState();
    void checkRecord(bool scriptMayChange = false);
    void checkTouchedRows(const std::uint8_t* d, std::size_t length, int devicesBefore);
    void checkFinal();

    StepPort port_;
    NestingUi ui_;
    DeviceConfig config_;
    SelfTestState selfTest_;
    // Made afresh for each input: the link's state starts as at start-up.
    std::optional<Link> link_;
    std::optional<SelfTest> tester_;

    fuzz::Input* in_ = nullptr;
    bool throughDispatch_ = false;
    int nesting_ = 0;
    bool inTerminal_ = false;
    bool terminalCancelled_ = false;
    bool recordChanged_ = false;
    std::uint8_t shadow_[DeviceConfig::kSize] = {}; // the record as last checked
};

void NestingUi::showMessage(const std::string& text, MessageIcon) {
    check(!text.empty());
    harness->messageBox();
}

bool NestingUi::runLoginTerminal() {
    return harness->loginTerminal();
}

void Harness::reset(std::uint8_t setup) {
    // The terminal buffer is kept from input to input: only its write position
    // matters to the link.
    auto text = std::move(selfTest_.terminalText);
    selfTest_ = SelfTestState{};
    selfTest_.terminalText = std::move(text);
    if (!selfTest_.terminalText)
        selfTest_.obtainTerminalText();
    selfTest_.terminalText[0] = 0;
    static constexpr std::uint8_t kKinds[4] = {kLoginUndecided, kLoginTerminal, kLoginPpp, 0};
    selfTest_.loginKind = kKinds[setup & 3];
    if (setup & 4) {
        selfTest_.terminalEnd = kTerminalTextSize - 64;
        selfTest_.terminalText[selfTest_.terminalEnd] = 0;
    }
    selfTest_.running = (setup & 32) == 0;

    if (setup & 64) {
        for (std::size_t i = 0; i < DeviceConfig::kSize; ++i)
            config_.bytes[i] = std::uint8_t(i * 7 + 3);
    } else {
        config_.bytes.fill(0);
    }
    std::memcpy(shadow_, config_.data(), DeviceConfig::kSize);
    recordChanged_ = false;

    tester_.reset();
    link_.emplace(port_, config_, ui_);
    tester_.emplace(*link_, selfTest_, config_, ui_);
    port_.link = &*link_;
    if (setup & 8) {
        static const auto filling = fillingReplies();
        link_->sendRequest(kDiscover);
        link_->sendRequest(kStatusPoll);
        for (const auto& reply : filling)
            link_->handleDatagram(reply.data(), reply.size());
    }
    link_->awaitReply(0);
    link_->setTargetAddress((setup & 128) ? stranger() : kBroadcastAddress);

    port_.localAddress = 0;
    port_.pending = nullptr;
    port_.sent = 0;
    throughDispatch_ = (setup & 16) != 0;
    nesting_ = 0;
    inTerminal_ = false;
    terminalCancelled_ = false;
}

void Harness::run(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    in_ = &in;
    reset(in.byte());
    while (!in.empty())
        step(in);
    checkFinal();
    in_ = nullptr;
}

void Harness::step(fuzz::Input& in) {
    const std::uint8_t op = in.byte();
    switch (op % 8) {
    case 0:
    case 1:
    case 2:
    case 3:
        datagram(in, op % 4);
        break;
    case 4: {
        const std::uint8_t selector = in.byte();
        const std::uint8_t raw = in.byte();
        link_->chooseDevice(in.byte() % 64 - 7); // also out of range
        selfTest_.scriptSlot = fuzz::scriptSlot(in.byte());
        request(fuzz::requestType(selector, raw));
        break;
    }
    case 5: {
        const std::uint8_t action = in.byte();
        dialogAction(action, in.byte());
        break;
    }
    case 6:
        typing(in);
        break;
    case 7:
        terminalCancelled_ = inTerminal_;
        break;
    }
    checkState();
}

void Harness::datagram(fuzz::Input& in, std::uint8_t sender) {
    const std::size_t wanted = in.le16() % (kDatagramSize + 64);
    const auto [d, length] = in.take(wanted);
    const std::uint32_t source =
        sender == 1 ? link_->targetAddress() : (sender == 2 ? stranger() : 0);
    const int devicesBefore = link_->devices().deviceCount();
    const bool block = length >= kHeaderSize + DeviceConfig::kSize && d[6] == (kReplyBit | 2);

    if (throughDispatch_) {
        port_.pending = d;
        port_.pendingLength = length;
        port_.pendingSource = source;
        link_->dispatchReply();
        check(port_.pending == nullptr);
    } else {
        link_->handleDatagram(d, length, source);
    }

    if (block && std::memcmp(config_.data(), d + 8, DeviceConfig::kSize) == 0) {
        // A whole configuration reply may replace every byte.
        std::memcpy(shadow_, config_.data(), DeviceConfig::kSize);
        recordChanged_ = true;
    }
    checkTouchedRows(d, length, devicesBefore);
}

void Harness::request(int type) {
    const int sentBefore = port_.sent;
    // 4 and 5 are the self-test's: it builds them from its state.
    if (type == kLogin) {
        link_->sendLogin(selfTest_.loginKind);
    } else if (type == kTerminalResponse) {
        const LoginResponse r = loginResponse(selfTest_, config_);
        link_->sendTerminalResponse(r.length, r.text);
    } else {
        link_->sendRequest(type);
    }
    check(link_->awaitedReply() == std::uint8_t(type));
    check(port_.sent == sentBefore + (fuzz::catalogueEntry(type) ? 1 : 0));
    if (type == kSetIpAddress)
        check(link_->targetAddress() == kBroadcastAddress);
}

// The Login Terminal's input line: the echo of what is typed and, on Enter, the
// line recorded into the login script and sent. Outside the terminal there is
// no input line.
void Harness::typing(fuzz::Input& in) {
    const std::uint8_t how = in.byte();
    const auto [bytes, length] = in.take((how & 0x3F) % (kTypedLineSize + 1));
    if (!inTerminal_)
        return;
    const std::string_view line(reinterpret_cast<const char*>(bytes), length);
    echoTypedLine(selfTest_, line);
    if (how & 0x80) {
        const int sentBefore = port_.sent;
        tester_->enterLine(line);
        check(port_.sent == sentBefore + 1 && link_->awaitedReply() == kTerminalResponse);
        checkRecord(true);
        recordChanged_ = true;
    }
}

void Harness::dialogAction(std::uint8_t action, std::uint8_t argument) {
    switch (action % 9) {
    case 0: // the Status Monitor, before each poll
        link_->markMonitorUnknown(link_->devices().deviceCount());
        break;
    case 1: // the Device List, before discovery
        link_->clearDevices();
        break;
    case 2: // the Status Monitor opens
        link_->clearMonitor();
        break;
    case 3: { // the Device List: an appliance is chosen
        const int row = argument % kTableRows;
        link_->chooseDevice(row);
        link_->setTargetAddress(link_->devices().entry(row).address);
        break;
    }
    case 4: // a self-test starts
        selfTest_.running = true;
        selfTest_.loginKind = kLoginUndecided;
        selfTest_.dialStarted = true;
        if (!selfTest_.terminalText)
            selfTest_.obtainTerminalText();
        break;
    case 5: // the self-test ends
        selfTest_.running = false;
        selfTest_.releaseTerminalText();
        break;
    case 6:
        link_->setTargetAddress(argument & 1 ? stranger() : kBroadcastAddress);
        break;
    case 7:
        selfTest_.loginKind = argument;
        break;
    case 8: // the Login Terminal's timer refreshes its display
        if (inTerminal_ && selfTest_.terminalDirty) {
            selfTest_.terminalDirty = false;
            const std::string shown = terminalDisplayText(selfTest_);
            check(shown.size() < kTerminalTextSize + kTypedLineSize);
        }
        break;
    }
}

void Harness::messageBox() {
    if (in_ == nullptr || nesting_ >= kMaxNesting || in_->empty() || in_->peek() % 8 >= 4)
        return;
    ++nesting_;
    step(*in_);
    --nesting_;
}

bool Harness::loginTerminal() {
    check(selfTest_.loginKind == kLoginTerminal);
    if (in_ == nullptr || nesting_ >= kMaxNesting || inTerminal_)
        return false;
    ++nesting_;
    inTerminal_ = true;
    terminalCancelled_ = false;
    bool ok = false;
    // Its timer ends it with OK once PPP is seen; Cancel ends it otherwise.
    while (!in_->empty() && !terminalCancelled_) {
        if (selfTest_.pppSeen) {
            ok = true;
            break;
        }
        step(*in_);
    }
    inTerminal_ = false;
    terminalCancelled_ = false;
    --nesting_;
    return ok;
}

void Harness::checkState() {
    check(link_->devices().deviceCount() >= 0 && link_->devices().deviceCount() <= kTableRows);
    check(link_->monitor().monitorCount() >= 0 && link_->monitor().monitorCount() <= kTableRows);
    check(link_->proxyFirmwareVersion().size() <= 16);
    // The received text ends at terminalEnd; the echo of the typed line may
    // follow it, with its own NUL.
    check(selfTest_.terminalEnd < kTerminalTextSize);
    if (selfTest_.terminalText) {
        const std::size_t tail =
            std::min(kTypedLineSize + 1, kTerminalTextSize - selfTest_.terminalEnd);
        check(std::memchr(selfTest_.terminalText.get() + selfTest_.terminalEnd, 0, tail));
    }
    checkRecord();
}

// The link interprets only the login mode and the login area of the record
// (the terminal login clears the area and sets the mode; a line entered in the
// Login Terminal is recorded in the area); every other byte changes only with a
// whole configuration reply.
void Harness::checkRecord(bool scriptMayChange) {
    const std::uint8_t* now = config_.data();
    if (std::memcmp(now, shadow_, DeviceConfig::kSize) == 0)
        return;
    constexpr std::size_t kMode = DeviceConfig::kLoginMode;
    constexpr std::size_t kAreaEnd = DeviceConfig::kLoginArea + DeviceConfig::kLoginAreaSize;
    check(std::memcmp(now, shadow_, kMode) == 0);
    check(std::memcmp(now + kAreaEnd, shadow_ + kAreaEnd, DeviceConfig::kSize - kAreaEnd) == 0);
    check(now[kMode] == shadow_[kMode] || now[kMode] == 1 || now[kMode] == 2);
    if (!scriptMayChange &&
        std::memcmp(now + DeviceConfig::kLoginArea, shadow_ + DeviceConfig::kLoginArea,
                    DeviceConfig::kLoginAreaSize) != 0)
        check(allZero(now + DeviceConfig::kLoginArea, DeviceConfig::kLoginAreaSize) &&
              now[kMode] == 1);
    std::memcpy(shadow_, now, DeviceConfig::kSize);
}

// A discovery reply adds at most one well-formed row; a status reply that
// was taken leaves a well-formed row under the appliance's name.
void Harness::checkTouchedRows(const std::uint8_t* d, std::size_t length, int devicesBefore) {
    if (length < kHeaderSize)
        return;
    const int devices = link_->devices().deviceCount();
    if (d[6] == (kReplyBit | kDiscover)) {
        check(devices == devicesBefore || devices == devicesBefore + 1);
        if (devices == devicesBefore + 1)
            checkDeviceRow(rowBytes(link_->devices().entry(devices - 1).rowText()).data());
    } else if (d[6] == (kReplyBit | kStatusPoll)) {
        std::uint8_t raw[12] = {};
        if (length > 8)
            std::memcpy(raw, d + 8, std::min<std::size_t>(length - 8, sizeof raw));
        char name[12];
        rowName(raw, name);
        const int count = link_->monitor().monitorCount();
        int found = -1;
        for (int i = 0; i < count && found < 0; ++i)
            if (std::memcmp(link_->monitor().entry(i).name.data(), name, sizeof name) == 0)
                found = i;
        if (found >= 0)
            checkMonitorRow(rowBytes(link_->monitor().entry(found).rowText()).data());
    }
}

void Harness::checkFinal() {
    for (int i = 0; i < link_->devices().deviceCount(); ++i)
        checkDeviceRow(rowBytes(link_->devices().entry(i).rowText()).data());
    for (int i = 0; i < link_->monitor().monitorCount(); ++i)
        checkMonitorRow(rowBytes(link_->monitor().entry(i).rowText()).data());
    if (!recordChanged_)
        return;
    // Text fields read back within their widths whatever the appliance sent.
    check(config_.deviceName().size() <= DeviceConfig::kDeviceNameSize);
    check(config_.devicePassword().size() <= DeviceConfig::kDevicePasswordSize);
    check(config_.phoneNumber().size() <= DeviceConfig::kPhoneNumberSize);
    check(config_.pppUserName().size() <= DeviceConfig::kPppUserNameSize);
    check(config_.pppPassword().size() <= DeviceConfig::kPppPasswordMaxText);
    for (int i = 0; i < int(DeviceConfig::kScriptPairs); ++i) {
        check(config_.scriptPrompt(i).size() <= DeviceConfig::kScriptPromptSize);
        check(config_.scriptResponse(i).size() <= DeviceConfig::kScriptResponsesSize);
    }
    check(config_.alternativeNumber(1).size() <= DeviceConfig::kAlternativeNumberSize);
    check(config_.alternativeNumber(2).size() <= DeviceConfig::kAlternativeNumberSize);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Harness harness;
    harness.run(data, size);
    return 0;
}
