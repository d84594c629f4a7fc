#pragma once
// The Qt side of varn::UserInterface: message boxes through showMessageBox; the
// self-test's progress and the Login Terminal through the open self-test dialog.

#include "link/user_interface.h"

class QtUserInterface : public varn::PracticeForwardingUi {
  public:
    using PracticeForwardingUi::PracticeForwardingUi;
    void showMessage(const std::string& text, varn::MessageIcon icon) override;
};
