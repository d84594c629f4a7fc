#pragma once
// The device link: the state that the requests are built from and the replies
// are dispatched into (the awaited reply, the target, the chosen appliance, the
// device and monitor tables, the firmware version), the requests of the
// catalogue, and the replies that act on that state. The self-test's replies go
// to the SelfTest attached here.

#include "link/device_table.h"
#include "link/dispatcher.h"
#include "link/monitor_table.h"
#include "protocol/wire.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace varn {

class DatagramPort;
class DeviceConfig;
class UserInterface;

// What the self-test takes from the link's replies besides its own: the
// hang-up's acknowledgement.
class SelfTestReplies : public ReplyHandlers {
  public:
    virtual void onHungUp() = 0;
};

class Link : private ReplyHandlers {
  public:
    Link(DatagramPort& port, DeviceConfig& config, UserInterface& ui);
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // The replies of 3, 4, 5 and the hang-up go here (one at a time).
    void attachSelfTest(SelfTestReplies* selfTest) { selfTest_ = selfTest; }

    // --- Requests ---

    // Sends request `type`, its payload from the link's state and the block:
    // 1, 2 (the chosen appliance's name), 3, 7, 8, 9, 11, 12, 13 (the chosen
    // appliance and the block's new address, by broadcast, which also makes
    // broadcast the target of every later unicast until an appliance is chosen
    // again), 14, 15, 33 and 36. The awaited reply becomes `type` in every case,
    // also for a type outside the catalogue, which sends nothing.
    void sendRequest(int type);
    // 4: the login, for the login kind given.
    void sendLogin(std::uint8_t loginKind);
    // 5: one login response, its length field as given.
    void sendTerminalResponse(std::uint16_t length, std::string_view text);

    // --- Replies ---

    // Reads one datagram and dispatches it.
    void dispatchReply();
    // Dispatches a datagram already read (from source; 0 when the sender is
    // unknown).
    void handleDatagram(const std::uint8_t* datagram, std::size_t length, std::uint32_t source = 0);

    // --- The state the dialogs poll ---

    std::uint8_t awaitedReply() const { return dispatcher_.awaited(); }
    // The self-test awaits terminal data once the dial succeeded.
    void awaitReply(std::uint8_t type) { dispatcher_.await(type); }
    // A reply answers an outstanding request from where it went (see
    // Dispatcher): the request answered, 0 when none.
    std::uint8_t answer(std::uint8_t replyType, std::uint32_t source) {
        return dispatcher_.answer(replyType, source);
    }
    bool outstanding(std::uint8_t requestType) const {
        return dispatcher_.outstanding(requestType);
    }
    // Data that only the appliance asked may send (the ISP's text) comes from
    // source: the target, or anyone when the target is the broadcast address.
    bool fromTarget(std::uint32_t source) const;

    std::uint32_t targetAddress() const { return targetAddress_; }
    void setTargetAddress(std::uint32_t address) { targetAddress_ = address; }
    // The appliance the requests that name one are about.
    const DeviceEntry& chosenDevice() const { return chosen_; }
    // Entry `row` of the device table becomes the chosen appliance (and its
    // row the selected one); the target does not change.
    void chooseDevice(int row);
    // An appliance not in the table (named on varnctl's command line).
    void chooseDevice(const DeviceEntry& device);
    int selectedIndex() const { return selectedIndex_; }

    const DeviceTable& devices() const { return devices_; }
    // A new sweep: the table is emptied.
    void clearDevices() { devices_.clear(); }
    // A discovery reply added an appliance since the last discovery request.
    bool newDeviceSeen() const { return newDeviceSeen_; }

    const MonitorTable& monitor() const { return monitor_; }
    void clearMonitor() { monitor_.clear(); }
    // Entries 0..deviceCount-1 read "Unknown" until their appliance answers.
    void markMonitorUnknown(int deviceCount) { monitor_.markUnknown(deviceCount); }

    // The firmware version of the last versions reply (at most 16 characters).
    const std::string& proxyFirmwareVersion() const { return firmwareVersion_; }
    // A configuration block from the target replaced the block since the last
    // read request went out.
    bool configReceived() const { return configReceived_; }
    // The PC's own LAN address, as the endpoint learned it.
    std::uint32_t localAddress() const;

  private:
    template <typename Encode> void send(std::uint8_t type, std::uint32_t to, Encode&& encode);

    void onDiscovery(const DiscoveryReply& reply, std::uint32_t source) override;
    void onConfigBlock(const std::uint8_t* block, std::uint32_t source) override;
    void onAcknowledgement(std::uint8_t type, std::uint32_t source) override;
    void onResetAck(std::uint32_t source) override;
    void onHangUpAck(std::uint32_t source) override;
    void onFirmwareVersion(std::string_view version, std::uint32_t source) override;
    void onStatusRow(const StatusReply& reply, std::uint32_t source) override;

    DatagramPort& port_;
    DeviceConfig& config_;
    UserInterface& ui_;
    SelfTestReplies* selfTest_ = nullptr;
    Dispatcher dispatcher_;

    std::uint32_t targetAddress_ = kBroadcastAddress; // network order
    DeviceEntry chosen_;
    int selectedIndex_ = 0;
    DeviceTable devices_;
    bool newDeviceSeen_ = false;
    MonitorTable monitor_;
    std::string firmwareVersion_;
    bool configReceived_ = false;
};

} // namespace varn
