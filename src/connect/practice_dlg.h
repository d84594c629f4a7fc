#pragma once
// The connection self-test: hangs the appliance up, hands it the account, dials
// the ISP and shows each stage. For now it only offers OK and Cancel; the stages
// come with the self-test.

#include "ui/setup_dialog.h"

#include <memory>

namespace Ui {
class CPracticeDlg;
}
namespace varn {
class Link;
}

class CPracticeDlg : public SetupDialog {
    Q_OBJECT
  public:
    explicit CPracticeDlg(varn::Link& link, QWidget* parent = nullptr);
    ~CPracticeDlg() override;

  private:
    varn::Link& link_;
    std::unique_ptr<Ui::CPracticeDlg> ui_;
};
