#include "link/device_state.h"

#include <cstdio>

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

} // namespace varn
