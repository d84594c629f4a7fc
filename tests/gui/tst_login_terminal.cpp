// The Login Terminal: its window, typing into the hidden input line, the echo,
// line entry with request 5, the display's last lines, the end once PPP starts,
// and what it tells the user when the script or the display is full. The script
// routine itself is tested without a window (tests/core).

#include "gui_test_support.h"

#include "gui/common/window_timers.h"
#include "gui/selftest/login_terminal_dlg.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>

using namespace guitest;

namespace {

// The state a terminal login starts from: text came after a dial.
struct TerminalRig : LinkRig {
    MessageRecorder messages;
    CLoginTerminalDlg dlg{test};

    TerminalRig() {
        link.setTargetAddress(addr(192, 168, 1, 20));
        selfTest.obtainTerminalText();
        selfTest.running = true;
        selfTest.loginKind = varn::kLoginTerminal;
        selfTest.scriptSlot = -1;
        config.setLoginMode(varn::LoginMode::Terminal);
        config.clearLoginArea();
    }
    void receive(const std::string& text) {
        port.queue(terminalReply(text));
        link.dispatchReply();
    }
    void refresh() { QVERIFY(dlg.timers().fire(CLoginTerminalDlg::TIMER_REFRESH)); }
    // The text of request 5 last sent, and its length field.
    std::pair<std::string, int> lastResponse() const {
        const Bytes& d = port.sent.back().data;
        return {std::string(reinterpret_cast<const char*>(d.data()) + 10),
                varn::readLe16(d.data() + 8)};
    }
};

QString lineAt(QPlainTextEdit* display, QPoint where) {
    return display->cursorForPosition(where).block().text();
}

} // namespace

class TestLoginTerminal : public QObject {
    Q_OBJECT

  private slots:
    void opensAtTwentyFiveWithTheDisplayFocused() {
        TerminalRig rig;
        auto script = whenModal<CLoginTerminalDlg>([&](CLoginTerminalDlg* d) {
            QCOMPARE(d->windowTitle(), QString("Login Terminal"));
            QCOMPARE(d->pos(), QPoint(25, 25));
            QCOMPARE(d->focusWidget(), d->display());
            QVERIFY(d->display()->isReadOnly());
            QVERIFY(!d->inputLine()->isVisible());
            QVERIFY(!d->button(1)->isVisible());
            QCOMPARE(d->timers().interval(CLoginTerminalDlg::TIMER_REFRESH), 100);
            QTest::keyClick(d->display(), Qt::Key_Escape);
        });
        QCOMPARE(rig.dlg.exec(), int(QDialog::Rejected));
    }

    // Keys typed in the display reach the hidden line; its echo follows the
    // received text; Enter records and sends the line and the window stays.
    void typedLineIsEchoedAndEnteredWithEnter() {
        TerminalRig rig;
        auto script = whenModal<CLoginTerminalDlg>([&](CLoginTerminalDlg* d) {
            rig.receive("Welcome\r\nlogin: ");
            rig.refresh();
            QCOMPARE(d->display()->toPlainText(), QString("Welcome\nlogin: "));
            QTest::keyClicks(d->display(), "guesx");
            QTest::keyClick(d->display(), Qt::Key_Backspace);
            QTest::keyClicks(d->display(), "t");
            QCOMPARE(d->inputLine()->text(), QString("guest"));
            QVERIFY(rig.selfTest.terminalDirty);
            rig.refresh();
            QCOMPARE(d->display()->toPlainText(), QString("Welcome\nlogin: guest"));
            QVERIFY(d->display()->textCursor().atEnd()); // the caret where typing goes

            QTest::keyClick(d->display(), Qt::Key_Return);
            QVERIFY(d->isVisible());
            QCOMPARE(d->inputLine()->text(), QString());
            QCOMPARE(rig.port.sentTypes(), std::vector<int>{varn::kTerminalResponse});
            QCOMPARE(rig.lastResponse(), std::make_pair(std::string("guest"), 5));
            QCOMPARE(rig.config.scriptPrompt(0), std::string("login: "));
            QCOMPARE(rig.config.scriptResponse(0), std::string("guest"));
            rig.refresh();
            QCOMPARE(d->display()->toPlainText(), QString("Welcome\nlogin: "));

            // Enter on an empty line: an empty response, sent all the same.
            rig.receive("\r\nPress Enter");
            QTest::keyClick(d->display(), Qt::Key_Enter);
            QCOMPARE(rig.port.sent.size(), std::size_t(2));
            QCOMPARE(rig.lastResponse(), std::make_pair(std::string(), 0));
            QCOMPARE(rig.config.scriptOffset(1), rig.config.scriptOffset(2));
            d->reject();
        });
        QCOMPARE(rig.dlg.exec(), int(QDialog::Rejected));
    }

