#include "link/device_table.h"

namespace varn {

namespace {
bool validRow(int i) {
    return i >= 0 && i < kTableRows;
}
} // namespace

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
    std::string text;
    for (std::size_t c = kAddressColumn; c < kRowWidth; ++c) {
        const char ch = rows[i][c];
        if (ch == ' ' || ch == '\t' || ch == '\0')
            break;
        text += ch;
    }
    return text;
}

} // namespace varn
