#include "selftest/progress.h"

#include "link/user_interface.h"
#include "protocol/device_config.h"

#include <string>

namespace varn {

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
