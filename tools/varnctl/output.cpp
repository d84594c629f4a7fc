#include "output.h"

#include "link/device_state.h"
#include "protocol/wire.h"
#include "text.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>

namespace varnctl {

namespace {

std::string lower(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

std::vector<DeviceRow> deviceRows(const varn::DeviceTable& table, const std::string& interface) {
    std::vector<DeviceRow> rows;
    for (int i = 0; i < table.deviceCount(); ++i) {
        const varn::DeviceEntry& e = table.entry(i);
        rows.push_back({interface, trimBlanks(e.nameText()), varn::dottedText(e.address),
                        trimBlanks(varn::listStateName(e.state)), int(e.state)});
    }
    return rows;
}

std::vector<StatusRow> statusRows(const varn::MonitorTable& table) {
    // In the Status Monitor's order: its lines sorted by their text, whatever the case.
    std::vector<const varn::MonitorEntry*> entries;
    entries.reserve(std::size_t(table.monitorCount()));
    for (int i = 0; i < table.monitorCount(); ++i)
        entries.push_back(&table.entry(i));
    std::stable_sort(entries.begin(), entries.end(),
                     [](const varn::MonitorEntry* a, const varn::MonitorEntry* b) {
                         return lower(a->rowText()) < lower(b->rowText());
                     });
    std::vector<StatusRow> rows;
    rows.reserve(entries.size());
    for (const varn::MonitorEntry* e : entries)
        rows.push_back({e->columns(), e->state, e->code, e->unknown});
    return rows;
}

std::string formatTable(const std::vector<std::string>& headings,
                        const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    widths.reserve(headings.size());
    for (const auto& h : headings)
        widths.push_back(h.size());
    for (const auto& row : rows)
        for (std::size_t c = 0; c < row.size() && c < widths.size(); ++c)
            widths[c] = std::max(widths[c], row[c].size());
    auto line = [&](const std::vector<std::string>& cells) {
        std::string out;
        for (std::size_t c = 0; c < widths.size(); ++c) {
            const std::string cell = c < cells.size() ? cells[c] : "";
            out += cell;
            if (c + 1 < widths.size())
                out += std::string(widths[c] - cell.size() + 2, ' ');
        }
        out.erase(out.find_last_not_of(' ') + 1);
        return out;
    };
    std::string out = line(headings) + "\n";
    for (const auto& row : rows)
        out += line(row) + "\n";
    return out;
}

std::string devicesTable(const std::vector<DeviceRow>& rows, bool withInterface) {
    std::vector<std::string> headings = {"Device Name", "LAN IP Address", "Status"};
    if (withInterface)
        headings.insert(headings.begin(), "Interface");
    std::vector<std::vector<std::string>> cells;
    for (const DeviceRow& r : rows) {
        std::vector<std::string> line = {r.name, r.address, r.status};
        if (withInterface)
            line.insert(line.begin(), r.interface);
        cells.push_back(line);
    }
    return formatTable(headings, cells);
}

std::string devicesJson(const std::vector<DeviceRow>& rows, bool withInterface) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const DeviceRow& r : rows) {
        nlohmann::ordered_json item;
        if (withInterface)
            item["interface"] = r.interface;
        item["name"] = latin1ToUtf8(r.name);
        item["address"] = r.address;
        item["state"] = r.state;
        item["status"] = latin1ToUtf8(r.status);
        list.push_back(item);
    }
    return list.dump() + "\n";
}

std::string statusTable(const std::vector<StatusRow>& rows) {
    std::vector<std::vector<std::string>> cells;
    cells.reserve(rows.size());
    for (const auto& r : rows)
        cells.push_back({r.name, r.state, r.wan, r.speed});
    return formatTable({"Device Name", "Status", "WAN IP", "Speed(bps)"}, cells);
}

std::string statusJson(const std::vector<StatusRow>& rows, const std::string& time) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& r : rows) {
        nlohmann::ordered_json item;
        item["name"] = latin1ToUtf8(r.name);
        const auto code = [&r](int value) {
            return r.unknown ? nlohmann::ordered_json() : nlohmann::ordered_json(value);
        };
        item["state"] = code(r.stateCode);
        item["code"] = code(r.resultCode);
        item["status"] = latin1ToUtf8(r.state);
        item["wan_ip"] = r.wan.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(r.wan);
        const bool digits = !r.speed.empty() &&
                            r.speed.find_first_not_of("0123456789") == std::string::npos &&
                            r.speed.size() < 10;
        item["speed"] =
            digits ? nlohmann::ordered_json(std::stoul(r.speed)) : nlohmann::ordered_json();
        list.push_back(item);
    }
    nlohmann::ordered_json document;
    document["time"] = time;
    document["appliances"] = list;
    return document.dump() + "\n";
}

} // namespace varnctl
