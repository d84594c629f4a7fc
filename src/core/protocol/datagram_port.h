#pragma once
// What the request builder and the reply dispatch need of the UDP endpoint.
// UdpEndpoint is the real one; tests use an in-memory port.

#include <cstddef>
#include <cstdint>

namespace varn {

// What a read learned besides the bytes.
struct DatagramInfo {
    std::size_t length = 0;   // bytes received
    std::uint32_t source = 0; // sender's address, network order; 0 when unknown
};

class DatagramPort {
  public:
    virtual ~DatagramPort() = default;

    // Sends length bytes to address (network order, all ones = broadcast) on the
    // appliances' port. 0 on success, -1 on failure.
    virtual int sendDatagram(const std::uint8_t* buffer, std::size_t length,
                             std::uint32_t address) = 0;

    // Places the next datagram that begins with the magic in buffer. 0 when one
    // was read (with what else is known of it in *info when given), -1 when
    // nothing (more) is queued or the socket reports an error. Never blocks.
    virtual int receiveDatagram(std::uint8_t* buffer, std::size_t size,
                                DatagramInfo* info = nullptr) = 0;

    // True when DatagramInfo::source is always the real sender. A port that
    // cannot tell (the tests' in-memory ones) gets its replies trusted.
    virtual bool knowsSources() const { return false; }

    // The PC's own LAN address, network order; 0 until learned.
    std::uint32_t localAddress = 0;
};

} // namespace varn
