#pragma once
// The vocabulary of what an appliance is doing: state codes and the texts of
// states and of dial, PPP and terminal-login results.

#include <cstdint>
#include <string>

namespace varn {

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

} // namespace varn
