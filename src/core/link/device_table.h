#pragma once
// The appliances found by the last discovery, one ready-made display line each.

#include <cstddef>
#include <cstdint>
#include <string>

namespace varn {

inline constexpr int kTableRows = 50;
inline constexpr std::size_t kRowWidth = 128;

using DisplayRow = char[kRowWidth];

// An appliance's 12-byte name as the lists show it: the text up to its first NUL,
// control characters as blanks (a tab or a line end would break the columns),
// padded with blanks to 12.
void shownName(const std::uint8_t* name12, char out[12]);

struct DeviceTable {
    // Columns of a row: name 0..11, space 12, tab 13, address 14..28, tab 29, state 30..
    static constexpr std::size_t kNameColumn = 0, kNameWidth = 12;
    static constexpr std::size_t kAddressColumn = 14;
    static constexpr std::size_t kStateColumn = 30;

    DisplayRow rows[kTableRows] = {};
    std::int32_t deviceCount = 0;
    std::int32_t selectedIndex = 0;

    // The row's text, exactly 128 characters (no terminator inside a row).
    std::string rowText(int i) const;
    // Columns 0..11 of the row (the space-padded name field).
    std::string nameField(int i) const;
    // The address text from column 14, ending at the first blank or tab.
    std::string addressText(int i) const;

    // The row in use whose name field is `name` (12 characters as shown) and
    // whose address text is that of `address`; -1 when none.
    int find(const char* name, std::uint32_t address) const;
    // Writes row i: name, tab, dotted address, tab, the state's name.
    void buildRow(int i, const char* name, std::uint32_t address, std::uint8_t state);

    // deviceCount := 0; the old rows stay in memory, unused.
    void clear() { deviceCount = 0; }
};

} // namespace varn
