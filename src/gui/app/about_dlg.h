#pragma once
// The About box: icon, product, program and version.

#include "gui/common/setup_dialog.h"

#include <memory>

namespace Ui {
class CAboutDlg;
}

namespace varn {

class CAboutDlg : public SetupDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

  private:
    std::unique_ptr<Ui::CAboutDlg> ui_;
};

} // namespace varn
