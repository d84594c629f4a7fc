#pragma once
// The device link: the shared state that requests are built from and replies are
// dispatched into, the one request builder and the reply dispatch.

#include "link/device_state.h"
#include "link/device_table.h"
#include "link/wire.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace varn {

class DatagramPort;
class DeviceConfig;
class UserInterface;

inline constexpr std::size_t kTerminalTextSize = 20480;

class Link {
  public:
    // ui == nullptr uses the process's installed user interface.
    Link(DatagramPort& port, DeviceConfig& config, UserInterface* ui = nullptr);
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // Builds request `type` from the shared state below and sends it. 0 when
    // handled (also for a type outside the catalogue, which sends nothing),
    // 255 when no work buffer could be had.
    int sendRequest(int type);

    // Reads one datagram and runs the handler of its type. Always 1.
    int dispatchReply();

    // Runs the handler for a datagram already read (length bytes). Used by
    // dispatchReply and by the fuzz target.
    void handleDatagram(const std::uint8_t* datagram, std::size_t length);

    // --- Shared state, polled by the dialogs on their own timers ---
    std::uint8_t awaitedReply = 0;
    std::uint32_t targetAddress = kBroadcastAddress; // network order
    std::int32_t newDeviceSeen = 0;
    DeviceTable devices;
    MonitorTable monitor;
    char proxyFirmwareVersion[17] = {};

    // Self-test and Login Terminal state.
    std::uint8_t loginKind = kLoginUndecided;
    std::int32_t pppSeen = 0;
    std::int32_t scriptSlot = -1;
    char terminalText[kTerminalTextSize] = {};
    std::size_t terminalEnd = 0; // write position in terminalText
    std::int32_t terminalDirty = 0;
    std::int32_t hangupAfterSuccess = 0;
    bool terminalOverflowReported = false;

    // Stores terminal data (reply 5 payload) at terminalEnd. 1 when stored as
    // text, 2 when PPP framing is seen now or was seen before.
    int appendTerminalData(const std::uint8_t* data, std::size_t length);

    DatagramPort& port() { return port_; }
    DeviceConfig& config() { return config_; }
    UserInterface& ui();

  private:
    // Runs the handler of a datagram in a zeroed 1536-byte buffer.
    using Handler = void (Link::*)(const std::uint8_t*, std::size_t);
    using HandlerTable = std::array<Handler, kHighestReplyType + 1>;
    static const HandlerTable& handlerSlots();

    void handleReply(const std::uint8_t* buffer, std::size_t length);
    void onDiscovery(const std::uint8_t* buffer, std::size_t length);
    void onConfigBlock(const std::uint8_t* buffer, std::size_t length);
    void onDialResult(const std::uint8_t* buffer, std::size_t length);
    void onLoginResult(const std::uint8_t* buffer, std::size_t length);
    void onTerminalData(const std::uint8_t* buffer, std::size_t length);
    void onAcknowledgement(const std::uint8_t* buffer, std::size_t length);
    void onResetAck(const std::uint8_t* buffer, std::size_t length);
    void onHangUpAck(const std::uint8_t* buffer, std::size_t length);
    void onFirmwareVersions(const std::uint8_t* buffer, std::size_t length);
    void onStatusRow(const std::uint8_t* buffer, std::size_t length);

    DatagramPort& port_;
    DeviceConfig& config_;
    UserInterface* ui_;
};

// The process's link, over theEndpoint() and deviceConfig().
Link& theLink();

} // namespace varn
