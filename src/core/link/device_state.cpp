#include "link/device_state.h"

#include "link/user_interface.h"
#include "protocol/device_config.h"
#include "protocol/wire.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace varn {

const char* const stateNames[6] = {
    "Ready          ", "Dialing Phone  ", "Connecting ISP ",
    "Terminal Login ", "PPP Mode Login ", "ISP Connected  ",
};

const char* const dialResultNames[11] = {
    "Dial Ok",
    "Dial Error - Connect",
    "Dial Error - No carrier",
    "Dial Error - Modem function fail",
    "Dial Error - No dial tone",
    "Dial Error - Telephone line Busy",
    "Dial Error - No answer",
    "Dial Error - Modem ring",
    "Dial Error - Modem not used",
    "Dial Error - Modem no ring",
    "Dial Error - Unknown dialing error",
};

const char* const pppResultNames[8] = {
    "PPP Ok",
    "PPP Error - Account Login Failed !",
    "PPP Error - LCP Negotiation Failed !",
    "PPP Error - IPCP Negotiation Failed !",
    "PPP Error - PAP Negotiation Failed !",
    "PPP Error - CHAP Negotiation Failed !",
    "PPP Error - PAP Invalid Password !",
    "PPP Error - CHAP Invalid Password !",
};

const char* const terminalResultNames[2] = {
    "Terminal Mode Ok",
    "Terminal Mode - Account Login Failed !",
};

namespace {

// The table's text, or "<prefix> - code N" for a code the table does not know.
template <std::size_t N>
std::string tableText(const char* const (&table)[N], std::uint8_t code, const char* prefix) {
    if (code < N)
        return table[code];
    char text[48];
    std::snprintf(text, sizeof text, "%s - code %u", prefix, unsigned(code));
    return text;
}

} // namespace

const char* listStateName(std::uint8_t state) {
    return stateNames[state < 6 ? state : 0];
}

std::string dialResultText(std::uint8_t code) {
    return tableText(dialResultNames, code, "Dial Error");
}

std::string pppResultText(std::uint8_t code) {
    return tableText(pppResultNames, code, "PPP Error");
}

std::string statusText(std::uint8_t state, std::uint8_t code) {
    switch (state) {
    case kStateDialResult:
        return dialResultText(code);
    case kStatePppResult:
        return pppResultText(code);
    case kStateTerminalResult:
        return tableText(terminalResultNames, code, "Terminal Mode");
    default:
        break;
    }
    if (state > kStateTerminalResult) {
        char text[32];
        std::snprintf(text, sizeof text, "Unknown state %u", unsigned(state));
        return text;
    }
    return {};
}

std::string MonitorTable::rowText(int i) const {
    if (i < 0 || i >= kTableRows)
        return {};
    const char* row = rows[i];
    const std::size_t n = std::find(row, row + kRowWidth, '\0') - row;
    return std::string(row, n);
}

void buildMonitorRow(MonitorTable& table, const std::uint8_t* datagram, std::size_t length) {
    // Payload: 8 name (12), 20 state, 21 result code, 22 WAN address, 26 speed (LE16).
    // Bytes the datagram does not hold read as zero.
    std::uint8_t reply[28] = {};
    if (datagram != nullptr)
        std::memcpy(reply, datagram, std::min(length, sizeof reply));

    // The name as the row shows it: text up to the first NUL, space-padded. Matching
    // on exactly this keeps an appliance on one row even when its name field carries
    // bytes after the terminator.
    char name[DeviceTable::kNameWidth];
    shownName(reply + 8, name);

    const int count = std::clamp(table.monitorCount, 0, kTableRows);
    int index = count;
    for (int i = 0; i < count; ++i) {
        if (std::memcmp(table.rows[i], name, sizeof name) == 0) {
            index = i;
            break;
        }
    }
    if (index == kTableRows)
        return; // a fifty-first appliance: no room, the reply is dropped
    if (index == count)
        table.monitorCount = count + 1;

    char* row = table.rows[index];
    std::memset(row, ' ', kRowWidth);
    std::memcpy(row, name, sizeof name);
    row[13] = '\t';

    std::uint8_t state = reply[20];
    std::uint8_t code = reply[21];
    if (state > 20)
        state = 0;
    if (code > 20)
        code = 0;

    const std::string text = state < 6 ? std::string(stateNames[state]) : statusText(state, code);
    const std::size_t room = kRowWidth - MonitorTable::kStateColumn;
    std::memcpy(row + MonitorTable::kStateColumn, text.data(), std::min(text.size(), room));

    if (state == kStateOnline) {
        std::uint32_t wan;
        std::memcpy(&wan, reply + 22, 4);
        const std::string dotted = dottedText(wan);
        std::memcpy(row + MonitorTable::kWanColumn, dotted.data(), dotted.size());
    }
    if (state >= kStateTerminalLogin && state <= kStateOnline) {
        row[MonitorTable::kSpeedTab] = '\t';
        char speed[8];
        const int n = std::snprintf(speed, sizeof speed, "%u", unsigned(readLe16(reply + 26)));
        std::memcpy(row + MonitorTable::kSpeedColumn, speed, std::size_t(n));
    }
    std::replace(row, row + kRowWidth, '\0', ' ');
}

