#include "gui/selftest/practice_dlg.h"

#include "gui/common/field_support.h"
#include "gui/common/window_timers.h"
#include "gui/selftest/login_terminal_dlg.h"
#include "link/link.h"
#include "selftest/self_test.h"
#include "ui_practice_dlg.h"

namespace varn {

CPracticeDlg::CPracticeDlg(Link& link, SelfTest& selfTest, QWidget* parent)
    : SetupDialog(parent), link_(link), selfTest_(selfTest),
      ui_(std::make_unique<Ui::CPracticeDlg>()),
      hangUp_(timers(), TIMER_HANG_UP, link, hangUpLooks_),
      account_(timers(), TIMER_ACCOUNT, link, accountLooks_) {
    ui_->setupUi(this);
    finishSetup();
    connect(ui_->id1, &QPushButton::clicked, this, &CPracticeDlg::accept);
    connect(ui_->id2, &QPushButton::clicked, this, &CPracticeDlg::reject);
}

CPracticeDlg::~CPracticeDlg() {
    selfTest_.end(*this);
}

QLabel* CPracticeDlg::progressLine() const {
    return ui_->id1042;
}

void CPracticeDlg::initDialog() {
    ui_->id1042->setText(QString());

    selfTest_.begin(*this);
    // Re-sent every 300 ms for as long as it takes; the user leaves with Cancel.
    hangUp_.start({kHangUp, 0, kFirstHangUpWait, kResendWait}, [this] { onHungUp(); }, {});
    ui_->id1->setEnabled(false);
}

void CPracticeDlg::onHungUp() {
    if (!selfTest_.startDialing()) {
        return;
    }
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
    selfTest_.cancel();
    SetupDialog::reject();
}

void CPracticeDlg::done(int result) {
    // From here on the reply handlers leave this dialog alone.
    selfTest_.end(*this);
    SetupDialog::done(result);
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
    CLoginTerminalDlg terminal(selfTest_);
    return terminal.exec() == QDialog::Accepted;
}

} // namespace varn
