#include "gui/selftest/login_terminal_dlg.h"

#include "gui/common/field_support.h"
#include "gui/common/message_box.h"
#include "gui/common/window_timers.h"
#include "selftest/self_test.h"
#include "selftest/selftest_state.h"
#include "selftest/terminal_recorder.h"
#include "texts.h"
#include "ui_login_terminal_dlg.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextDocument>

#include <cmath>

namespace varn {

namespace {

const QString kScriptFull = QString::fromLatin1(texts::kScriptFull);

// Keys that edit or enter the typed line; the others (arrows, page keys, copy)
// stay with the display so that it can still be scrolled and copied from.
bool isTypingKey(const QKeyEvent* key) {
    switch (key->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return true;
    default:
        break;
    }
    if (key->matches(QKeySequence::Paste)) {
        return true;
    }
    const Qt::KeyboardModifiers commands = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    return (key->modifiers() & commands) == 0 && !key->text().isEmpty() &&
           key->text().at(0).isPrint();
}

} // namespace

CLoginTerminalDlg::CLoginTerminalDlg(SelfTest& selfTest, QWidget* parent)
    : SetupDialog(parent), selfTest_(selfTest), ui_(std::make_unique<Ui::CLoginTerminalDlg>()) {
    ui_->setupUi(this);
    finishSetup();
    // A resizable window, unlike the other dialogs, that opens with room for
    // the last lines the display keeps in view.
    QPlainTextEdit* display = ui_->id1069;
    const QTextDocument* document = display->document();
    // Laid out, each line takes its spacing rounded up to a whole pixel; half a
    // line to spare keeps a nineteenth out and the eighteenth whole.
    const int lineHeight = int(std::ceil(QFontMetricsF(document->defaultFont()).lineSpacing()));
    const int lines = kTerminalLinesInView * lineHeight + lineHeight / 2;
    const int margins = int(std::ceil(2 * document->documentMargin())) + 2 * display->frameWidth();
    setMinimumSize(160, 80);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(width(), lines + margins);
    ui_->id1069->installEventFilter(this);
    connect(ui_->id1064, &QLineEdit::textChanged, this, &CLoginTerminalDlg::onInputChanged);
    connect(ui_->id1, &QPushButton::clicked, this, &CLoginTerminalDlg::accept);
}

CLoginTerminalDlg::~CLoginTerminalDlg() = default;

QPlainTextEdit* CLoginTerminalDlg::display() const {
    return ui_->id1069;
}

QLineEdit* CLoginTerminalDlg::inputLine() const {
    return ui_->id1064;
}

void CLoginTerminalDlg::initDialog() {
    // A new window starts with an empty input line.
    selfTest_.resetTypedLine();
    ui_->id1069->setFocus(Qt::OtherFocusReason);
    timers().set(TIMER_REFRESH, kRefreshInterval);
}

void CLoginTerminalDlg::showEvent(QShowEvent* event) {
    SetupDialog::showEvent(event);
    // Shown modal, it is on top already.
    move(kScreenX, kScreenY);
}

bool CLoginTerminalDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->id1069 && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            accept();
            return true;
        }
        if (isTypingKey(key)) {
            // The caret of the hidden line stays at its end, as when typing.
            ui_->id1064->end(false);
            QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text(),
                           key->isAutoRepeat(), ushort(key->count()));
            ui_->id1064->event(&copy);
            return true;
        }
    }
    return SetupDialog::eventFilter(watched, event);
}

void CLoginTerminalDlg::onInputChanged() {
    selfTest_.echo(toDeviceText(ui_->id1064->text()));
}

void CLoginTerminalDlg::accept() {
    const std::string line = toDeviceText(ui_->id1064->text().left(int(kEnteredLineSize)));
    ui_->id1064->clear(); // its echo goes with it
    const LineRecord recorded = selfTest_.enterLine(line);
    if (recorded != LineRecord::Recorded && !scriptFullReported_) {
        // The line went to the ISP all the same: the user can finish by hand.
        scriptFullReported_ = true;
        showMessageBox(kScriptFull, QMessageBox::Warning);
    }
}

void CLoginTerminalDlg::onTimer(int id) {
    if (id != TIMER_REFRESH) {
        return;
    }
    // Runs for the life of the window.
    if (selfTest_.pppSeen()) {
        done(QDialog::Accepted);
        return;
    }
    if (selfTest_.takeTerminalChange()) {
        refreshDisplay();
    }
}

void CLoginTerminalDlg::refreshDisplay() {
    const std::string text = selfTest_.displayText();
    QPlainTextEdit* display = ui_->id1069;
    display->setPlainText(fromDeviceText(text));
    // The caret where typing goes, after the echo; the last lines in view, as the
    // display is as tall as kTerminalLinesInView lines.
    display->moveCursor(QTextCursor::End);
    QScrollBar* bar = display->verticalScrollBar();
    bar->setValue(bar->maximum());
}

} // namespace varn
