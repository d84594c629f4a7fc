#pragma once
// The connection self-test's logic: how it starts, what the dial and login
// results and the ISP's terminal data do, how it hangs up, and the recording
// of the login typed in the Login Terminal. Its dialogs drive it and show what
// it says through the user interface; its state is the SelfTestState.

#include "link/link.h"
#include "selftest/terminal_recorder.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace varn {

class DeviceConfig;
class UserInterface;
struct SelfTestState;
class SelfTestView;

class SelfTest : public SelfTestReplies {
  public:
    SelfTest(Link& link, SelfTestState& state, DeviceConfig& config, UserInterface& ui);
    ~SelfTest() override;
    SelfTest(const SelfTest&) = delete;
    SelfTest& operator=(const SelfTest&) = delete;

    // The self-test dialog opened: the test starts afresh from the block as it
    // is now, and the replies reach `window` until end().
    void begin(SelfTestView& window);
    // The opening hang-up was answered. The first time, the dial step shows
    // and true is returned: the account goes to the appliance next.
    bool startDialing();
    // Cancel: the block as it was when the test began, and the appliance
    // hangs up.
    void cancel();
    // The dialog goes, however it ended; the replies leave it alone.
    void end(const SelfTestView& window);

    // What the self-test takes the time from (tests give their own).
    using Clock = std::chrono::steady_clock;
    void setClock(std::function<Clock::time_point()> now) { now_ = std::move(now); }
    // A PPP frame while the login is outstanding sends it again at most this often.
    static constexpr std::chrono::milliseconds kLoginResendInterval{300};

    // The buffer of the ISP's text, obtained for one test.
    bool obtainTerminalText();
    void releaseTerminalText();

    // --- The Login Terminal ---

    // A new window starts with an empty input line.
    void resetTypedLine();
    // The typed line's echo after the received text (see echoTypedLine).
    void echo(std::string_view typed);
    // The display's text (see terminalDisplayText).
    std::string displayText() const;
    // The ISP went PPP: the window's work is done.
    bool pppSeen() const;
    // True once after the text changed.
    bool takeTerminalChange();
    // Line entry: the first 16 characters are recorded under the prompt
    // before them, and sent (request 5) whether or not the script had room
    // for them.
    LineRecord enterLine(std::string_view line);

  private:
    void onDialResult(std::uint8_t code, std::uint32_t source) override;
    void onLoginResult(std::uint8_t code, std::uint32_t source) override;
    void onTerminalData(const TerminalData& data, std::uint32_t source) override;
    void onHungUp() override;

    // Stores terminal data; tells the user once when the buffer is full.
    int appendTerminal(const TerminalData& data);
    void sendResponse();
    // The ISP went PPP during a terminal login: the login goes out, once, or
    // again when it is still outstanding and was sent long enough ago.
    void loginAfterTerminal();
    void sendLogin();

    Link& link_;
    SelfTestState& state_;
    DeviceConfig& config_;
    UserInterface& ui_;
    std::function<Clock::time_point()> now_ = Clock::now;
};

} // namespace varn
