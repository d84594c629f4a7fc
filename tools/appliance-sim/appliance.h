#pragma once
// One simulated appliance: its stored configuration block, its connection
// state and the ISP behind it. Turns a checked request into the replies it
// sends; no sockets here, so the behaviour is tested over plain bytes.

#include "codec.h"
#include "scenario.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// Where things lie in the 512-byte block, as the appliance stores it.
namespace block {
inline constexpr std::size_t kName = 2, kNameSize = 12;
inline constexpr std::size_t kPassword = 14, kPasswordSize = 4;
inline constexpr std::size_t kLanAddress = 18;
inline constexpr std::size_t kIdleMinutes = 23;
inline constexpr std::size_t kDialOptions = 24;
inline constexpr std::size_t kPhone = 74, kPhoneSize = 16;
inline constexpr std::size_t kLoginMode = 131;
inline constexpr std::size_t kPppUser = 132, kPppUserSize = 32;
inline constexpr std::size_t kPppPassword = 164, kPppPasswordSize = 53;
inline constexpr std::size_t kPrompts = 132;
inline constexpr std::size_t kOffsets = 164;
inline constexpr std::size_t kResponses = 169;
inline constexpr std::size_t kUseAlternatives = 362;
inline constexpr std::size_t kAlternativeTries = 363;
inline constexpr std::size_t kAlternative1 = 364, kAlternative2 = 380, kAlternativeSize = 16;

// The stretches whose meaning is the appliance's own: [begin, end).
struct Stretch {
    std::size_t begin, end;
};
inline constexpr Stretch kPrivate[] = {{0, 2},    {22, 23},   {25, 74},
                                       {90, 131}, {217, 362}, {396, 512}};
} // namespace block

using Block = std::array<std::uint8_t, kBlockSize>;

// The block an appliance of this description keeps, with realistic non-zero
// bytes in every stretch that only the appliance interprets.
Block buildBlock(const ApplianceProfile& profile, std::uint32_t address);

// The start of an HDLC-framed PPP LCP frame, as an ISP sends once it goes PPP.
Bytes pppFraming();

// A datagram the appliance sends: after `delayMs`, to the requester.
struct Outgoing {
    Bytes bytes;
    int delayMs = 0;
};

class Appliance {
  public:
    Appliance(const ApplianceProfile& profile, std::uint32_t address);

    std::uint32_t address() const { return address_; }
    std::string name() const; // from the stored block
    std::uint8_t state() const { return state_; }
    std::uint8_t result() const { return result_; }
    const Block& storedBlock() const { return block_; }

    // True when this appliance answers the request. A unicast is answered only
    // by its owner; a broadcast by everyone, except that the requests that name
    // an appliance (2, 13) are answered only by the appliance named.
    bool accepts(const Request& request, bool broadcast) const;

    // The replies to an accepted request, in order; `requester` is the
    // sender's address (host order). May change the appliance's state,
    // block and address.
    std::vector<Outgoing> handle(const Request& request, std::uint32_t requester);

    // Delay before the ISP's first text or framing after a successful dial.
    int ispDelayMs = 150;
    // What the PPP account (15) is acknowledged with: 0x8F, or 0x87 as a write
    // is, which is what some appliances send.
    std::uint8_t accountReply = 0x8F;
    // Acknowledgements of the bare 7 bytes (magic and type, no zero after it),
    // as some appliances send them.
    bool headerOnlyAcks = false;

  private:
    Bytes terminalData(const std::string& text) const;
    Bytes terminalData(const Bytes& data) const;

    ApplianceProfile profile_;
    std::uint32_t address_;
    Block block_;
    std::uint8_t state_;
    std::uint8_t result_;
    std::uint32_t wanAddress_;
    std::uint16_t lineSpeed_;
    std::string accountUser_, accountPassword_; // from request 15
    std::size_t promptIndex_ = 0;               // terminal ISP: next prompt to satisfy
    bool dialled_ = false;
};

} // namespace sim
