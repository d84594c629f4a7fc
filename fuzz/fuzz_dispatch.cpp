// Feeds arbitrary datagrams to the reply dispatch, in sequences, and checks
// that the shared state stays within its bounds.
//
// Input: one set-up byte, then records of [16-bit length (LE), datagram, request
// type]. Set-up bits: 0-1 login kind (undecided, terminal, PPP, 0), 2 terminal
// buffer almost full, 3 device and monitor tables almost full, 4 read through
// dispatchReply instead of handleDatagram, 5 the Login Terminal ends with OK.

#include "config/device_config.h"
#include "link/datagram_port.h"
#include "link/link.h"
#include "link/practice_state.h"
#include "link/user_interface.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

using namespace varn;

// Holds at most one datagram to receive; checks every datagram sent.
class OneShotPort : public DatagramPort {
  public:
    const std::uint8_t* pending = nullptr;
    std::size_t pendingLength = 0;
    unsigned checksum = 0;

    int sendDatagram(const std::uint8_t* buffer, std::size_t length, std::uint32_t) override {
        if (length < kHeaderSize || length > kDatagramSize ||
            std::memcmp(buffer, kMagic, kMagicSize) != 0)
            std::abort();
        for (std::size_t i = 0; i < length; ++i) // every byte must be readable
            checksum += buffer[i];
        return 0;
    }
    int receiveDatagram(std::uint8_t* buffer, std::size_t size, DatagramInfo* info) override {
        if (pending == nullptr)
            return -1;
        const std::size_t n = std::min(size, pendingLength);
        std::memcpy(buffer, pending, n);
        if (info)
            info->length = n;
        pending = nullptr;
        return 0;
    }
};

class QuietUi : public SilentUserInterface {
  public:
    bool answer = false;
    std::size_t shown = 0;
    void showMessage(const std::string& text, MessageIcon) override { shown += text.size(); }
    void setPracticeStatus(const std::string& text) override { shown += text.size(); }
    bool runLoginTerminal() override { return answer; }
};

void check(bool ok) {
    if (!ok)
        std::abort();
}

void checkInvariants(const Link& link, const PracticeState& practice) {
    check(link.devices.deviceCount >= 0 && link.devices.deviceCount <= kTableRows);
    check(link.monitor.monitorCount >= 0 && link.monitor.monitorCount <= kTableRows);
    check(practice.terminalEnd < kTerminalTextSize);
    check(link.proxyFirmwareVersion[sizeof link.proxyFirmwareVersion - 1] == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    static OneShotPort port;
    static QuietUi ui;
    static DeviceConfig config;
    config = DeviceConfig{};
    port.localAddress = 0;
    static PracticeState practice;
    practice = PracticeState{};
    practice.running = true;
    practice.obtainTerminalText();
    auto* link = new Link(port, config, practice, ui);

    const std::uint8_t setup = data[0];
    static constexpr std::uint8_t kKinds[4] = {kLoginUndecided, kLoginTerminal, kLoginPpp, 0};
    practice.loginKind = kKinds[setup & 3];
    if (setup & 4)
        practice.terminalEnd = kTerminalTextSize - 64;
    if (setup & 8) {
        for (int i = 0; i < kTableRows - 1; ++i) {
            std::memset(link->devices.rows[i], 'A' + i % 26, kRowWidth);
            std::memset(link->monitor.rows[i], 'a' + i % 26, kRowWidth);
        }
        link->devices.deviceCount = kTableRows - 1;
        link->monitor.monitorCount = kTableRows - 1;
    }
    const bool throughDispatch = (setup & 16) != 0;
    ui.answer = (setup & 32) != 0;

    std::size_t at = 1;
    while (at + 2 <= size) {
        std::size_t length = std::size_t(data[at] | data[at + 1] << 8) % (kDatagramSize + 64);
        at += 2;
        length = std::min(length, size - at);
        const std::uint8_t* datagram = data + at;
        at += length;
        if (throughDispatch) {
            port.pending = datagram;
            port.pendingLength = length;
            link->dispatchReply();
        } else {
            link->handleDatagram(datagram, length);
        }
        checkInvariants(*link, practice);

        if (at < size) {
            const std::uint8_t request = data[at++];
            link->devices.selectedIndex = request % 64 - 7; // also out of range
            practice.scriptSlot = request % 7 - 2;
            link->sendRequest(request);
            markMonitorUnknown(link->monitor, link->devices.deviceCount);
            checkInvariants(*link, practice);
        }
    }
    for (int i = -1; i <= kTableRows; ++i)
        port.checksum +=
            unsigned(link->devices.rowText(i).size() + link->monitor.rowText(i).size() +
                     link->devices.addressText(i).size());
    delete link;
    return 0;
}
