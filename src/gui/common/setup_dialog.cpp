#include "gui/common/setup_dialog.h"

#include "gui/common/dialog_support.h"
#include "gui/common/window_timers.h"

#include <QPaintEvent>
#include <QRadioButton>

namespace varn {

SetupDialog::SetupDialog(QWidget* parent)
    : QDialog(parent), timers_(new WindowTimers(this, [this](int id) { onTimer(id); })) {}

SetupDialog::~SetupDialog() = default;

void SetupDialog::finishSetup() {
    setFixedSize(size());
    // Enter on a focused push button presses that button; elsewhere it presses
    // the default button.
    for (QPushButton* b : findChildren<QPushButton*>()) {
        b->setAutoDefault(true);
    }
    keepTabOnCheckedRadios(this);
    for (QRadioButton* r : findChildren<QRadioButton*>()) {
        connect(r, &QRadioButton::toggled, this, [this] { keepTabOnCheckedRadios(this); });
    }
}

void SetupDialog::ensureInitialised() {
    if (initialised_) {
        return;
    }
    initialised_ = true;
    initDialog();
}

int SetupDialog::exec() {
    endedEarly_ = false;
    ensureInitialised();
    if (endedEarly_) {
        return result();
    }
    running_ = true;
    const int r = QDialog::exec();
    running_ = false;
    return r;
}

void SetupDialog::showEvent(QShowEvent* event) {
    ensureInitialised();
    QDialog::showEvent(event);
}

void SetupDialog::done(int result) {
    timers_->killAll();
    if (!running_ && !isVisible()) {
        // Ended while initialising: exec returns this without showing.
        endedEarly_ = true;
        setResult(result);
        return;
    }
    QDialog::done(result);
}

void SetupDialog::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (isOwnPaint(this, event)) {
        applyPaint();
    }
}

void SetupDialog::applyPaint() {
    if (painting_) {
        return;
    }
    painting_ = true;
    paintRule();
    painting_ = false;
}

} // namespace varn
