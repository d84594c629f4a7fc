#pragma once
// The steps of the self-test as its dialog shows them: which stage buttons go
// off and on, and the progress line.

#include "selftest/selftest_state.h"

namespace varn {

class DeviceConfig;
class UserInterface;

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
