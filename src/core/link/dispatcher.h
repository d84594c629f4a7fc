#pragma once
// The reply side of the protocol in one place: the table of what each reply
// type is, who acts on it, and the rule of which reply answers the request
// awaited.

#include "link/codec.h"

#include <cstdint>
#include <string_view>

namespace varn {

// What acts on replies. Each reply is decoded and handed to one of these;
// source is the sender's address (network order, 0 when unknown).
class ReplyHandlers {
  public:
    virtual ~ReplyHandlers() = default;
    virtual void onDiscovery(const DiscoveryReply&, std::uint32_t) {}
    // block is the 512 bytes, or nullptr when the datagram did not hold them all.
    virtual void onConfigBlock(const std::uint8_t*, std::uint32_t) {}
    virtual void onDialResult(std::uint8_t, std::uint32_t) {}
    virtual void onLoginResult(std::uint8_t, std::uint32_t) {}
    virtual void onTerminalData(const TerminalData&, std::uint32_t) {}
    // The plain acknowledgements of 7, 11, 12, 13, 14 and 15.
    virtual void onAcknowledgement(std::uint8_t, std::uint32_t) {}
    virtual void onResetAck(std::uint32_t) {}
    virtual void onHangUpAck(std::uint32_t) {}
    virtual void onFirmwareVersion(std::string_view, std::uint32_t) {}
    virtual void onStatusRow(const StatusReply&, std::uint32_t) {}
};

class Dispatcher {
  public:
    // The reply slots: types 0..36 without bit 7.
    static constexpr int kHighestReplyType = 36;

    // Who acts on a reply: the link's own state, or the self-test.
    enum class Target { None, Link, SelfTest };
    static Target target(std::uint8_t replyType);

    // The awaited-reply marker: the type of the last request built, 0 once
    // it was answered. Dialogs poll it.
    std::uint8_t awaited() const { return awaited_; }
    void expect(std::uint8_t requestType) { awaited_ = requestType; }
    // True, and the marker cleared, when a reply of replyType answers the
    // awaited request: its type is the request's with bit 7 set. A late,
    // repeated or unasked reply answers nothing.
    bool take(std::uint8_t replyType);

    // Hands one datagram to its handler: nothing for a datagram without a
    // whole header, a request (bit 7 clear: our own broadcast coming back), a
    // type above 36 or one without a slot.
    void dispatch(const ReplyBytes& reply, std::uint32_t source, ReplyHandlers& link,
                  ReplyHandlers* selfTest) const;

  private:
    std::uint8_t awaited_ = 0;
};

} // namespace varn
