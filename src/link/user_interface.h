#pragma once
// Everything the link layer (and the endpoint) shows to the user goes through
// this one narrow interface. The Qt application installs its implementation at
// start; tests install a recorder that observes and answers without a screen.

#include <string>

namespace varn {

enum class MessageIcon { Warning, Information };

class UserInterface {
  public:
    virtual ~UserInterface() = default;

    // A modal message box with an OK button.
    virtual void showMessage(const std::string& text, MessageIcon icon) = 0;

    // The open self-test dialog (template 108); ignored when none is open.
    virtual void setPracticeControl(int id, bool enabled) = 0;
    virtual void setPracticeStatus(const std::string& text) = 0; // control 1042
    virtual void startPracticeTimer(int id, int milliseconds) = 0;

    // Runs the Login Terminal modally; true when it ended with OK.
    virtual bool runLoginTerminal() = 0;
};

// Shows nothing and answers "not OK": the default until an interface is installed.
class SilentUserInterface : public UserInterface {
  public:
    void showMessage(const std::string&, MessageIcon) override {}
    void setPracticeControl(int, bool) override {}
    void setPracticeStatus(const std::string&) override {}
    void startPracticeTimer(int, int) override {}
    bool runLoginTerminal() override { return false; }
};

// The process's user interface (a SilentUserInterface until one is installed).
UserInterface& userInterface();
void installUserInterface(UserInterface* ui); // nullptr restores the silent one

} // namespace varn
