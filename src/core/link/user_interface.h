#pragma once
// Everything the link layer and the endpoint show to the user goes through this
// one narrow interface: message boxes, the self-test's progress and the Login
// Terminal. The Qt application gives its implementation to the endpoint and the
// link at start; tests give a recorder that observes and answers without a screen.

#include "selftest/selftest_state.h"

#include <string>

namespace varn {

enum class MessageIcon { Warning, Information };

class UserInterface {
  public:
    virtual ~UserInterface() = default;

    // A modal message box with an OK button.
    virtual void showMessage(const std::string& text, MessageIcon icon) = 0;

    // The open self-test dialog; ignored when none is open.
    virtual void setSelfTestControl(SelfTestControl control, bool enabled) = 0;
    virtual void setSelfTestStatus(const std::string& text) = 0;
    virtual void startSelfTestTimer(int id, int milliseconds) = 0;

    // Runs the Login Terminal modally; true when it ended with OK.
    virtual bool runLoginTerminal() = 0;
};

// Hands the self-test's progress to the self-test dialog registered in a
// SelfTestState (its practiceWindow), and only while that self-test runs.
class SelfTestForwardingUi : public UserInterface {
  public:
    explicit SelfTestForwardingUi(const SelfTestState& selfTest) : selfTest_(selfTest) {}

    void setSelfTestControl(SelfTestControl control, bool enabled) override {
        if (SelfTestView* view = openView())
            view->setControlEnabled(control, enabled);
    }
    void setSelfTestStatus(const std::string& text) override {
        if (SelfTestView* view = openView())
            view->setStatusText(text);
    }
    void startSelfTestTimer(int id, int milliseconds) override {
        if (SelfTestView* view = openView())
            view->startTimer(id, milliseconds);
    }
    bool runLoginTerminal() override {
        SelfTestView* view = openView();
        return view != nullptr && view->runLoginTerminal();
    }

  private:
    SelfTestView* openView() const {
        return selfTest_.running ? selfTest_.practiceWindow : nullptr;
    }
    const SelfTestState& selfTest_;
};

// Shows nothing and answers "not OK".
class SilentUserInterface : public UserInterface {
  public:
    void showMessage(const std::string&, MessageIcon) override {}
    void setSelfTestControl(SelfTestControl, bool) override {}
    void setSelfTestStatus(const std::string&) override {}
    void startSelfTestTimer(int, int) override {}
    bool runLoginTerminal() override { return false; }
};

} // namespace varn
