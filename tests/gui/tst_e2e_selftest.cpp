// The self-test and the Login Terminal against the appliance simulator over real
// UDP sockets on loopback, run as Verify setting runs them on a block read from
// the appliance: a PPP ISP that logs in, one that refuses the password, a dial
// that fails, and a terminal ISP whose login is typed by hand and recorded. The
// logins run against appliances as they differ: the PPP account acknowledged
// with 0x8F or as a write (0x87), and acknowledgements of seven bytes.

#include "simulator_rig.h"

#include "gui/config/config_dlg.h"
#include "gui/config/login_script_dlg.h"
#include "gui/selftest/login_terminal_dlg.h"
#include "gui/selftest/practice_dlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

using namespace guitest;

namespace {

const char kScenario[] = R"({
  "appliances": [
    { "name": "PPP-Good", "phone_number": "5550001", "login_mode": 2,
      "ppp_user": "office@isp", "ppp_password": "s3cret",
      "isp": { "kind": "ppp", "user": "office@isp", "password": "s3cret" } },
    { "name": "PPP-Refused", "phone_number": "5550002", "login_mode": 2,
      "ppp_user": "office@isp", "ppp_password": "wrong",
      "isp": { "kind": "ppp", "ppp_result": 6 } },
    { "name": "Dial-Busy", "phone_number": "5550003",
      "isp": { "kind": "dial_failure", "dial_result": 5 } },
    { "name": "Text-ISP", "phone_number": "5550004", "login_mode": 2, "ppp_user": "old",
      "isp": { "kind": "terminal", "prompts": [
        { "prompt": "Welcome\r\nlogin: ", "expect": "lab" },
        { "prompt": "Password: ", "expect": "pw1234" } ] } },
    { "name": "Text-Script", "phone_number": "5550005", "login_mode": 1,
      "isp": { "kind": "terminal", "prompts": [
        { "prompt": "Welcome\r\nlogin: ", "expect": "lab" },
        { "prompt": "Password: ", "expect": "pw1234" } ] } }
  ]
})";

const int kAppliances = 5;

// The utility's side on loopback, with its message boxes kept.
struct SimLink : LoopbackUtility {
    MessageRecorder messages;

    using LoopbackUtility::LoopbackUtility;

    void readConfigOf(const std::string& name) { LoopbackUtility::readConfigOf(name, kAppliances); }
};

QString progress(CPracticeDlg* d) {
    return d->progressLine()->text();
}

// Types the Text ISPs' login in the terminal window, as a user does.
void typeTheLogin(CLoginTerminalDlg* t) {
    QPlainTextEdit* display = t->display();
    QTRY_VERIFY_WITH_TIMEOUT(display->toPlainText().endsWith("login: "), 3000);
    QTest::keyClicks(display, "lab");
    QTest::keyClick(display, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(display->toPlainText().endsWith("Password: "), 3000);
    QTest::keyClicks(display, "pw1234");
    QTest::keyClick(display, Qt::Key_Return);
    // The ISP goes PPP and the window closes by itself.
    QTRY_VERIFY_WITH_TIMEOUT(!t->isVisible(), 3000);
    QCOMPARE(t->result(), int(QDialog::Accepted));
}

// Runs the self-test as Verify setting does: with a terminal buffer obtained
// before and released after. Returns how it ended.
int runSelfTest(SimLink& rig, std::function<void(CPracticeDlg*)> body) {
    if (!rig.selfTest.obtainTerminalText()) {
        return -2;
    }
    CPracticeDlg dlg(rig.link, rig.test);
    auto script = whenModal<CPracticeDlg>(std::move(body));
    const int result = dlg.exec();
    rig.selfTest.releaseTerminalText();
    return result;
}

} // namespace

class TestEndToEndSelfTest : public QObject {
    Q_OBJECT

    SimulatorFixture sim;
    SimulatorFixture writeAckSim; // acknowledges the PPP account with 0x87
    SimulatorFixture shortAckSim; // the same, and every acknowledgement in 7 bytes

