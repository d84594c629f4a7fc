#include "link/monitor_table.h"

#include "link/device_state.h"
#include "protocol/wire.h"

#include <algorithm>
#include <cstring>

namespace varn {

namespace {

bool online(std::uint8_t state) {
    return state == kStateOnline;
}
bool hasSpeed(std::uint8_t state) {
    return state >= kStateTerminalLogin && state <= kStateOnline;
}

std::string trimmed(std::string_view text) {
    const std::size_t from = text.find_first_not_of(' ');
    if (from == std::string_view::npos)
        return {};
    return std::string(text.substr(from, text.find_last_not_of(' ') + 1 - from));
}

} // namespace

std::string MonitorEntry::stateText() const {
    if (unknown)
        return "Unknown";
    return state < 6 ? std::string(stateNames[state]) : statusText(state, code);
}

std::string MonitorEntry::rowText() const {
    std::string row(kRowWidth, ' ');
    std::memcpy(row.data(), name.data(), name.size());
    row[13] = '\t';
    const std::string state = stateText();
    row.replace(MonitorTable::kStateColumn,
                std::min(state.size(), kRowWidth - MonitorTable::kStateColumn), state);
    if (unknown)
        return row.substr(0, MonitorTable::kStateColumn + state.size());
    if (online(this->state)) {
        const std::string wan = dottedText(wanAddress);
        row.replace(MonitorTable::kWanColumn, wan.size(), wan);
    }
    if (hasSpeed(this->state)) {
        row[MonitorTable::kSpeedTab] = '\t';
        const std::string text = std::to_string(speed);
        row.replace(MonitorTable::kSpeedColumn, text.size(), text);
    }
    return row;
}

MonitorColumns MonitorEntry::columns() const {
    MonitorColumns c;
    c.name = trimmed({name.data(), name.size()});
    c.state = trimmed(stateText());
    if (!unknown && online(state))
        c.wan = dottedText(wanAddress);
    if (!unknown && hasSpeed(state))
        c.speed = std::to_string(speed);
    return c;
}

const MonitorEntry& MonitorTable::entry(int i) const {
    static const MonitorEntry blank{};
    return i >= 0 && i < kTableRows ? entries_[std::size_t(i)] : blank;
}

void MonitorTable::update(const StatusReply& reply) {
    // Matching on the name as shown keeps an appliance on one entry even when
    // its name field carries bytes after the terminator.
    const ShownName name = shownName(reply.name.data());
    int index = monitorCount_;
    for (int i = 0; i < monitorCount_; ++i) {
        if (entries_[std::size_t(i)].name == name) {
            index = i;
            break;
        }
    }
    if (index == kTableRows)
        return;
    if (index == monitorCount_)
        ++monitorCount_;
    MonitorEntry& e = entries_[std::size_t(index)];
    e = MonitorEntry{};
    e.name = name;
    e.state = reply.state > 20 ? 0 : reply.state;
    e.code = reply.code > 20 ? 0 : reply.code;
    e.wanAddress = reply.wanAddress;
    e.speed = reply.speed;
}

void MonitorTable::markUnknown(int deviceCount) {
    const int rows = std::clamp(deviceCount, 0, kTableRows);
    for (int i = 0; i < rows; ++i)
        entries_[std::size_t(i)].unknown = true;
}

} // namespace varn
