#include "gui/selftest/practice_dlg.h"

#include "gui/common/field_support.h"
#include "gui/common/window_timers.h"
#include "gui/selftest/login_terminal_dlg.h"
#include "link/device_state.h"
#include "link/link.h"
#include "protocol/device_config.h"
#include "ui_practice_dlg.h"

namespace varn {

CPracticeDlg::CPracticeDlg(Link& link, QWidget* parent)
    : SetupDialog(parent), link_(link), ui_(std::make_unique<Ui::CPracticeDlg>()),
      hangUp_(timers(), TIMER_HANG_UP, link, hangUpLooks_),
      account_(timers(), TIMER_ACCOUNT, link, accountLooks_) {
    ui_->setupUi(this);
    finishSetup();
    connect(ui_->id1, &QPushButton::clicked, this, &CPracticeDlg::accept);
    connect(ui_->id2, &QPushButton::clicked, this, &CPracticeDlg::reject);
}

CPracticeDlg::~CPracticeDlg() {
    leaveSelfTest();
}

QLabel* CPracticeDlg::progressLine() const {
    return ui_->id1042;
}

void CPracticeDlg::initDialog() {
    ui_->id1042->setText(QString());

    SelfTestState& selfTest = link_.selfTest();
    selfTest.loginKind = kLoginUndecided;
    selfTest.practiceWindow = this;
    selfTest.running = true;
    selfTest.dialStarted = false;
    // Left set by a test cancelled between its login and the hang-up, it would
    // turn this test's opening hang-up into "Device ready !".
    selfTest.hangupAfterSuccess = false;
    selfTest.practiceSavedConfig = link_.config();

    // Re-sent every 300 ms for as long as it takes; the user leaves with Cancel.
    hangUp_.start({kHangUp, 0, kFirstHangUpWait, kResendWait}, [this] { onHungUp(); }, {});
    ui_->id1->setEnabled(false);
}

void CPracticeDlg::onHungUp() {
    SelfTestState& selfTest = link_.selfTest();
    if (selfTest.dialStarted) {
        return;
    }
    selfTest.dialStarted = true;
    showPracticeProgress(link_.ui(), SelfTestEvent::Dialing, link_.config());
    // From the dial on, the replies drive the test.
    account_.start({kPppAccount, 0, kResendWait, kResendWait}, [this] { link_.sendRequest(kDial); },
                   {});
}

void CPracticeDlg::onTimer(int id) {
    if (hangUp_.expire(id) || account_.expire(id)) {
        return;
    }
    if (id == TIMER_FOCUS_OK) {
        timers().kill(TIMER_FOCUS_OK);
        applyPaint();
    }
}

void CPracticeDlg::paintRule() {
    if (ui_->id1->isEnabled()) {
        ui_->id1->setFocus(Qt::OtherFocusReason);
    }
}

void CPracticeDlg::reject() {
    if (!ui_->id2->isEnabled()) {
        return; // after "Device ready !" only OK closes the test
    }
    hangUp_.stop();
    account_.stop();
    link_.config() = link_.selfTest().practiceSavedConfig;
    link_.sendRequest(kHangUp);
    SetupDialog::reject();
}

void CPracticeDlg::done(int result) {
    leaveSelfTest();
    SetupDialog::done(result);
}

void CPracticeDlg::leaveSelfTest() {
    // From here on the reply handlers leave this dialog alone.
    SelfTestState& selfTest = link_.selfTest();
    if (selfTest.practiceWindow == this) {
        selfTest.practiceWindow = nullptr;
        selfTest.running = false;
    }
}

void CPracticeDlg::setControlEnabled(SelfTestControl control, bool enabled) {
    if (QPushButton* b = button(int(control))) {
        b->setEnabled(enabled);
    }
}

void CPracticeDlg::setStatusText(const std::string& text) {
    ui_->id1042->setText(fromDeviceText(text));
}

void CPracticeDlg::startTimer(int id, int milliseconds) {
    timers().set(id, milliseconds);
}

bool CPracticeDlg::runLoginTerminal() {
    CLoginTerminalDlg terminal(link_);
    return terminal.exec() == QDialog::Accepted;
}

} // namespace varn
