// Configuration Parameters: opening from the block, the change handlers, Save and
// its wait for the acknowledgement, Cancel, the secondary editors and Verify
// setting.

#include "gui_test_support.h"

#include "gui/common/window_timers.h"
#include "gui/config/advance_dlg.h"
#include "gui/config/config_dlg.h"
#include "gui/config/login_script_dlg.h"
#include "gui/config/password_dlg.h"
#include "gui/selftest/practice_dlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstring>

using namespace guitest;

namespace {

const QString kInvalidAddress = QStringLiteral("Invalid IP Address !");
const QString kNoResponse =
    QStringLiteral("No Reponse from device, configuration may be not successfully saved !");
const QString kNeedAccount = QStringLiteral(
    "You have to key in 1. PPP Mode username & password, or 2. Terminal Mode login script");

enum : int { Save = 1050, Cancel = 2, Advance = 1009, SetPassword = 1028, Verify = 1008 };
enum : int { LoginScriptButton = 1073, Name = 1010, Phone = 1012, User = 1013, Password = 1001 };
const int kOctets[4] = {1018, 1024, 1025, 1026};

// An appliance in PPP mode with a phone number, as the Device List hands it over.
struct ConfigRig : LinkRig {
    MessageRecorder messages;

    explicit ConfigRig(varn::LoginMode mode = varn::LoginMode::Ppp, const char* phone = "5550100") {
        config.bytes.fill(0x5A); // bytes nobody interprets
        config.setDeviceName("Office");
        config.setDevicePassword("");
        config.setLanIpAddress(addr(192, 168, 1, 20));
        config.setPhoneNumber(phone);
        config.setAlternativeNumber(1, "");
        config.setAlternativeNumber(2, "");
        config.clearLoginArea();
        config.setLoginMode(mode);
        if (mode == varn::LoginMode::Ppp) {
            config.setPppUserName("user");
            config.setPppPassword("secret");
        }
        receiveFirmwareVersion(link, port, "2.31");
        // The appliance acknowledges a write only when told to.
        port.answer = [this](const varn::fakes::SentDatagram& d) {
            std::vector<Bytes> out;
            if (d.data[6] == varn::kWriteConfig && acknowledgesWrite) {
                out.push_back(ack(varn::kWriteConfig));
            }
            return out;
        };
    }
    bool acknowledgesWrite = true;
};

void retype(QLineEdit* field, const QString& text) {
    field->selectAll();
    QTest::keyClicks(field, text);
}

// Types as a user does: each key goes to whichever widget has the focus then.
void type(QWidget* dialog, const char* text) {
    for (const char* c = text; *c != 0; ++c) {
        QTest::keyClick(dialog->focusWidget(), *c);
    }
}

bool enabled(CConfigDlg* c, int id) {
    return c->button(id)->isEnabled();
}

// Counts self-test dialogs that open while it lives, ending each with `result`.
struct SelfTestWatch {
    int runs = 0;
    QTimer poll;
    explicit SelfTestWatch(int result) {
        QObject::connect(&poll, &QTimer::timeout, [this, result] {
            if (auto* p = qobject_cast<CPracticeDlg*>(QApplication::activeModalWidget())) {
                ++runs;
                p->done(result);
            }
        });
        poll.start(10);
    }
};

// A configuration dialog that cannot have the self-test's buffer.
class NoMemoryConfigDlg : public CConfigDlg {
  public:
    using CConfigDlg::CConfigDlg;

  protected:
    bool obtainTerminalText() override { return false; }
};

} // namespace

class TestConfigDlg : public QObject {
    Q_OBJECT

