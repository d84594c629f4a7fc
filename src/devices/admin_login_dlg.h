#pragma once
// The administrator login that guards an appliance's configuration, and the check
// that decides whether to ask.

#include <QDialog>
#include <functional>
#include <memory>
#include <string>

class PasswordCache;
namespace Ui {
class CAdminLoginDlg;
}
namespace varn {
class DeviceConfig;
}

class CAdminLoginDlg : public QDialog {
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

// Asks for the password: true and the typed text on OK, false on Cancel.
using PasswordPrompt = std::function<bool(std::string& entered)>;
// The prompt that runs CAdminLoginDlg.
PasswordPrompt adminLoginPrompt();

// 0 when access to the appliance whose block is in config is granted, -1 when it
// is refused ("Incorrect Password !") or the login is cancelled. A granted
// login is remembered in cache under the appliance's name.
int loginCheck(const varn::DeviceConfig& config, PasswordCache& cache,
               const PasswordPrompt& prompt = adminLoginPrompt());
