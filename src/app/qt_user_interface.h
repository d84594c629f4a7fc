#pragma once
// The Qt side of varn::UserInterface: message boxes through showMessageBox, the
// self-test's progress into the open self-test dialog, and the Login Terminal.

#include "link/user_interface.h"

#include <QString>
#include <functional>

// The open self-test dialog, as the reply handlers see it.
class PracticeWindow {
  public:
    virtual ~PracticeWindow() = default;
    virtual void setControlEnabled(int id, bool enabled) = 0;
    virtual void setStatusText(const QString& text) = 0;
    virtual void startTimer(int id, int milliseconds) = 0;
};

class QtUserInterface : public varn::UserInterface {
  public:
    void showMessage(const std::string& text, varn::MessageIcon icon) override;
    void setPracticeControl(int id, bool enabled) override;
    void setPracticeStatus(const std::string& text) override;
    void startPracticeTimer(int id, int milliseconds) override;
    bool runLoginTerminal() override;

    // The self-test dialog registers itself while it is open.
    void setPracticeWindow(PracticeWindow* window) { practiceWindow_ = window; }
    // Runs the Login Terminal modally and tells whether it ended with OK.
    void setLoginTerminalRunner(std::function<bool()> runner) { runner_ = std::move(runner); }

  private:
    PracticeWindow* practiceWindow_ = nullptr;
    std::function<bool()> runner_;
};

// The application's instance (installed as varn::userInterface() at start).
QtUserInterface& qtUserInterface();
