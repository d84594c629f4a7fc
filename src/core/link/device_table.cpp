#include "link/device_table.h"

#include "link/device_state.h"
#include "protocol/wire.h"

#include <algorithm>
#include <cstring>

namespace varn {

namespace {

bool validRow(int i) {
    return i >= 0 && i < kTableRows;
}

// Length of the address text that starts at column 14.
std::size_t addressLength(const char* row) {
    std::size_t n = 0;
    for (std::size_t c = DeviceTable::kAddressColumn; c < kRowWidth; ++c, ++n) {
        const char ch = row[c];
        if (ch == ' ' || ch == '\t' || ch == '\0')
            break;
    }
    return n;
}

} // namespace

void shownName(const std::uint8_t* name12, char out[12]) {
    std::memset(out, ' ', DeviceTable::kNameWidth);
    for (std::size_t c = 0; c < DeviceTable::kNameWidth && name12[c] != 0; ++c) {
        const std::uint8_t ch = name12[c];
        out[c] = (ch < 0x20 || ch == 0x7F) ? ' ' : char(ch);
    }
}

std::string DeviceTable::rowText(int i) const {
    if (!validRow(i))
        return {};
    return std::string(rows[i], kRowWidth);
}

std::string DeviceTable::nameField(int i) const {
    if (!validRow(i))
        return {};
    return std::string(rows[i] + kNameColumn, kNameWidth);
}

std::string DeviceTable::addressText(int i) const {
    if (!validRow(i))
        return {};
    return std::string(rows[i] + kAddressColumn, addressLength(rows[i]));
}

int DeviceTable::find(const char* name, std::uint32_t address) const {
    char dotted[16];
    const std::size_t length = dottedText(address, dotted);
    const int count = std::clamp(deviceCount, 0, kTableRows);
    for (int i = 0; i < count; ++i) {
        const char* row = rows[i];
        if (std::memcmp(row + kNameColumn, name, kNameWidth) == 0 && addressLength(row) == length &&
            std::memcmp(row + kAddressColumn, dotted, length) == 0)
            return i;
    }
    return -1;
}

void DeviceTable::buildRow(int i, const char* name, std::uint32_t address, std::uint8_t state) {
    if (!validRow(i))
        return;
    char* row = rows[i];
    std::memset(row, ' ', kRowWidth);
    std::memcpy(row + kNameColumn, name, kNameWidth);
    row[13] = '\t';
    char dotted[16];
    std::memcpy(row + kAddressColumn, dotted, dottedText(address, dotted));
    row[29] = '\t';
    const char* text = listStateName(state);
    std::memcpy(row + kStateColumn, text, std::strlen(text));
    std::replace(row, row + kRowWidth, '\0', ' ');
}

} // namespace varn
