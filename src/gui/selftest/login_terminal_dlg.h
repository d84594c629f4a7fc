#pragma once
// The Login Terminal: shows what the ISP sends during a self-test and passes each
// line the administrator types on to the appliance, recording it with the prompt
// before it as the appliance's login script. It closes itself with OK once the ISP
// switches to PPP; Cancel abandons the login.

#include "gui/common/setup_dialog.h"

#include <memory>

class QLineEdit;
class QPlainTextEdit;
namespace Ui {
class CLoginTerminalDlg;
}

namespace varn {

class SelfTest;

class CLoginTerminalDlg : public SetupDialog {
    Q_OBJECT
  public:
    static constexpr int TIMER_REFRESH = 103;
    static constexpr int kRefreshInterval = 100; // ms
    static constexpr int kScreenX = 25, kScreenY = 25;

    explicit CLoginTerminalDlg(SelfTest& selfTest, QWidget* parent = nullptr);
    ~CLoginTerminalDlg() override;

    QPlainTextEdit* display() const;
    QLineEdit* inputLine() const;

    // Line entry (OK, the Enter key): the window stays open.
    void accept() override;

  protected:
    void initDialog() override;
    void onTimer(int id) override;
    void showEvent(QShowEvent* event) override;
    // Typing in the display goes to the hidden input line.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void onInputChanged();
    void refreshDisplay();

    SelfTest& selfTest_;
    std::unique_ptr<Ui::CLoginTerminalDlg> ui_;
    bool scriptFullReported_ = false;
};

} // namespace varn
