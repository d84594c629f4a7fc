#pragma once
// The administrator login that guards an appliance's configuration.

#include "devices/login_check.h"
#include "gui/common/setup_dialog.h"

#include <memory>
#include <string>

namespace Ui {
class CAdminLoginDlg;
}

namespace varn {

class CAdminLoginDlg : public SetupDialog {
    Q_OBJECT
  public:
    static constexpr int kFieldLimit = 4;     // characters kept in the field
    static constexpr int kPasswordLimit = 16; // characters taken on OK

    explicit CAdminLoginDlg(QWidget* parent = nullptr);
    ~CAdminLoginDlg() override;

    // The text typed, taken on OK (Latin-1); left as it was on Cancel.
    std::string enteredPassword;

    void accept() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void onPasswordChanged(const QString& text);

    std::unique_ptr<Ui::CAdminLoginDlg> ui_;
};

// The prompt that runs CAdminLoginDlg.
PasswordPrompt adminLoginPrompt();

} // namespace varn
