#pragma once
// The device link: the shared state that requests are built from and replies are
// dispatched into, the one request builder and the reply dispatch.

#include "link/device_state.h"
#include "link/device_table.h"
#include "protocol/wire.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace varn {

class DatagramPort;
class DeviceConfig;
class UserInterface;
struct SelfTestState;

class Link {
  public:
    Link(DatagramPort& port, DeviceConfig& config, SelfTestState& selfTest, UserInterface& ui);
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // Builds request `type` from the shared state below and sends it. 0 when
    // handled (also for a type outside the catalogue, which sends nothing),
    // 255 when no work buffer could be had.
    int sendRequest(int type);

    // Reads one datagram and runs the handler of its type. Always 1.
    int dispatchReply();

    // Runs the handler for a datagram already read (length bytes, from source;
    // 0 when the sender is unknown). Used by dispatchReply and by the fuzz target.
    void handleDatagram(const std::uint8_t* datagram, std::size_t length, std::uint32_t source = 0);

    // --- Shared state, polled by the dialogs on their own timers ---

    // Type of the last request built; a reply clears it only when it answers
    // that request (its type is the request's with bit 7 set). Dial and login
    // results act only while their request is the one awaited.
    std::uint8_t awaitedReply = 0;
    std::uint32_t targetAddress = kBroadcastAddress; // network order
    bool newDeviceSeen = false;
    DeviceTable devices;
    MonitorTable monitor;
    char proxyFirmwareVersion[17] = {};
    // A configuration block from targetAddress was applied since the last read
    // request went out.
    bool configReceived = false;
    // A reset was asked for and not yet acknowledged.
    bool resetPending = false;

    DatagramPort& port() { return port_; }
    DeviceConfig& config() { return config_; }
    SelfTestState& selfTest() { return selfTest_; }
    UserInterface& ui() { return ui_; }

  private:
    using Handler = void (Link::*)(const std::uint8_t*, std::size_t, std::uint32_t);
    using HandlerTable = std::array<Handler, kHighestReplyType + 1>;
    static const HandlerTable& handlerSlots();

    // Runs the handler of a datagram in a zeroed 1536-byte buffer.
    void handleReply(const std::uint8_t* buffer, std::size_t length, std::uint32_t source);
    // True (and the marker cleared) when a reply of `type` answers the request
    // that is awaited.
    bool takeAnswer(std::uint8_t type);

    void onDiscovery(const std::uint8_t* b, std::size_t length, std::uint32_t source);
    void onConfigBlock(const std::uint8_t* b, std::size_t length, std::uint32_t source);
    void onDialResult(const std::uint8_t* b, std::size_t length, std::uint32_t source);
    void onLoginResult(const std::uint8_t* b, std::size_t length, std::uint32_t source);
    void onTerminalData(const std::uint8_t* b, std::size_t length, std::uint32_t source);
    void onAcknowledgement(const std::uint8_t* b, std::size_t length, std::uint32_t source);
    void onResetAck(const std::uint8_t* b, std::size_t length, std::uint32_t source);
    void onHangUpAck(const std::uint8_t* b, std::size_t length, std::uint32_t source);
    void onFirmwareVersions(const std::uint8_t* b, std::size_t length, std::uint32_t source);
    void onStatusRow(const std::uint8_t* b, std::size_t length, std::uint32_t source);

    // Stores terminal data and tells the user once when the buffer is full.
    int appendTerminal(const std::uint8_t* data, std::size_t length);

    DatagramPort& port_;
    DeviceConfig& config_;
    SelfTestState& selfTest_;
    UserInterface& ui_;
};

} // namespace varn
