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
};

// The table's rows in the order the appliances answered.
std::vector<DeviceRow> deviceRows(const varn::DeviceTable& table, const std::string& interface);
// The monitor table's rows as the Status Monitor lists them: sorted by their
// text, whatever the case.
std::vector<varn::MonitorColumns> statusRows(const varn::MonitorTable& table);

// Left-aligned columns, two blanks apart, a heading line first.
std::string formatTable(const std::vector<std::string>& headings,
                        const std::vector<std::vector<std::string>>& rows);

std::string devicesTable(const std::vector<DeviceRow>& rows, bool withInterface);
std::string devicesJson(const std::vector<DeviceRow>& rows, bool withInterface);
std::string statusTable(const std::vector<varn::MonitorColumns>& rows);
// One line: a JSON array of {name, status, wan_ip, speed}.
std::string statusJson(const std::vector<varn::MonitorColumns>& rows);

} // namespace varnctl
