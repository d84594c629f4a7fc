#pragma once
// The program's single UDP socket for all traffic with appliances.

#include "protocol/datagram_port.h"
#include "protocol/handed_socket.h"
#include "protocol/wire.h"

#include <cstdint>

namespace varn {

class UserInterface;

// What the endpoint asks of the system for its receive buffer: room for a burst
// of about a thousand full-size datagrams.
inline constexpr int kReceiveBufferBytes = 1 << 20;

// Ports and addresses of the endpoint. The defaults are the production ones; the
// demo and the tests move both sides to loopback and to ports above 1024.
struct EndpointSettings {
    std::uint16_t localPort = kDevicePort;              // our own port
    std::uint16_t devicePort = kDevicePort;             // the appliances' port
    std::uint32_t broadcastAddress = kBroadcastAddress; // where "all ones" sends go
    std::uint32_t probeAddress = kBroadcastAddress;     // connected to, to learn localAddress
    // A socket bound for us by the port helper: used instead of binding one when
    // it is what we would bind (UDP on the wildcard address and localPort).
    HandedSocket handed;
};

// Receives the socket to watch for readable datagrams (the main frame does it
// with a QSocketNotifier and dispatches the replies waiting, a few per
// notification: ui/reply_pump.h).
class SocketWatcher {
  public:
    virtual ~SocketWatcher() = default;
    virtual bool watchSocket(int fd) = 0; // false when notification cannot be set up
    virtual void unwatchSocket() {}
};

class UdpEndpoint : public DatagramPort {
  public:
    UdpEndpoint(EndpointSettings settings, UserInterface& ui);
    ~UdpEndpoint() override;
    UdpEndpoint(const UdpEndpoint&) = delete;
    UdpEndpoint& operator=(const UdpEndpoint&) = delete;

    // 0 on success, -1 on failure with socketError set.
    int openEndpoint(SocketWatcher* window);
    // 0, or -1 when the socket layer refuses to stop.
    int closeEndpoint();

    int sendDatagram(const std::uint8_t* buffer, std::size_t length,
                     std::uint32_t address) override;
    int receiveDatagram(std::uint8_t* buffer, std::size_t size,
                        DatagramInfo* info = nullptr) override;
    bool knowsSources() const override { return true; }

    EndpointSettings settings;
    std::int32_t socketError = 0; // errno of the failed opening step; never reset
    std::int32_t endpointReady = 0;

    int socketHandle() const { return fd_; }

  private:
    UserInterface& ui_;
    SocketWatcher* watcher_ = nullptr;
    int fd_ = -1;
    bool sendFailureShown_ = false; // until a send succeeds again
};

} // namespace varn
