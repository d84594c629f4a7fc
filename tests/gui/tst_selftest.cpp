// The connection self-test: its opening hang-up and account hand-over on timers
// 17 and 19, the stages the replies show, how it ends with OK or Cancel, and the
// Login Terminal it opens for a terminal ISP.

#include "gui_test_support.h"

#include "gui/common/window_timers.h"
#include "gui/selftest/login_terminal_dlg.h"
#include "gui/selftest/practice_dlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

using namespace guitest;

namespace {

struct SelfTestRig : LinkRig {
    MessageRecorder messages;
    varn::DeviceConfig original;

    SelfTestRig() {
        link.setTargetAddress(addr(192, 168, 1, 20));
        config.setDeviceName("AP");
        config.setPhoneNumber("5551234");
        config.setLoginMode(varn::LoginMode::Ppp);
        config.setPppUserName("alice");
        config.setPppPassword("secret");
        original = config;
        selfTest.obtainTerminalText(); // as Verify setting does
    }
    void dispatch(const Bytes& reply) {
        port.queue(reply);
        link.dispatchReply();
    }
    std::uint8_t lastSent() const { return port.sent.back().data.at(6); }
};

QString progress(CPracticeDlg* d) {
    return d->progressLine()->text();
}

// Which of the stage buttons Dial, Terminal, PPP, Complete are enabled.
QString stages(CPracticeDlg* d) {
    QString s;
    for (int id = 1038; id <= 1041; ++id) {
        s += d->button(id)->isEnabled() ? '1' : '0';
    }
    return s;
}

// Hang-up answered, account answered, dial sent.
void reachDial(SelfTestRig& rig, CPracticeDlg* d) {
    rig.dispatch(ack(varn::kHangUp));
    QVERIFY(d->timers().fire(CPracticeDlg::TIMER_HANG_UP));
    rig.dispatch(ack(varn::kPppAccount));
    QVERIFY(d->timers().fire(CPracticeDlg::TIMER_ACCOUNT));
    QCOMPARE(rig.lastSent(), varn::kDial);
}

// Counts Login Terminal windows that open, closing each with Cancel.
struct TerminalWatch {
    int opened = 0;
    QTimer poll;
    TerminalWatch() {
        QObject::connect(&poll, &QTimer::timeout, [this] {
            if (auto* t = qobject_cast<CLoginTerminalDlg*>(QApplication::activeModalWidget())) {
                ++opened;
                t->reject();
            }
        });
        poll.start(5);
    }
};

} // namespace

class TestSelfTest : public QObject {
    Q_OBJECT

