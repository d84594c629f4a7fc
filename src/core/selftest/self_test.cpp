#include "selftest/self_test.h"

#include "link/device_state.h"
#include "link/user_interface.h"
#include "protocol/device_config.h"
#include "selftest/progress.h"
#include "selftest/selftest_state.h"
#include "texts.h"

#include <algorithm>

namespace varn {

SelfTest::SelfTest(Link& link, SelfTestState& state, DeviceConfig& config, UserInterface& ui)
    : link_(link), state_(state), config_(config), ui_(ui) {
    link_.attachSelfTest(this);
}

SelfTest::~SelfTest() {
    link_.attachSelfTest(nullptr);
}

void SelfTest::begin(SelfTestView& window) {
    state_.loginKind = kLoginUndecided;
    state_.practiceWindow = &window;
    state_.running = true;
    state_.dialStarted = false;
    state_.loginSent = false;
    // Left set by a test cancelled between its login and the hang-up, it would
    // turn this test's opening hang-up into "Device ready !".
    state_.hangupAfterSuccess = false;
    state_.practiceSavedConfig = config_;
}

bool SelfTest::startDialing() {
    if (state_.dialStarted)
        return false;
    state_.dialStarted = true;
    showPracticeProgress(ui_, SelfTestEvent::Dialing, config_);
    return true;
}

void SelfTest::cancel() {
    config_ = state_.practiceSavedConfig;
    link_.sendRequest(kHangUp);
}

void SelfTest::end(const SelfTestView& window) {
    if (state_.practiceWindow == &window) {
        state_.practiceWindow = nullptr;
        state_.running = false;
    }
}

bool SelfTest::obtainTerminalText() {
    return state_.obtainTerminalText();
}

void SelfTest::releaseTerminalText() {
    state_.releaseTerminalText();
}

void SelfTest::resetTypedLine() {
    state_.lastTypedLine[0] = 0;
}

void SelfTest::echo(std::string_view typed) {
    echoTypedLine(state_, typed);
}

std::string SelfTest::displayText() const {
    return terminalDisplayText(state_);
}

bool SelfTest::pppSeen() const {
    return state_.pppSeen;
}

bool SelfTest::takeTerminalChange() {
    const bool changed = state_.terminalDirty;
    state_.terminalDirty = false;
    return changed;
}

LineRecord SelfTest::enterLine(std::string_view line) {
    const LineRecord r = recordEnteredLine(state_, config_, line.substr(0, kEnteredLineSize));
    sendResponse();
    return r;
}

void SelfTest::sendResponse() {
    const LoginResponse response = loginResponse(state_, config_);
    link_.sendTerminalResponse(response.length, response.text);
}

void SelfTest::onDialResult(std::uint8_t code, std::uint32_t source) {
    // One result per dial sent, from the appliance dialling: the LAN may
    // deliver one twice, and a second would show its step again, hang up again
    // or restart the terminal text.
    if (!state_.running || link_.answer(kDial, source) == 0)
        return;
    if (code == 0) {
        link_.awaitReply(kTerminalResponse);
        showPracticeProgress(ui_, SelfTestEvent::TerminalLogin, config_);
        // The text of an earlier dial must not show again in the Login Terminal.
        state_.terminalEnd = 0;
        if (state_.terminalText)
            state_.terminalText[0] = 0;
        state_.terminalOverflowReported = false;
        return;
    }
    ui_.setSelfTestStatus(dialResultText(code));
    link_.sendRequest(kHangUp);
}

void SelfTest::onLoginResult(std::uint8_t code, std::uint32_t source) {
    // One result per login sent, also when a line typed since has replaced
    // the awaited marker.
    if (!state_.running || link_.answer(kLogin, source) == 0)
        return;
    if (code == 0) {
        state_.hangupAfterSuccess = true;
        showPracticeProgress(ui_, SelfTestEvent::Success, config_);
    } else {
        ui_.setSelfTestStatus(pppResultText(code));
    }
    link_.sendRequest(kHangUp);
}

void SelfTest::onTerminalData(const TerminalData& data, std::uint32_t source) {
    // The ISP's text comes from the appliance under test only: anyone else's
    // would clear the script area, fill the display or end the terminal login.
    if (!state_.running || !link_.fromTarget(source))
        return;
    state_.terminalDirty = true;
    if (state_.loginKind == kLoginUndecided) {
        state_.scriptSlot = -1;
        state_.unrecordedLine.reset();
        state_.pppSeen = false;
        const int r = appendTerminal(data);
        state_.loginKind = std::uint8_t(r);
        if (r == 1) {
            // The login the user is about to type becomes the new script.
            config_.setLoginMode(LoginMode::Terminal);
            config_.clearLoginArea();
            if (!ui_.runLoginTerminal())
                link_.sendRequest(kHangUp);
        } else {
            config_.setLoginMode(LoginMode::Ppp);
            showPracticeProgress(ui_, SelfTestEvent::PppConnecting, config_);
            sendLogin();
        }
    } else if (state_.loginKind == kLoginTerminal) {
        if (appendTerminal(data) == 2)
            loginAfterTerminal();
    }
}

void SelfTest::loginAfterTerminal() {
    // An ISP repeats its first PPP frame until it is answered: each repeat
    // sending the login again would flood the appliance and overwrite the
    // marker of the hang-up that ends the test. Once the result came, the
    // login is no longer outstanding.
    if (!state_.loginSent) {
        showPracticeProgress(ui_, SelfTestEvent::PppConnecting, config_);
        sendLogin();
        return;
    }
    if (link_.outstanding(kLogin) && now_() - state_.loginSentAt >= kLoginResendInterval)
        sendLogin();
}

void SelfTest::sendLogin() {
    state_.loginSent = true;
    state_.loginSentAt = now_();
    link_.sendLogin(state_.loginKind);
}

void SelfTest::onHungUp() {
    if (state_.hangupAfterSuccess) {
        state_.hangupAfterSuccess = false;
        showPracticeProgress(ui_, SelfTestEvent::Ready, config_);
    }
}

int SelfTest::appendTerminal(const TerminalData& data) {
    bool overflowed = false;
    const int r = state_.appendTerminalData(data.data, data.length, &overflowed);
    if (overflowed && !state_.terminalOverflowReported) {
        state_.terminalOverflowReported = true;
        ui_.showMessage(texts::kTerminalFull, MessageIcon::Warning);
    }
    return r;
}

} // namespace varn
