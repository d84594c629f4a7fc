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
    virtual void setPracticeControl(PracticeControl control, bool enabled) = 0;
    virtual void setPracticeStatus(const std::string& text) = 0;
    virtual void startPracticeTimer(int id, int milliseconds) = 0;

    // Runs the Login Terminal modally; true when it ended with OK.
    virtual bool runLoginTerminal() = 0;
};

// Hands the self-test's progress to the self-test dialog registered in a
// PracticeState (its practiceWindow), and only while that self-test runs.
class PracticeForwardingUi : public UserInterface {
  public:
    explicit PracticeForwardingUi(const PracticeState& practice) : practice_(practice) {}

    void setPracticeControl(PracticeControl control, bool enabled) override {
        if (PracticeView* view = openView())
            view->setControlEnabled(control, enabled);
    }
    void setPracticeStatus(const std::string& text) override {
        if (PracticeView* view = openView())
            view->setStatusText(text);
    }
    void startPracticeTimer(int id, int milliseconds) override {
        if (PracticeView* view = openView())
            view->startTimer(id, milliseconds);
    }
    bool runLoginTerminal() override {
        PracticeView* view = openView();
        return view != nullptr && view->runLoginTerminal();
    }

  private:
    PracticeView* openView() const {
        return practice_.running ? practice_.practiceWindow : nullptr;
    }
    const PracticeState& practice_;
};

// Shows nothing and answers "not OK".
class SilentUserInterface : public UserInterface {
  public:
    void showMessage(const std::string&, MessageIcon) override {}
    void setPracticeControl(PracticeControl, bool) override {}
    void setPracticeStatus(const std::string&) override {}
    void startPracticeTimer(int, int) override {}
    bool runLoginTerminal() override { return false; }
};

} // namespace varn