  private slots:
    // The test always hangs up first, re-sends 9 and 15 every 300 ms while they
    // are unanswered, and dials only after both were answered.
    void hangsUpThenHandsOverTheAccountThenDials() {
        SelfTestRig rig;
        CPracticeDlg dlg(rig.link, rig.test);
        auto script = whenModal<CPracticeDlg>([&](CPracticeDlg* d) {
            QCOMPARE(d->windowTitle(), QString("Configuration - User Practicing"));
            QCOMPARE(progress(d), QString());
            QCOMPARE(stages(d), QString("0000"));
            QVERIFY(!d->button(1)->isEnabled());
            QVERIFY(d->button(2)->isEnabled());
            QVERIFY(rig.selfTest.running);
            QCOMPARE(rig.selfTest.practiceWindow, static_cast<varn::SelfTestView*>(d));
            QCOMPARE(rig.selfTest.loginKind, varn::kLoginUndecided);
            QVERIFY(!rig.selfTest.dialStarted);
            QVERIFY(rig.selfTest.practiceSavedConfig == rig.original);

            QCOMPARE(rig.port.sentTypes(), std::vector<int>{varn::kHangUp});
            QCOMPARE(d->timers().interval(CPracticeDlg::TIMER_HANG_UP), 500);
            QVERIFY(d->timers().fire(CPracticeDlg::TIMER_HANG_UP));
            QCOMPARE(rig.port.sentTypes(), (std::vector<int>{varn::kHangUp, varn::kHangUp}));
            QCOMPARE(d->timers().interval(CPracticeDlg::TIMER_HANG_UP), 300);
            QCOMPARE(progress(d), QString());

            rig.dispatch(ack(varn::kHangUp));
            QVERIFY(d->timers().fire(CPracticeDlg::TIMER_HANG_UP));
            QVERIFY(!d->timers().isActive(CPracticeDlg::TIMER_HANG_UP));
            QVERIFY(rig.selfTest.dialStarted);
            QCOMPARE(progress(d), QString("Dialing... 5551234"));
            QCOMPARE(stages(d), QString("1000"));
            QCOMPARE(rig.lastSent(), varn::kPppAccount);
            QCOMPARE(d->timers().interval(CPracticeDlg::TIMER_ACCOUNT), 300);

            QVERIFY(d->timers().fire(CPracticeDlg::TIMER_ACCOUNT));
            QCOMPARE(rig.port.count(varn::kPppAccount), 2);
            QCOMPARE(d->timers().interval(CPracticeDlg::TIMER_ACCOUNT), 300);
            QCOMPARE(rig.port.count(varn::kDial), 0);

            rig.dispatch(ack(varn::kPppAccount));
            QVERIFY(d->timers().fire(CPracticeDlg::TIMER_ACCOUNT));
            QVERIFY(!d->timers().isActive(CPracticeDlg::TIMER_ACCOUNT));
            QCOMPARE(rig.port.sent.back().data,
                     varn::fakes::concat({varn::fakes::bytes("Quorix\x03\0"),
                                          varn::fakes::bytes("5551234"), Bytes(9, 0)}));
            QTest::mouseClick(d->button(2), Qt::LeftButton);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QVERIFY(!rig.selfTest.running);
        QCOMPARE(rig.selfTest.practiceWindow, nullptr);
    }

    // PPP framing in the first data skips the terminal; "Device ready !" comes
    // only with the hang-up's acknowledgement, and then only OK closes the test.
    void pppLoginEndsReadyAfterTheHangUp() {
        SelfTestRig rig;
        rig.config.setLoginMode(varn::LoginMode::Terminal);
        TerminalWatch terminals;
        CPracticeDlg dlg(rig.link, rig.test);
        auto script = whenModal<CPracticeDlg>([&](CPracticeDlg* d) {
            reachDial(rig, d);
            rig.dispatch(resultReply(varn::kDial, 0));
            QCOMPARE(progress(d), QString("Terminal Mode Login ..."));
            QCOMPARE(stages(d), QString("0100"));

            rig.dispatch(terminalReply(kPppFraming));
            QCOMPARE(terminals.opened, 0);
            QCOMPARE(rig.config.loginMode(), 2);
            QCOMPARE(progress(d), QString("PPP Connecting ..."));
            QCOMPARE(stages(d), QString("0010"));
            QCOMPARE(rig.lastSent(), varn::kLogin);
            QCOMPARE(rig.port.sent.back().data.at(8), varn::kLoginPpp);

            rig.dispatch(resultReply(varn::kLogin, 0));
            QCOMPARE(progress(d), QString("Success ! Now, hang up phone ..."));
            QCOMPARE(stages(d), QString("0001"));
            QCOMPARE(rig.lastSent(), varn::kHangUp);
            QVERIFY(!d->button(1)->isEnabled());

            rig.dispatch(ack(varn::kHangUp));
            QCOMPARE(progress(d), QString("Device ready !"));
            QVERIFY(d->button(1)->isEnabled());
            QVERIFY(!d->button(2)->isEnabled());
            QCOMPARE(d->timers().interval(CPracticeDlg::TIMER_FOCUS_OK), 100);
            QVERIFY(d->timers().fire(CPracticeDlg::TIMER_FOCUS_OK));
            QVERIFY(!d->timers().isActive(CPracticeDlg::TIMER_FOCUS_OK));
            QCOMPARE(d->focusWidget(), d->button(1));

            const std::size_t sent = rig.port.sent.size();
            QTest::keyClick(d, Qt::Key_Escape);
            QVERIFY(d->isVisible());
            QCOMPARE(rig.port.sent.size(), sent);
            QTest::keyClick(d->focusWidget(), Qt::Key_Return);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QCOMPARE(rig.config.loginMode(), 2);
        QCOMPARE(rig.config.pppUserName(), std::string("alice"));
        QVERIFY(!rig.selfTest.running);
    }

    // A dial or PPP failure shows its text and hangs up; only Cancel is left.
    void failureShowsItsTextAndHangsUp_data() {
        QTest::addColumn<int>("stage");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("dial") << int(varn::kDial) << 4 << "Dial Error - No dial tone";
        QTest::newRow("ppp") << int(varn::kLogin) << 6 << "PPP Error - PAP Invalid Password !";
    }
    void failureShowsItsTextAndHangsUp() {
        QFETCH(int, stage);
        QFETCH(int, code);
        QFETCH(QString, text);
        SelfTestRig rig;
        CPracticeDlg dlg(rig.link, rig.test);
        auto script = whenModal<CPracticeDlg>([&](CPracticeDlg* d) {
            reachDial(rig, d);
            if (stage == varn::kLogin) {
                rig.dispatch(resultReply(varn::kDial, 0));
                rig.dispatch(terminalReply(kPppFraming));
            }
            rig.dispatch(resultReply(stage, std::uint8_t(code)));
            QCOMPARE(progress(d), text);
            QCOMPARE(rig.lastSent(), varn::kHangUp);
            rig.dispatch(ack(varn::kHangUp));
            QCOMPARE(progress(d), text);
            QVERIFY(!d->button(1)->isEnabled());
            QTest::keyClick(d, Qt::Key_Escape);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QVERIFY(rig.config == rig.original);
        QCOMPARE(rig.lastSent(), varn::kHangUp);
    }

    // A terminal login recorded and abandoned: the terminal's Cancel hangs up and
    // the test stays on its stage; the test's Cancel restores the whole block.
    void cancelRestoresTheBlockAndDiscardsTheRecordedScript() {
        SelfTestRig rig;
        CPracticeDlg dlg(rig.link, rig.test);
        auto script = whenModal<CPracticeDlg>([&](CPracticeDlg* d) {
            reachDial(rig, d);
            rig.dispatch(resultReply(varn::kDial, 0));
            auto terminal = whenModal<CLoginTerminalDlg>([&](CLoginTerminalDlg* t) {
                QCOMPARE(rig.config.loginMode(), 1);
                QTest::keyClicks(t->display(), "guest");
                QTest::keyClick(t->display(), Qt::Key_Return);
                QCOMPARE(rig.config.scriptResponse(0), std::string("guest"));
                QCOMPARE(rig.lastSent(), varn::kTerminalResponse);
                QTest::keyClick(t->display(), Qt::Key_Escape);
            });
            rig.port.deliver(terminalReply("login: "));
            QTRY_VERIFY(terminal.ran() && rig.lastSent() == varn::kHangUp);
            QVERIFY(d->isVisible());
            QCOMPARE(progress(d), QString("Terminal Mode Login ..."));
            QTest::mouseClick(d->button(2), Qt::LeftButton);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QVERIFY(rig.config == rig.original);
        QCOMPARE(rig.lastSent(), varn::kHangUp);
    }

    // The terminal closes itself when the ISP goes PPP; the login then goes on
    // with kind 1 and OK keeps the recorded script.
    void terminalLoginClosesItselfWhenPppStarts() {
        SelfTestRig rig;
        CPracticeDlg dlg(rig.link, rig.test);
        auto script = whenModal<CPracticeDlg>([&](CPracticeDlg* d) {
            reachDial(rig, d);
            rig.dispatch(resultReply(varn::kDial, 0));
            auto terminal = whenModal<CLoginTerminalDlg>([&](CLoginTerminalDlg* t) {
                QTest::keyClicks(t->display(), "guest");
                QTest::keyClick(t->display(), Qt::Key_Return);
                rig.dispatch(terminalReply("\r\nWelcome\r\n" + kPppFraming));
                QCOMPARE(progress(d), QString("PPP Connecting ..."));
                QCOMPARE(rig.lastSent(), varn::kLogin);
                QCOMPARE(rig.port.sent.back().data.at(8), varn::kLoginTerminal);
                QVERIFY(t->timers().fire(CLoginTerminalDlg::TIMER_REFRESH));
                QVERIFY(!t->isVisible());
            });
            rig.port.deliver(terminalReply("login: "));
            QTRY_VERIFY(terminal.ran() && rig.lastSent() == varn::kLogin);
            rig.dispatch(resultReply(varn::kLogin, 0));
            rig.dispatch(ack(varn::kHangUp));
            QCOMPARE(progress(d), QString("Device ready !"));
            QTest::mouseClick(d->button(1), Qt::LeftButton);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QCOMPARE(rig.config.loginMode(), 1);
        QCOMPARE(rig.config.scriptPrompt(0), std::string("login: "));
        QCOMPARE(rig.config.scriptResponse(0), std::string("guest"));
    }

    // A test cancelled between its login and the hang-up must not make the next
    // one's opening hang-up read as "Device ready !".
    void anEarlierTestsSuccessDoesNotCarryOver() {
        SelfTestRig rig;
        rig.selfTest.hangupAfterSuccess = true;
        CPracticeDlg dlg(rig.link, rig.test);
        auto script = whenModal<CPracticeDlg>([&](CPracticeDlg* d) {
            rig.dispatch(ack(varn::kHangUp));
            QCOMPARE(progress(d), QString());
            QVERIFY(!d->button(1)->isEnabled());
            QVERIFY(d->timers().fire(CPracticeDlg::TIMER_HANG_UP));
            QCOMPARE(progress(d), QString("Dialing... 5551234"));
            d->reject();
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        // Closed, the test no longer hears its replies.
        rig.dispatch(resultReply(varn::kDial, 4));
        QCOMPARE(rig.lastSent(), varn::kHangUp);
        QCOMPARE(rig.port.count(varn::kHangUp), 2);
    }
};

QTEST_MAIN(TestSelfTest)
#include "tst_selftest.moc"

using namespace varn;
