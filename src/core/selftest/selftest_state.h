#pragma once
// The shared state of a connection self-test and of its Login Terminal: what the
// self-test dialog, the terminal window and the reply handlers for dial results,
// login results, terminal data and hang-ups read and write. One instance for the
// process; tests make their own.

#include "protocol/device_config.h"
#include "protocol/wire.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace varn {

inline constexpr std::size_t kTerminalTextSize = 20480;
inline constexpr std::size_t kTypedLineSize = 32; // lastTypedLine, without its NUL

// Steps of the self-test shown in its dialog.
enum class SelfTestEvent : int {
    Dialing = 3,
    PppConnecting = 4,
    TerminalLogin = 5,
    Success = 9,
    Ready = 153,
};

// Controls of the self-test dialog that the steps change.
enum class SelfTestControl : int {
    Ok = 1,
    Cancel = 2,
    Dial = 1038,
    Terminal = 1039,
    Ppp = 1040,
    Complete = 1041,
};

// The self-test dialog's timer that gives OK the focus after "Device ready !".
inline constexpr int kSelfTestFocusTimer = 18;
inline constexpr int kSelfTestFocusDelay = 100;

// The open self-test dialog, as the user interface reaches it.
class SelfTestView {
  public:
    virtual ~SelfTestView() = default;
    virtual void setControlEnabled(SelfTestControl control, bool enabled) = 0;
    virtual void setStatusText(const std::string& text) = 0; // the progress line
    virtual void startTimer(int id, int milliseconds) = 0;
    // Runs the Login Terminal modally; true when it ended with OK.
    virtual bool runLoginTerminal() = 0;
};

struct SelfTestState {
    // A self-test dialog is open: only then do dial results, login results and
    // terminal data act (any host on the LAN can send them).
    bool running = false;
    SelfTestView* practiceWindow = nullptr; // the open self-test dialog

    std::uint8_t loginKind = kLoginUndecided;
    bool dialStarted = false;
    // The login (4) of this test went out, and when.
    bool loginSent = false;
    std::chrono::steady_clock::time_point loginSentAt{};
    bool hangupAfterSuccess = false;
    bool pppSeen = false;
    std::int32_t scriptSlot = -1;
    // The line last entered in the Login Terminal when the script had no room
    // for it: request 5 carries this line instead of a recorded response, so
    // the login goes on.
    std::optional<std::string> unrecordedLine;
    DeviceConfig practiceSavedConfig;

    // Text received from the ISP during a self-test, NUL-terminated at
    // terminalEnd; obtained for one self-test and released after it.
    std::unique_ptr<char[]> terminalText;
    std::size_t terminalEnd = 0;
    bool terminalDirty = false;
    bool terminalOverflowReported = false;
    char lastTypedLine[kTypedLineSize + 1] = {};

    // Obtains a zeroed terminalText; false when memory is short.
    bool obtainTerminalText();
    void releaseTerminalText() { terminalText.reset(); }

    // Stores terminal data at terminalEnd. 1 when stored as text, 2 when PPP
    // framing is seen now or was seen before. Text that does not fit is cut;
    // *overflowed tells whether that happened.
    int appendTerminalData(const std::uint8_t* data, std::size_t length, bool* overflowed);
};

} // namespace varn
