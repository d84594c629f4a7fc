#include "gui/selftest/practice_dlg.h"

#include "protocol/device_config.h"
#include "gui/selftest/login_terminal_dlg.h"
#include "link/device_state.h"
#include "link/link.h"
#include "gui/common/field_support.h"
#include "gui/common/window_timers.h"
#include "ui_practice_dlg.h"

CPracticeDlg::CPracticeDlg(varn::Link& link, QWidget* parent)
    : SetupDialog(parent), link_(link), ui_(std::make_unique<Ui::CPracticeDlg>()),
      hangUp_(timers(), TIMER_HANG_UP, link, hangUpLooks_),
      account_(timers(), TIMER_ACCOUNT, link, accountLooks_) {
    ui_->setupUi(this);
    finishSetup();
    connect(ui_->id1, &QPushButton::clicked, this, &CPracticeDlg::accept);
    connect(ui_->id2, &QPushButton::clicked, this, &CPracticeDlg::reject);
}

CPracticeDlg::~CPracticeDlg() {
    leavePractice();
}

QLabel* CPracticeDlg::progressLine() const {
    return ui_->id1042;
}

void CPracticeDlg::initDialog() {
    ui_->id1042->setText(QString());

    varn::PracticeState& practice = link_.practice();
    practice.loginKind = varn::kLoginUndecided;
    practice.practiceWindow = this;
    practice.running = true;
    practice.dialStarted = false;
    // Left set by a test cancelled between its login and the hang-up, it would
    // turn this test's opening hang-up into "Device ready !".
    practice.hangupAfterSuccess = false;
    practice.practiceSavedConfig = link_.config();

    // Re-sent every 300 ms for as long as it takes; the user leaves with Cancel.
    hangUp_.start({varn::kHangUp, 0, kFirstHangUpWait, kResendWait}, [this] { onHungUp(); }, {});
    ui_->id1->setEnabled(false);
}

void CPracticeDlg::onHungUp() {
    varn::PracticeState& practice = link_.practice();
    if (practice.dialStarted) {
        return;
    }
    practice.dialStarted = true;
    varn::showPracticeProgress(link_.ui(), varn::PracticeEvent::Dialing, link_.config());
    // From the dial on, the replies drive the test.
    account_.start({varn::kPppAccount, 0, kResendWait, kResendWait},
                   [this] { link_.sendRequest(varn::kDial); }, {});
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
    link_.config() = link_.practice().practiceSavedConfig;
    link_.sendRequest(varn::kHangUp);
    SetupDialog::reject();
}

void CPracticeDlg::done(int result) {
    leavePractice();
    SetupDialog::done(result);
}

void CPracticeDlg::leavePractice() {
    // From here on the reply handlers leave this dialog alone.
    varn::PracticeState& practice = link_.practice();
    if (practice.practiceWindow == this) {
        practice.practiceWindow = nullptr;
        practice.running = false;
    }
}

void CPracticeDlg::setControlEnabled(varn::PracticeControl control, bool enabled) {
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
