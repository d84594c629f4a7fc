#pragma once
// The connection self-test: hangs the appliance up, hands it the account, dials
// the ISP and shows each stage (Dial, Terminal, PPP, Complete) as the replies come
// in. A terminal ISP gets the Login Terminal, whose typed login becomes the
// appliance's login script. Cancel puts the configuration back as it was.

#include "gui/common/request_wait.h"
#include "gui/common/setup_dialog.h"
#include "selftest/selftest_state.h"

#include <cstdint>
#include <memory>

class QLabel;
namespace Ui {
class CPracticeDlg;
}

namespace varn {

class Link;
class SelfTest;

class CPracticeDlg : public SetupDialog, public SelfTestView {
    Q_OBJECT
  public:
    static constexpr int TIMER_HANG_UP = 17;
    static constexpr int TIMER_FOCUS_OK = kSelfTestFocusTimer; // 18
    static constexpr int TIMER_ACCOUNT = 19;
    static constexpr int kFirstHangUpWait = 500; // ms
    static constexpr int kResendWait = 300;      // ms

    // The caller has put the phone number and account into the block and
    // obtained the self-test's terminal buffer.
    CPracticeDlg(Link& link, SelfTest& selfTest, QWidget* parent = nullptr);
    ~CPracticeDlg() override;

    QLabel* progressLine() const;

    // Cancel (also Escape and the close box): the record as it was before the
    // test, and the appliance told to hang up. Unavailable once Cancel is disabled.
    void reject() override;
    void done(int result) override;

    // SelfTestView: how the reply handlers show the test's progress here.
    void setControlEnabled(SelfTestControl control, bool enabled) override;
    void setStatusText(const std::string& text) override;
    void startTimer(int id, int milliseconds) override;
    bool runLoginTerminal() override;

  protected:
    void initDialog() override;
    // Focus to OK once it is enabled.
    void paintRule() override;
    void onTimer(int id) override;

  private:
    void onHungUp();

    Link& link_;
    SelfTest& selfTest_;
    std::unique_ptr<Ui::CPracticeDlg> ui_;
    std::int32_t hangUpLooks_ = 0;
    std::int32_t accountLooks_ = 0;
    RequestWait hangUp_;  // timer 17: the opening hang-up, re-sent until answered
    RequestWait account_; // timer 19: the account hand-over, re-sent until answered
};

} // namespace varn
