#pragma once
// What the Status Monitor shows: one entry per appliance that answered the
// status poll, found again by name. The monitor's line is rendered from the
// entry where it is shown.

#include "link/codec.h"
#include "link/device_table.h"

#include <array>
#include <cstdint>
#include <string>

namespace varn {

// An entry's texts under the Status Monitor's headings.
struct MonitorColumns {
    std::string name, state, wan, speed; // each without its padding
};

struct MonitorEntry {
    ShownName name{};
    std::uint8_t state = 0; // a state above 20 counts as 0, and so does a code
    std::uint8_t code = 0;
    std::uint32_t wanAddress = 0;
    std::uint16_t speed = 0;
    bool unknown = false; // not heard from since the last poll

    // "Unknown", the state's name, or the result text of states 6 and up.
    std::string stateText() const;
    // The line: name, blank, tab, the state text from column 14; when on line
    // the WAN address from column 31; in states 3 to 5 a tab at column 46 and
    // the speed. Blank-padded to 128 characters; an unknown entry's line ends
    // right after "Unknown".
    std::string rowText() const;
    MonitorColumns columns() const;
};

class MonitorTable {
  public:
    static constexpr std::size_t kStateColumn = 14, kWanColumn = 31, kSpeedTab = 46,
                                 kSpeedColumn = 47;

    int monitorCount() const { return monitorCount_; }
    // Entry i; a blank entry when i is outside the table.
    const MonitorEntry& entry(int i) const;

    // monitorCount := 0: the table starts empty at each opening of the monitor.
    void clear() { monitorCount_ = 0; }
    // Rewrites the entry of the reply's name, or adds one; a reply from a
    // fifty-first appliance is dropped.
    void update(const StatusReply& reply);
    // Entries 0..deviceCount-1 read "Unknown" until their appliance answers.
    void markUnknown(int deviceCount);

  private:
    std::array<MonitorEntry, kTableRows> entries_{};
    int monitorCount_ = 0;
};

} // namespace varn