namespace {
std::string trimmed(const std::string& text, std::size_t from, std::size_t to) {
    to = std::min(to, text.size());
    while (from < to && (text[from] == ' ' || text[from] == '\t'))
        ++from;
    while (to > from && (text[to - 1] == ' ' || text[to - 1] == '\t'))
        --to;
    return from < to ? text.substr(from, to - from) : std::string();
}
} // namespace

MonitorColumns splitMonitorRow(const std::string& row) {
    MonitorColumns c;
    c.name = trimmed(row, 0, DeviceTable::kNameWidth);
    std::size_t stateEnd = row.size();
    if (row.size() > MonitorTable::kSpeedTab && row[MonitorTable::kSpeedTab] == '\t') {
        c.speed = trimmed(row, MonitorTable::kSpeedColumn, row.size());
        stateEnd = MonitorTable::kSpeedTab;
    }
    // Only an appliance on line has its WAN address in the row.
    const std::string online = stateNames[kStateOnline];
    if (row.compare(MonitorTable::kStateColumn, online.size(), online) == 0) {
        c.wan = trimmed(row, MonitorTable::kWanColumn, stateEnd);
        stateEnd = MonitorTable::kWanColumn;
    }
    c.state = trimmed(row, MonitorTable::kStateColumn, stateEnd);
    return c;
}

void markMonitorUnknown(MonitorTable& table, int deviceCount) {
    static constexpr char kUnknown[] = "Unknown"; // copied with its terminating NUL
    const int rows = std::clamp(deviceCount, 0, kTableRows);
    for (int i = 0; i < rows; ++i)
        std::memcpy(table.rows[i] + MonitorTable::kStateColumn, kUnknown, sizeof kUnknown);
}

const SelfTestStep selfTestSteps[5] = {
    {SelfTestEvent::Dialing,
     {SelfTestControl::Complete},
     1,
     SelfTestControl::Dial,
     "Dialing... ",
     false},
    {SelfTestEvent::TerminalLogin,
     {SelfTestControl::Dial, SelfTestControl::Complete},
     2,
     SelfTestControl::Terminal,
     "Terminal Mode Login ...",
     false},
    {SelfTestEvent::PppConnecting,
     {SelfTestControl::Terminal, SelfTestControl::Complete},
     2,
     SelfTestControl::Ppp,
     "PPP Connecting ...",
     false},
    {SelfTestEvent::Success,
     {SelfTestControl::Ppp},
     1,
     SelfTestControl::Complete,
     "Success ! Now, hang up phone ...",
     false},
    {SelfTestEvent::Ready,
     {SelfTestControl::Cancel},
     1,
     SelfTestControl::Ok,
     "Device ready !",
     true},
};

void showPracticeProgress(UserInterface& ui, SelfTestEvent event, const DeviceConfig& config) {
    for (const SelfTestStep& step : selfTestSteps) {
        if (step.event != event)
            continue;
        for (int i = 0; i < step.disableCount; ++i)
            ui.setSelfTestControl(step.disable[i], false);
        ui.setSelfTestControl(step.enable, true);
        std::string text = step.text;
        if (event == SelfTestEvent::Dialing)
            text += config.phoneNumber();
        ui.setSelfTestStatus(text);
        if (step.startsFocusTimer)
            ui.startSelfTestTimer(kSelfTestFocusTimer, kSelfTestFocusDelay);
        return;
    }
}

} // namespace varn
