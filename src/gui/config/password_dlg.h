#pragma once
// Change Password: the administrator proves the old password, then types the new
// one twice; OK writes it into the configuration block.

#include "gui/common/setup_dialog.h"

#include <memory>

class QLineEdit;
namespace Ui {
class CPasswordDlg;
}

namespace varn {

class DeviceConfig;

class CPasswordDlg : public SetupDialog {
    Q_OBJECT
  public:
    explicit CPasswordDlg(DeviceConfig& config, QWidget* parent = nullptr);
    ~CPasswordDlg() override;

    // The old password was proved while this dialog is open.
    bool oldPasswordVerified() const { return oldPasswordVerified_; }

    void accept() override;

  protected:
    void initDialog() override;
    // Focus to the old password.
    void paintRule() override;
    // The check of the old password, each time the new-password field gets the focus.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void checkOldPassword();

    DeviceConfig& config_;
    std::unique_ptr<Ui::CPasswordDlg> ui_;
    bool oldPasswordVerified_ = false;
};

} // namespace varn
