#pragma once
// The Qt side of UserInterface: message boxes through showMessageBox; the
// self-test's progress and the Login Terminal through the open self-test dialog.

#include "link/user_interface.h"

namespace varn {

class QtUserInterface : public SelfTestForwardingUi {
  public:
    using SelfTestForwardingUi::SelfTestForwardingUi;
    void showMessage(const std::string& text, MessageIcon icon) override;
};

} // namespace varn