  private slots:
    void opensWithTheBlocksValues_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("phone");
        QTest::addColumn<bool>("verify");
        QTest::addColumn<bool>("loginScript");
        QTest::newRow("PPP") << 2 << "5550100" << true << false;
        QTest::newRow("terminal") << 1 << "5550100" << true << true;
        QTest::newRow("no phone number") << 1 << "" << false << false;
        QTest::newRow("none chosen") << 0 << "5550100" << true << true;
    }
    void opensWithTheBlocksValues() {
        QFETCH(int, mode);
        QFETCH(QString, phone);
        QFETCH(bool, verify);
        QFETCH(bool, loginScript);
        ConfigRig rig(varn::LoginMode(mode), phone.toLatin1().constData());
        const varn::DeviceConfig before = rig.config;
        CConfigDlg dlg(rig.link, rig.config, rig.test);
        auto script = whenModal<CConfigDlg>([&](CConfigDlg* c) {
            QCOMPARE(c->windowTitle(), QString("Configuration Parameters"));
            QCOMPARE(c->field(Name)->text(), QString("Office"));
            const char* octets[] = {"192", "168", "1", "20"};
            for (int i = 0; i < 4; ++i) {
                QCOMPARE(c->field(kOctets[i])->text(), QString(octets[i]));
            }
            QCOMPARE(c->field(Phone)->text(), phone);
            const bool ppp = mode == 2;
            QCOMPARE(c->field(User)->text(), QString(ppp ? "user" : ""));
            QCOMPARE(c->field(Password)->text(), QString(ppp ? "secret" : ""));
            QCOMPARE(c->field(Password)->echoMode(), QLineEdit::Password);
            QCOMPARE(c->control<QLabel>(1111)->text(), QString("2.31"));
            QCOMPARE(c->field(Name)->maxLength(), 12);
            QCOMPARE(c->field(Phone)->maxLength(), 16);
            QCOMPARE(c->field(User)->maxLength(), 32);
            QCOMPARE(c->field(Password)->maxLength(), 48);

            QVERIFY(!enabled(c, Save));
            QCOMPARE(enabled(c, Verify), verify);
            QCOMPARE(enabled(c, LoginScriptButton), loginScript);
            QVERIFY(enabled(c, Cancel) && enabled(c, Advance) && enabled(c, SetPassword));
            QTRY_COMPARE(c->focusWidget(), c->field(Name));
            // Focus only: a repaint must not let the next key replace the name.
            QCOMPARE(c->field(Name)->selectedText(), QString());
            // Filling the fields changed nothing in the block.
            QVERIFY(rig.config == before);
            c->done(QDialog::Rejected);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
    }

    // The label shows the version received, even an empty one.
    void theFirmwareLabelShowsTheReceivedText() {
        ConfigRig rig;
        receiveFirmwareVersion(rig.link, rig.port, "");
        CConfigDlg dlg(rig.link, rig.config, rig.test);
        auto script = whenModal<CConfigDlg>(
            [&](CConfigDlg* c) { QCOMPARE(c->control<QLabel>(1111)->text(), QString()); });
        dlg.exec();
    }

    // Each "&" label moves the focus to its field.
    void labelMnemonicsReachTheirFields() {
        ConfigRig rig;
        CConfigDlg dlg(rig.link, rig.config, rig.test);
        auto script = whenModal<CConfigDlg>([&](CConfigDlg* c) {
            const std::pair<Qt::Key, int> keys[] = {{Qt::Key_N, Phone},
                                                    {Qt::Key_U, User},
                                                    {Qt::Key_P, Password},
                                                    {Qt::Key_L, 1018},
                                                    {Qt::Key_D, Name}};
            for (auto [key, id] : keys) {
                QTest::keyClick(c, key, Qt::AltModifier);
                QCOMPARE(c->focusWidget(), c->field(id));
            }
            for (QLabel* label : c->findChildren<QLabel*>()) {
                QCOMPARE(label->buddy() != nullptr, label->text().contains('&'));
            }
        });
        dlg.exec();
    }

    // Three digits or a "." move on; a dot alone empties the field and moves on;
    // a whole address typed in one go lands in the four fields.
    void octetFieldsMoveOn() {
        ConfigRig rig;
        CConfigDlg dlg(rig.link, rig.config, rig.test);
        auto script = whenModal<CConfigDlg>([&](CConfigDlg* c) {
            c->field(1018)->setFocus();
            c->field(1018)->selectAll();
            type(c, "192");
            QCOMPARE(c->focusWidget(), c->field(1024));
            QVERIFY(enabled(c, Save));
            QVERIFY(c->button(Save)->isDefault());
            type(c, "10.");
            QCOMPARE(c->field(1024)->text(), QString("10"));
            QCOMPARE(c->focusWidget(), c->field(1025));
            type(c, ".");
            QCOMPARE(c->field(1025)->text(), QString());
            QCOMPARE(c->focusWidget(), c->field(1026));
            type(c, "2541.");
            QCOMPARE(c->field(1026)->text(), QString("2541"));
            QCOMPARE(c->focusWidget(), c->field(1026));

            c->field(1018)->setFocus();
            c->field(1018)->selectAll();
            type(c, "172.016.1.200");
            const char* octets[] = {"172", "016", "1", "200"};
            for (int i = 0; i < 4; ++i) {
                QCOMPARE(c->field(kOctets[i])->text(), QString(octets[i]));
            }
        });
        dlg.exec();
    }

    // Save reads each octet's first 4 characters as atoi does; a value above 255
    // or below 0 is refused, the name already stored.
    void saveReadsTheOctets_data() {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<int>("refused"); // -1: saved
        QTest::addColumn<Bytes>("stored");
        QTest::newRow("empty, letters, 0255, 12ab")
            << QStringList{"", "ab", "0255", "12ab"} << -1 << Bytes{0, 0, 255, 12};
        QTest::newRow("256") << QStringList{"256", "1", "2", "3"} << 0 << Bytes{192, 1, 2, 3};
        QTest::newRow("-1") << QStringList{"10", "-1", "2", "3"} << 1 << Bytes{192, 168, 2, 3};
        QTest::newRow("300 in the fourth")
            << QStringList{"10", "1", "2", "300"} << 3 << Bytes{192, 168, 1, 20};
    }
    void saveReadsTheOctets() {
        QFETCH(QStringList, fields);
        QFETCH(int, refused);
        QFETCH(Bytes, stored);
        ConfigRig rig;
        CConfigDlg dlg(rig.link, rig.config, rig.test);
        auto script = whenModal<CConfigDlg>([&](CConfigDlg* c) {
            retype(c->field(Name), "Renamed");
            for (int i = 0; i < 4; ++i) {
                c->field(kOctets[i])->setText(fields[i]);
            }
            QTest::mouseClick(c->button(Save), Qt::LeftButton);
            QCOMPARE(Bytes(rig.config.data() + 18, rig.config.data() + 22), stored);
            QCOMPARE(rig.config.deviceName(), std::string("Renamed"));
            if (refused < 0) {
                QVERIFY(rig.messages.texts.isEmpty());
                QCOMPARE(rig.port.count(varn::kWriteConfig), 1);
                return;
            }
            QCOMPARE(rig.messages.texts, QStringList{kInvalidAddress});
            QCOMPARE(rig.messages.icons.front(), QMessageBox::Warning);
            QCOMPARE(c->focusWidget(), c->field(kOctets[refused]));
            QVERIFY(rig.port.sent.empty());
            QVERIFY(enabled(c, Save) && enabled(c, Cancel));
        });
        dlg.exec();
    }

    void saveInPppModeNeedsAUserName() {
        ConfigRig rig;
        CConfigDlg dlg(rig.link, rig.config, rig.test);
        auto script = whenModal<CConfigDlg>([&](CConfigDlg* c) {
            c->field(User)->clear();
            QVERIFY(!enabled(c, Save));
            retype(c->field(Name), "Renamed");
            QTest::mouseClick(c->button(Save), Qt::LeftButton);
            QCOMPARE(rig.messages.texts, QStringList{kNeedAccount});
            QCOMPARE(rig.messages.icons.front(), QMessageBox::Warning);
            QCOMPARE(c->focusWidget(), c->field(User));
            QCOMPARE(rig.config.deviceName(), std::string("Office")); // nothing stored
            QVERIFY(rig.port.sent.empty());
        });
        dlg.exec();
    }

    // Typing an account switches the block to PPP mode and disables Login Script;
    // emptying both account fields enables it again, the mode staying PPP.
    void accountFieldsSwitchToPpp() {
        ConfigRig rig(varn::LoginMode::Terminal);
        CConfigDlg dlg(rig.link, rig.config, rig.test);
        auto script = whenModal<CConfigDlg>([&](CConfigDlg* c) {
            QVERIFY(enabled(c, LoginScriptButton));
            QTest::keyClicks(c->field(User), "u");
            QCOMPARE(rig.config.loginMode(), std::uint8_t(2));
            QVERIFY(!enabled(c, LoginScriptButton));
            QVERIFY(enabled(c, Save));
            QVERIFY(c->button(Save)->isDefault());
            QTest::keyClick(c->field(User), Qt::Key_Backspace);
            QVERIFY(!enabled(c, Save));
            QVERIFY(enabled(c, LoginScriptButton));
            QCOMPARE(rig.config.loginMode(), std::uint8_t(2));

            // With a password typed, emptying the user name keeps Login Script off.
            QTest::keyClicks(c->field(Password), "pw");
            QTest::keyClicks(c->field(User), "u");
            QTest::keyClick(c->field(User), Qt::Key_Backspace);
            QVERIFY(!enabled(c, LoginScriptButton));
            c->field(Password)->clear();
            QVERIFY(enabled(c, LoginScriptButton));
        });
        dlg.exec();
    }

    void clearingThePhoneNumberDisablesWhatNeedsIt() {
        ConfigRig rig(varn::LoginMode::Terminal);
        CConfigDlg dlg(rig.link, rig.config, rig.test);
        auto script = whenModal<CConfigDlg>([&](CConfigDlg* c) {
            c->field(Phone)->clear();
            QVERIFY(!enabled(c, Save) && !enabled(c, Verify) && !enabled(c, LoginScriptButton));
            QTest::keyClicks(c->field(Phone), "7");
            QVERIFY(enabled(c, Save) && enabled(c, Verify) && enabled(c, LoginScriptButton));
            QVERIFY(c->button(Verify)->isDefault());
            QVERIFY(!c->button(Save)->isDefault());
        });
        dlg.exec();
    }

    void theNameFieldDisablesSaveWhenEmpty() {
        ConfigRig rig;
        CConfigDlg dlg(rig.link, rig.config, rig.test);
        auto script = whenModal<CConfigDlg>([&](CConfigDlg* c) {
            c->field(Name)->clear();
            QVERIFY(!enabled(c, Save));
            QTest::keyClicks(c->field(Name), "A");
            QVERIFY(enabled(c, Save));
            QTest::keyClick(c->field(Name), Qt::Key_Return); // Enter presses Save
            QCOMPARE(rig.port.count(varn::kWriteConfig), 1);
        });
        dlg.exec();
    }

    void cancelAlwaysSendsRequest14_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Cancel") << 0;
        QTest::newRow("Escape") << 1;
        QTest::newRow("close box") << 2;
    }
    void cancelAlwaysSendsRequest14() {
        QFETCH(int, how);
        ConfigRig rig;
        CConfigDlg dlg(rig.link, rig.config, rig.test);
        auto script = whenModal<CConfigDlg>([&](CConfigDlg* c) {
            if (how == 0) {
                QTest::mouseClick(c->button(Cancel), Qt::LeftButton);
            } else if (how == 1) {
                QTest::keyClick(c->field(Name), Qt::Key_Escape);
            } else {
                c->close();
            }
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QCOMPARE(rig.port.sentTypes(), std::vector<int>{varn::kConfigCancelled});
        QCOMPARE(rig.port.sent.front().data.size(), std::size_t(8));
    }

    // Save sends the whole block once and looks for the acknowledgement every
    // 300 ms, ten times, with the six buttons disabled meanwhile.
    void saveWaitsForTheAcknowledgement_data() {
        QTest::addColumn<bool>("answered");
        QTest::newRow("acknowledged") << true;
        QTest::newRow("no answer") << false;
    }
    void saveWaitsForTheAcknowledgement() {
        QFETCH(bool, answered);
        ConfigRig rig;
        rig.acknowledgesWrite = answered;
        const int six[] = {Save, Cancel, Advance, Verify, LoginScriptButton, SetPassword};
        CConfigDlg dlg(rig.link, rig.config, rig.test);
        auto script = whenModal<CConfigDlg>([&](CConfigDlg* c) {
            retype(c->field(Name), "Renamed");
            QTest::mouseClick(c->button(Save), Qt::LeftButton);
            QCOMPARE(rig.port.sentTypes(), std::vector<int>{varn::kWriteConfig});
            const Bytes& sent = rig.port.sent.front().data;
            QCOMPARE(sent.size(), std::size_t(520));
            QVERIFY(std::equal(rig.config.bytes.begin(), rig.config.bytes.end(), sent.begin() + 8));
            QCOMPARE(rig.config.deviceName(), std::string("Renamed"));
            for (int id : six) {
                QVERIFY(!enabled(c, id));
            }
            QCOMPARE(c->timers().interval(CConfigDlg::TIMER_SAVE), 300);
            QCOMPARE(c->saveTicksLeft(), 10);
            // Escape and the close box wait with Cancel: the block may be stored already.
            QTest::keyClick(c->field(Name), Qt::Key_Escape);
            c->close();
            QVERIFY(c->isVisible());
            QTest::qWait(0); // the acknowledgement, if any

            if (answered) {
                QVERIFY(c->timers().fire(CConfigDlg::TIMER_SAVE));
                return; // ends with OK
            }
            for (int tick = 1; tick < 10; ++tick) {
                QVERIFY(c->timers().fire(CConfigDlg::TIMER_SAVE));
                QCOMPARE(c->saveTicksLeft(), 10 - tick);
            }
            QVERIFY(rig.messages.texts.isEmpty());
            QVERIFY(c->timers().fire(CConfigDlg::TIMER_SAVE));
            QVERIFY(!c->timers().isActive(CConfigDlg::TIMER_SAVE));
            QCOMPARE(rig.messages.texts, QStringList{kNoResponse});
            QCOMPARE(rig.messages.icons.front(), QMessageBox::Information);
            for (int id : six) {
                QVERIFY(enabled(c, id));
            }
            QCOMPARE(rig.port.count(varn::kWriteConfig), 1); // sent once
            QVERIFY(c->isVisible());
            QTest::mouseClick(c->button(Cancel), Qt::LeftButton);
        });
        QCOMPARE(dlg.exec(), int(answered ? QDialog::Accepted : QDialog::Rejected));
        if (answered) {
            QVERIFY(rig.messages.texts.isEmpty());
            QCOMPARE(rig.port.count(varn::kConfigCancelled), 0);
        } else {
            QCOMPARE(rig.port.sentTypes().back(), int(varn::kConfigCancelled));
        }
    }

    // Advance, Set Password and Login Script: OK enables Save and makes it the
    // default button; Cancel leaves Save as it was.
    void secondaryEditorsEnableSave_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("ok");
        for (bool ok : {true, false}) {
            const char* end = ok ? "OK" : "Cancel";
            QTest::addRow("Advance %s", end) << int(Advance) << ok;
            QTest::addRow("Set Password %s", end) << int(SetPassword) << ok;
            QTest::addRow("Login Script %s", end) << int(LoginScriptButton) << ok;
        }
    }
    void secondaryEditorsEnableSave() {
        QFETCH(int, button);
        QFETCH(bool, ok);
        ConfigRig rig(varn::LoginMode::Terminal);
        const int result = ok ? QDialog::Accepted : QDialog::Rejected;
        auto finish = [&](SetupDialog* editor) {
            ok ? editor->button(1)->click() : editor->button(2)->click();
        };
        CConfigDlg dlg(rig.link, rig.config, rig.test);
        auto script = whenModal<CConfigDlg>([&](CConfigDlg* c) {
            std::optional<ModalScript> editor;
            if (button == Advance) {
                editor.emplace(whenModal<CAdvanceDlg>([&](CAdvanceDlg* e) { finish(e); }));
            } else if (button == SetPassword) {
                editor.emplace(whenModal<CPasswordDlg>([&](CPasswordDlg* e) {
                    QVERIFY(QTest::qWaitForWindowActive(e));
                    e->field(1022)->setFocus(); // proves the empty stored password
                    finish(e);
                }));
            } else {
                editor.emplace(whenModal<CLoginScriptDlg>([&](CLoginScriptDlg* e) { finish(e); }));
            }
            QTest::mouseClick(c->button(button), Qt::LeftButton);
            QVERIFY(editor->ran());
            QCOMPARE(enabled(c, Save), result == QDialog::Accepted);
            QCOMPARE(c->button(Save)->isDefault(), result == QDialog::Accepted);
            QVERIFY(rig.messages.texts.isEmpty());
        });
        dlg.exec();
    }

    // Verify setting stores the phone number, the user name and the first 20
    // password characters, then runs the self-test with its terminal buffer;
    // Save stores the whole password.
    void verifySettingStoresWhatTheSelfTestDials() {
        ConfigRig rig;
        rig.config.setPppPassword("abcdefghijklmnopqrstuvwxy");
        CConfigDlg dlg(rig.link, rig.config, rig.test);
        auto script = whenModal<CConfigDlg>([&](CConfigDlg* c) {
            retype(c->field(Phone), "5550199");
            retype(c->field(User), "other");
            retype(c->field(Password), "ABCDEFGHIJKLMNOPQRSTUVWXY");
            auto selfTest = whenModal<CPracticeDlg>([&](CPracticeDlg* p) {
                QCOMPARE(rig.config.phoneNumber(), std::string("5550199"));
                QCOMPARE(rig.config.pppUserName(), std::string("other"));
                // The first 20 characters; the old ones after them stay.
                QCOMPARE(rig.config.pppPassword(), std::string("ABCDEFGHIJKLMNOPQRSTuvwxy"));
                QVERIFY(rig.selfTest.terminalText != nullptr);
                QCOMPARE(rig.config.deviceName(), std::string("Office"));
                p->done(QDialog::Accepted);
            });
            QTest::mouseClick(c->button(Verify), Qt::LeftButton);
            QVERIFY(selfTest.ran());
            QVERIFY(rig.selfTest.terminalText == nullptr); // released
            QVERIFY(c->button(Save)->isDefault());

            QTest::mouseClick(c->button(Save), Qt::LeftButton);
            QCOMPARE(rig.config.pppPassword(), std::string("ABCDEFGHIJKLMNOPQRSTUVWXY"));
        });
        dlg.exec();
    }

    void verifySettingEnablesSaveUnlessTheSelfTestWasCancelled_data() {
        QTest::addColumn<int>("result");
        QTest::newRow("OK") << int(QDialog::Accepted);
        QTest::newRow("Cancel") << int(QDialog::Rejected);
    }
    void verifySettingEnablesSaveUnlessTheSelfTestWasCancelled() {
        QFETCH(int, result);
        ConfigRig rig;
        CConfigDlg dlg(rig.link, rig.config, rig.test);
        auto script = whenModal<CConfigDlg>([&](CConfigDlg* c) {
            SelfTestWatch watch(result);
            QTest::mouseClick(c->button(Verify), Qt::LeftButton);
            QCOMPARE(watch.runs, 1);
            QCOMPARE(enabled(c, Save), result == QDialog::Accepted);
        });
        dlg.exec();
    }

    void verifySettingWithoutMemorySkipsTheSelfTest() {
        ConfigRig rig;
        NoMemoryConfigDlg dlg(rig.link, rig.config, rig.test);
        auto script = whenModal<CConfigDlg>([&](CConfigDlg* c) {
            SelfTestWatch watch(QDialog::Accepted);
            retype(c->field(Phone), "5550199");
            QTest::mouseClick(c->button(Verify), Qt::LeftButton);
            QCOMPARE(watch.runs, 0);
            QCOMPARE(rig.messages.texts, QStringList{"VARN :  Memory Allocation Failed !"});
            QCOMPARE(rig.messages.icons.front(), QMessageBox::Warning);
            QCOMPARE(rig.config.phoneNumber(), std::string("5550199")); // stored before
        });
        dlg.exec();
    }
};

QTEST_MAIN(TestConfigDlg)
#include "tst_config_dlg.moc"

using namespace varn;
