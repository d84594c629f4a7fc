#pragma once
// The appliances found by the last discovery, and the chosen one. Each entry
// keeps what the discovery reply said; the Device List's line is rendered from
// it where it is shown.

#include "link/codec.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace varn {

inline constexpr int kTableRows = 50;
inline constexpr std::size_t kRowWidth = 128;

struct DeviceEntry {
    ShownName name{};
    std::uint32_t address = 0; // network order
    std::uint8_t state = 0;    // as the reply gave it
    std::uint32_t source = 0;  // where the reply came from (0: not known)

    // The Device List's line: the name, a blank, a tab, the dotted address, a
    // tab at column 29 and the state's name, blank-padded to 128 characters.
    std::string rowText() const;
    // The name without its padding.
    std::string nameText() const;
};

class DeviceTable {
  public:
    // Column of the state's name in a line.
    static constexpr std::size_t kStateColumn = 30;

    int deviceCount() const { return deviceCount_; }
    bool inUse(int i) const { return i >= 0 && i < deviceCount_; }
    // Entry i; a blank entry when i is outside the table.
    const DeviceEntry& entry(int i) const;

    // The entry in use with this name and address; -1 when none.
    int find(const ShownName& name, std::uint32_t address) const;
    // An entry in use whose reply came from source; -1 when none.
    int fromSource(std::uint32_t source) const;
    // Appends an entry; false when all 50 are in use.
    bool add(const DeviceEntry& entry);
    // deviceCount := 0; the old entries stay in memory, unused.
    void clear() { deviceCount_ = 0; }

  private:
    std::array<DeviceEntry, kTableRows> entries_{};
    int deviceCount_ = 0;
};

} // namespace varn