    void longLineEchoesWholeButSendsSixteen() {
        TerminalRig rig;
        auto script = whenModal<CLoginTerminalDlg>([&](CLoginTerminalDlg* d) {
            rig.receive("Password:");
            QTest::keyClicks(d->display(), "abcdefghijklmnopqrst");
            rig.refresh();
            QCOMPARE(d->display()->toPlainText(), QString("Password:abcdefghijklmnopqrst"));
            QTest::keyClick(d->display(), Qt::Key_Return);
            QCOMPARE(rig.lastResponse(), std::make_pair(std::string("abcdefghijklmnop"), 16));
            QCOMPARE(rig.config.scriptResponse(0), std::string("abcdefghijklmnop"));
            d->reject();
        });
        QCOMPARE(rig.dlg.exec(), int(QDialog::Rejected));
    }

    void displayShowsTheLastEighteenLines() {
        TerminalRig rig;
        auto script = whenModal<CLoginTerminalDlg>([&](CLoginTerminalDlg* d) {
            std::string text;
            for (int i = 0; i < 30; ++i) {
                text += "line " + std::to_string(i) + "\r\n";
            }
            rig.receive(text + "login: ");
            rig.refresh();
            QPlainTextEdit* display = d->display();
            const QRect view = display->viewport()->rect();
            QCOMPARE(lineAt(display, view.topLeft() + QPoint(1, 1)), QString("line 13"));
            QCOMPARE(lineAt(display, view.bottomLeft() + QPoint(1, -1)), QString("login: "));
            QVERIFY(display->textCursor().atEnd());
            QVERIFY(view.contains(display->cursorRect()));
            // Earlier lines are still there for the scroll bar.
            display->verticalScrollBar()->setValue(0);
            QCOMPARE(lineAt(display, view.topLeft() + QPoint(1, 1)), QString("line 0"));
            d->reject();
        });
        QCOMPARE(rig.dlg.exec(), int(QDialog::Rejected));
    }

    void closesWithOkOncePppIsSeen() {
        TerminalRig rig;
        auto script = whenModal<CLoginTerminalDlg>([&](CLoginTerminalDlg* d) {
            rig.receive("login: ");
            rig.refresh();
            QVERIFY(d->isVisible());
            rig.receive("\r\nStarting PPP\r\n" + kPppFraming);
            QVERIFY(rig.selfTest.pppSeen);
            rig.refresh();
        });
        QCOMPARE(rig.dlg.exec(), int(QDialog::Accepted));
    }

    // A fifth prompt: the user is told once, and the lines still go out.
    void fullScriptIsToldOnceAndTheLoginGoesOn() {
        TerminalRig rig;
        auto script = whenModal<CLoginTerminalDlg>([&](CLoginTerminalDlg* d) {
            for (const char* prompt : {"one:", "two:", "three:", "four:", "five:", "six:"}) {
                rig.receive(std::string("\r\n") + prompt);
                QTest::keyClicks(d->display(), "r");
                QTest::keyClick(d->display(), Qt::Key_Return);
            }
            QCOMPARE(rig.messages.texts,
                     QStringList{"VARN : Login script is full, lines that do not fit are sent "
                                 "but not recorded."});
            QCOMPARE(rig.messages.icons.front(), QMessageBox::Warning);
            QCOMPARE(rig.port.count(varn::kTerminalResponse), 6);
            QCOMPARE(rig.lastResponse(), std::make_pair(std::string("r"), 1));
            QVERIFY(d->isVisible());
            d->reject();
        });
        QCOMPARE(rig.dlg.exec(), int(QDialog::Rejected));
    }

    // A full display says so; typing and line entry still work.
    void fullDisplayIsToldAndLinesStillGoOut() {
        TerminalRig rig;
        auto script = whenModal<CLoginTerminalDlg>([&](CLoginTerminalDlg* d) {
            rig.selfTest.terminalEnd = varn::kTerminalTextSize - 8;
            rig.receive("Password: ");
            QCOMPARE(rig.messages.texts,
                     QStringList{"VARN : Terminal buffer is full, further text is not shown."});
            QTest::keyClicks(d->display(), "pw");
            QTest::keyClick(d->display(), Qt::Key_Return);
            QCOMPARE(rig.lastResponse(), std::make_pair(std::string("pw"), 2));
            QVERIFY(d->isVisible());
            d->reject();
        });
        QCOMPARE(rig.dlg.exec(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(TestLoginTerminal)
#include "tst_login_terminal.moc"

using namespace varn;
