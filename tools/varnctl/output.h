#pragma once
// What discover and status print: tables for people, JSON for scripts.

#include "link/device_table.h"
#include "link/monitor_table.h"

#include <string>
#include <vector>

namespace varnctl {

// A Device List line taken apart, with the interface its sweep went out on.
struct DeviceRow {
    std::string interface; // empty unless sweeping every interface
    std::string name, address, status;
    int state = 0; // the code the appliance answered with; status is its Device List text
};

// A Status Monitor line with the codes its text was made from.
struct StatusRow : varn::MonitorColumns {
    int stateCode = 0, resultCode = 0; // `state` is their text
    bool unknown = false;              // not heard from since the last poll: no codes
};

// The table's rows in the order the appliances answered.
std::vector<DeviceRow> deviceRows(const varn::DeviceTable& table, const std::string& interface);
// The monitor table's rows as the Status Monitor lists them: sorted by their
// text, whatever the case.
std::vector<StatusRow> statusRows(const varn::MonitorTable& table);

// Left-aligned columns, two blanks apart, a heading line first.
std::string formatTable(const std::vector<std::string>& headings,
                        const std::vector<std::vector<std::string>>& rows);

std::string devicesTable(const std::vector<DeviceRow>& rows, bool withInterface);
// One line: a JSON array of {[interface,] name, address, state, status}.
std::string devicesJson(const std::vector<DeviceRow>& rows, bool withInterface);
std::string statusTable(const std::vector<StatusRow>& rows);
// One line: {time, appliances: [{name, state, code, status, wan_ip, speed}]},
// `time` in UTC, ISO 8601. The same for each refresh of a watch (JSON Lines).
std::string statusJson(const std::vector<StatusRow>& rows, const std::string& time);

} // namespace varnctl
