#pragma once
// Appliances already logged into during one run of the Device List, by name.

#include <cstdint>
#include <string>
#include <string_view>

namespace varn {

class PasswordCache {
  public:
    static constexpr int kRows = 50;
    static constexpr std::size_t kNameWidth = 12;

    void clear() { rows_[0][0] = 0; }

    // True when a row with this name (at most 12 characters, compared as bytes)
    // has been granted access.
    bool granted(std::string_view name) const;

    // Adds a granted row at the end of the table. A login beyond the last row is
    // not remembered (the user is asked again next time). False when not added.
    bool add(std::string_view name);

    // Rows in use (up to the first empty row).
    int size() const;

  private:
    static constexpr std::size_t kFlag = kNameWidth;
    // Each row: the name, NUL-terminated when shorter than 12, then the flag.
    std::uint8_t rows_[kRows][kNameWidth + 1] = {};
};

} // namespace varn
