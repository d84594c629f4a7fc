#include "selftest/selftest_state.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace varn {

bool SelfTestState::obtainTerminalText() {
    terminalText.reset(new (std::nothrow) char[kTerminalTextSize]());
    terminalEnd = 0;
    return terminalText != nullptr;
}

int SelfTestState::appendTerminalData(const std::uint8_t* data, std::size_t length,
                                      bool* overflowed) {
    if (overflowed != nullptr)
        *overflowed = false;
    if (data == nullptr)
        length = 0;
    // PPP framing: flag, address, escaped control of an HDLC frame start.
    if (length >= 4) {
        static constexpr std::uint8_t kPppStart[4] = {0x7E, 0xFF, 0x7D, 0x23};
        for (std::size_t p = 0; p + 7 <= length; ++p) {
            if (std::memcmp(data + p, kPppStart, sizeof kPppStart) == 0) {
                pppSeen = true;
                return 2;
            }
        }
    }
    if (pppSeen)
        return 2;
    if (!terminalText) {
        // No buffer (no self-test obtained one): the text cannot be kept.
        if (overflowed != nullptr)
            *overflowed = length > 0;
        return 1;
    }

    // Keep room for the terminating NUL; what does not fit is cut.
    const std::size_t end = std::min(terminalEnd, kTerminalTextSize - 1);
    const std::size_t room = kTerminalTextSize - 1 - end;
    const std::size_t n = std::min(length, room);
    char* to = terminalText.get() + end;
    bool afterNul = false;
    for (std::size_t i = 0; i < n; ++i) {
        afterNul = afterNul || data[i] == 0;
        to[i] = afterNul ? '\0' : char(data[i]);
    }
    terminalEnd = end + n;
    terminalText[terminalEnd] = 0;
    if (overflowed != nullptr)
        *overflowed = n < length;
    return 1;
}

} // namespace varn