    // The simulators the logins run against, one row each.
    void appliancesAsTheyDiffer() {
        QTest::addColumn<std::uint16_t>("port");
        QTest::newRow("account acknowledged with 0x8F") << sim.port;
        QTest::newRow("account acknowledged with 0x87") << writeAckSim.port;
        QTest::newRow("7-byte acknowledgements") << shortAckSim.port;
    }

  private slots:
    void initTestCase() {
        QString error = sim.start(kScenario);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        error = writeAckSim.start(kScenario, {"--account-reply", "0x87"});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        error = shortAckSim.start(kScenario, {"--account-reply", "0x87", "--short-acks"});
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    void pppIspLogsInAndTheTestEndsReady_data() { appliancesAsTheyDiffer(); }
    void pppIspLogsInAndTheTestEndsReady() {
        QFETCH(std::uint16_t, port);
        SimLink rig(port);
        rig.readConfigOf("PPP-Good");
        const int result = runSelfTest(rig, [&](CPracticeDlg* d) {
            QTRY_COMPARE_WITH_TIMEOUT(progress(d), QString("Device ready !"), 5000);
            QVERIFY(!d->button(2)->isEnabled());
            QTRY_COMPARE_WITH_TIMEOUT(d->focusWidget(), d->button(1), 1000);
            QTest::keyClick(d->focusWidget(), Qt::Key_Return);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(rig.ui.statuses,
                 (QStringList{"Dialing... 5550001", "Terminal Mode Login ...", "PPP Connecting ...",
                              "Success ! Now, hang up phone ...", "Device ready !"}));
        QCOMPARE(rig.config.loginMode(), 2);
        QCOMPARE(rig.config.pppUserName(), std::string("office@isp"));
        QVERIFY(rig.messages.texts.isEmpty());
    }

    void refusedPppLoginShowsItsCodeAndCancelRestores() {
        SimLink rig(sim.port);
        rig.readConfigOf("PPP-Refused");
        const varn::DeviceConfig before = rig.config;
        const int result = runSelfTest(rig, [&](CPracticeDlg* d) {
            QTRY_COMPARE_WITH_TIMEOUT(progress(d), QString("PPP Error - PAP Invalid Password !"),
                                      5000);
            // The hang-up is acknowledged, and nothing more comes.
            QTRY_COMPARE_WITH_TIMEOUT(rig.link.awaitedReply(), std::uint8_t(0), 2000);
            QTest::qWait(300);
            QCOMPARE(progress(d), QString("PPP Error - PAP Invalid Password !"));
            QVERIFY(!d->button(1)->isEnabled());
            QTest::mouseClick(d->button(2), Qt::LeftButton);
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QVERIFY(rig.config == before);
    }

    void failedDialShowsItsText() {
        SimLink rig(sim.port);
        rig.readConfigOf("Dial-Busy");
        const int result = runSelfTest(rig, [&](CPracticeDlg* d) {
            QTRY_COMPARE_WITH_TIMEOUT(progress(d), QString("Dial Error - Telephone line Busy"),
                                      5000);
            QTest::keyClick(d, Qt::Key_Escape);
        });
        QCOMPARE(result, int(QDialog::Rejected));
    }

    // The login typed in the terminal window becomes the appliance's script, and
    // goes back to the appliance with the configuration.
    void terminalLoginIsTypedAndRecorded_data() { appliancesAsTheyDiffer(); }
    void terminalLoginIsTypedAndRecorded() {
        QFETCH(std::uint16_t, port);
        SimLink rig(port);
        rig.readConfigOf("Text-ISP");
        const int result = runSelfTest(rig, [&](CPracticeDlg* d) {
            auto terminal = whenModal<CLoginTerminalDlg>(
                [&](CLoginTerminalDlg* t) {
                    QCOMPARE(progress(d), QString("Terminal Mode Login ..."));
                    typeTheLogin(t);
                },
                8000);
            QTRY_VERIFY_WITH_TIMEOUT(terminal.ran(), 8000);
            QTRY_COMPARE_WITH_TIMEOUT(progress(d), QString("Device ready !"), 5000);
            QTest::mouseClick(d->button(1), Qt::LeftButton);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(rig.ui.statuses,
                 (QStringList{"Dialing... 5550004", "Terminal Mode Login ...", "PPP Connecting ...",
                              "Success ! Now, hang up phone ...", "Device ready !"}));
        QCOMPARE(rig.config.loginMode(), 1);
        QCOMPARE(rig.config.scriptPrompt(0), std::string("login: "));
        QCOMPARE(rig.config.scriptResponse(0), std::string("lab"));
        QCOMPARE(rig.config.scriptPrompt(1), std::string("ssword: "));
        QCOMPARE(rig.config.scriptResponse(1), std::string("pw1234"));
        QCOMPARE(rig.config.scriptPrompt(2), std::string());

        // Saved and read back, the appliance has the script.
        const varn::DeviceConfig recorded = rig.config;
        rig.link.sendRequest(varn::kWriteConfig);
        QTRY_COMPARE_WITH_TIMEOUT(rig.link.awaitedReply(), std::uint8_t(0), 2000);
        rig.config = varn::DeviceConfig();
        rig.link.sendRequest(varn::kReadConfig);
        QTRY_VERIFY_WITH_TIMEOUT(rig.link.configReceived(), 2000);
        QVERIFY(rig.config == recorded);
    }

    // As a user does it from the Configuration dialog: Verify setting runs the
    // self-test, the login typed in the terminal is recorded, the login script
    // editor shows it, and Save writes it to the appliance.
    void verifySettingRecordsAScriptThatTheEditorShowsAndSaveWrites() {
        SimLink rig(sim.port);
        rig.readConfigOf("Text-Script");
        CConfigDlg config(rig.link, rig.config, rig.test);
        auto script = whenModal<CConfigDlg>([&](CConfigDlg* c) {
            auto selfTest = whenModal<CPracticeDlg>([&](CPracticeDlg* d) {
                auto terminal = whenModal<CLoginTerminalDlg>(typeTheLogin, 8000);
                QTRY_VERIFY_WITH_TIMEOUT(terminal.ran(), 8000);
                QTRY_COMPARE_WITH_TIMEOUT(progress(d), QString("Device ready !"), 5000);
                QTest::mouseClick(d->button(1), Qt::LeftButton);
            });
            QTest::mouseClick(c->button(1008), Qt::LeftButton); // Verify setting
            QVERIFY(selfTest.ran());
            QVERIFY(c->button(1050)->isEnabled());
            QVERIFY(c->button(1050)->isDefault());

            auto editor = whenModal<CLoginScriptDlg>([](CLoginScriptDlg* e) {
                QCOMPARE(e->control<QLineEdit>(1074)->text(), QString("login: "));
                QCOMPARE(e->control<QLineEdit>(1049)->text(), QString("lab"));
                QCOMPARE(e->control<QLineEdit>(1076)->text(), QString("ssword: "));
                QCOMPARE(e->control<QLineEdit>(1050)->text(), QString("pw1234"));
                QCOMPARE(e->control<QLineEdit>(1077)->text(), QString());
                e->reject();
            });
            QTest::mouseClick(c->button(1073), Qt::LeftButton); // Login Script
            QVERIFY(editor.ran());
            QTest::mouseClick(c->button(1050), Qt::LeftButton); // Save
            QTRY_VERIFY_WITH_TIMEOUT(!c->isVisible(), 4000);
        });
        QCOMPARE(config.exec(), int(QDialog::Accepted));
        QVERIFY(rig.messages.texts.isEmpty());

        const varn::DeviceConfig saved = rig.config;
        rig.config = varn::DeviceConfig();
        rig.link.sendRequest(varn::kReadConfig);
        QTRY_VERIFY_WITH_TIMEOUT(rig.link.configReceived(), 2000);
        QVERIFY(rig.config == saved);
        QCOMPARE(rig.config.scriptPrompt(1), std::string("ssword: "));
        QCOMPARE(rig.config.scriptResponse(1), std::string("pw1234"));
    }
};

QTEST_MAIN(TestEndToEndSelfTest)
#include "tst_e2e_selftest.moc"

using namespace varn;
