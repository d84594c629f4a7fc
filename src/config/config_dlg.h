#pragma once
// The editor of one appliance's configuration. For now it only offers OK and
// Cancel; the editing fields come with the configuration dialogs.

#include "ui/setup_dialog.h"

#include <memory>

namespace Ui {
class CConfigDlg;
}
namespace varn {
class Link;
}

class CConfigDlg : public SetupDialog {
    Q_OBJECT
  public:
    explicit CConfigDlg(varn::Link& link, QWidget* parent = nullptr);
    ~CConfigDlg() override;

  private:
    varn::Link& link_;
    std::unique_ptr<Ui::CConfigDlg> ui_;
};
