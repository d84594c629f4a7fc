#include "link/device_table.h"

#include "link/device_state.h"
#include "protocol/wire.h"

#include <cstring>

namespace varn {

std::string DeviceEntry::rowText() const {
    std::string row(kRowWidth, ' ');
    std::memcpy(row.data(), name.data(), name.size());
    row[13] = '\t';
    const std::string dotted = dottedText(address);
    row.replace(14, dotted.size(), dotted);
    row[29] = '\t';
    const std::string_view state = listStateName(this->state);
    row.replace(DeviceTable::kStateColumn, state.size(), state);
    return row;
}

std::string DeviceEntry::nameText() const {
    std::string text(name.data(), name.size());
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

const DeviceEntry& DeviceTable::entry(int i) const {
    static const DeviceEntry blank{[] {
        ShownName n;
        n.fill(' ');
        return n;
    }()};
    return i >= 0 && i < kTableRows ? entries_[std::size_t(i)] : blank;
}

int DeviceTable::find(const ShownName& name, std::uint32_t address) const {
    for (int i = 0; i < deviceCount_; ++i) {
        const DeviceEntry& e = entries_[std::size_t(i)];
        if (e.name == name && e.address == address)
            return i;
    }
    return -1;
}

int DeviceTable::fromSource(std::uint32_t source) const {
    for (int i = 0; i < deviceCount_; ++i)
        if (entries_[std::size_t(i)].source == source)
            return i;
    return -1;
}

bool DeviceTable::add(const DeviceEntry& entry) {
    if (deviceCount_ >= kTableRows)
        return false;
    entries_[std::size_t(deviceCount_++)] = entry;
    return true;
}

} // namespace varn
