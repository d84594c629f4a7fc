#pragma once
// The vocabulary of what an appliance is doing: state codes, result texts, the
// Status Monitor rows, the self-test's progress steps and the scan of terminal
// data for the start of PPP.

#include "link/device_table.h"
#include "selftest/selftest_state.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace varn {

class DeviceConfig;
class UserInterface;

enum DeviceState : std::uint8_t {
    kStateIdle = 0,
    kStateDialing = 1,
    kStateConnecting = 2,
    kStateTerminalLogin = 3,
    kStatePppLogin = 4,
    kStateOnline = 5,
    kStateDialResult = 6,
    kStatePppResult = 7,
    kStateTerminalResult = 8,
};

extern const char* const stateNames[6]; // each exactly 15 characters
extern const char* const dialResultNames[11];
extern const char* const pppResultNames[8];
extern const char* const terminalResultNames[2];

// The name of a discovery state for the Device List: codes 6 and up count as 0.
const char* listStateName(std::uint8_t state);
// Result text for states 6, 7 and 8, with "Dial Error - code N", "PPP Error -
// code N" or "Terminal Mode - code N" for a code beyond its table; "Unknown state N"
// for states 9 and up; "" for states 0..5 (they have stateNames).
std::string statusText(std::uint8_t state, std::uint8_t code);
// dialResultNames / pppResultNames with the same fallback for unknown codes.
std::string dialResultText(std::uint8_t code);
std::string pppResultText(std::uint8_t code);

struct MonitorTable {
    static constexpr std::size_t kStateColumn = 14, kWanColumn = 31, kSpeedTab = 46,
                                 kSpeedColumn = 47;
    DisplayRow rows[kTableRows] = {};
    std::int32_t monitorCount = 0;

    std::string rowText(int i) const; // at most 128 characters, up to a NUL
};

// A monitor row's text taken apart into the columns under its headings.
struct MonitorColumns {
    std::string name, state, wan, speed; // each without its padding
};
MonitorColumns splitMonitorRow(const std::string& row);

// Handler of reply 36: builds or rewrites the appliance's row. A reply from a
// 51st appliance is ignored. length is what the datagram really holds.
void buildMonitorRow(MonitorTable& table, const std::uint8_t* datagram, std::size_t length);
// Rows 0..deviceCount-1 read as the name and "Unknown" until the appliance answers.
void markMonitorUnknown(MonitorTable& table, int deviceCount);

// One step of the self-test as its dialog shows it.
struct SelfTestStep {
    SelfTestEvent event;
    SelfTestControl disable[2];
    int disableCount;
    SelfTestControl enable;
    const char* text; // the progress line; Dialing adds the phone number
    bool startsFocusTimer;
};
// The steps of the self-test, in the order they usually come.
extern const SelfTestStep selfTestSteps[5];

// Shows a step of the self-test in its dialog through ui.
void showPracticeProgress(UserInterface& ui, SelfTestEvent event, const DeviceConfig& config);

} // namespace varn
