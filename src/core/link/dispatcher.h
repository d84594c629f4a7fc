#pragma once
// The reply side of the protocol in one place: the table of what each reply
// type is and who acts on it, which requests are outstanding and where they
// went, and the rule of which reply answers which request.

#include "link/codec.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace varn {

// What acts on replies. Each reply is decoded and handed to one of these;
// source is the sender's address (network order).
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

    // trustUnknownSources: a reply whose sender is not known (0) may answer
    // anything; only ports that cannot tell the sender (the tests' in-memory
    // ones) ask for it.
    explicit Dispatcher(bool trustUnknownSources) : trustUnknown_(trustUnknownSources) {}

    // A request went out to `destination` (all ones: broadcast). It is
    // outstanding until answered, and the awaited-reply marker names it.
    void sent(std::uint8_t type, std::uint32_t destination);
    // The awaited-reply marker: the type of the last request built, 0 once
    // that request was answered. Dialogs poll it.
    std::uint8_t awaited() const { return awaited_; }
    // The marker alone, for a wait that no request of ours starts (the
    // terminal data after a dial).
    void await(std::uint8_t type) { awaited_ = type; }

    bool outstanding(std::uint8_t requestType) const;
    // True when a reply from source may answer requestType: it is outstanding
    // and went to source (to anyone when it went by broadcast).
    bool from(std::uint8_t requestType, std::uint32_t source) const;
    // The request a reply of replyType from source answers, 0 when none.
    std::uint8_t answers(std::uint8_t replyType, std::uint32_t source) const;
    // The request is answered: it is no longer outstanding (discovery and the
    // status poll stay: every appliance answers them), and the marker is
    // cleared when it names it.
    void take(std::uint8_t requestType);
    // answers() and take() in one: the request answered, 0 when none.
    std::uint8_t answer(std::uint8_t replyType, std::uint32_t source);

    // Hands one datagram to its handler: nothing for a datagram shorter than
    // the magic and the type, a request (bit 7 clear: our own broadcast coming
    // back), a type above 36 or one without a slot.
    void dispatch(const ReplyBytes& reply, std::uint32_t source, ReplyHandlers& link,
                  ReplyHandlers* selfTest) const;

  private:
    struct Outstanding {
        bool pending = false;
        std::uint32_t destination = 0;
    };
    std::array<Outstanding, kHighestReplyType + 1> outstanding_{};
    std::uint8_t awaited_ = 0;
    bool trustUnknown_;
};

} // namespace varn
