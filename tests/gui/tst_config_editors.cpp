// The secondary editors of the configuration: Settings - Advance, the login
// script editor and Change Password.

#include "gui_test_support.h"

#include "config/login_script.h"
#include "gui/config/advance_dlg.h"
#include "gui/config/login_script_dlg.h"
#include "gui/config/password_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

using namespace guitest;

namespace {

const QString kWrongPassword = QStringLiteral("VARN : Wrong password !");
const QString kMismatch = QStringLiteral("VARN : New password mismatch !");

struct EditorRig {
    varn::DeviceConfig config;
    MessageRecorder messages;
    EditorRig() { config.bytes.fill(0x5A); }
};

bool checked(SetupDialog* d, int id) {
    return d->control<QAbstractButton>(id)->isChecked();
}

// Every "&" label has the field it names as its buddy.
void verifyBuddies(QDialog* d) {
    for (QLabel* label : d->findChildren<QLabel*>()) {
        QCOMPARE(label->buddy() != nullptr, label->text().contains('&'));
    }
}

} // namespace

class TestConfigEditors : public QObject {
    Q_OBJECT

  private slots:
    // --- Settings - Advance ---

    void advanceOpensWithTheBlocksValues_data() {
        QTest::addColumn<bool>("alternatives");
        QTest::newRow("default number always") << false;
        QTest::newRow("alternatives") << true;
    }
    void advanceOpensWithTheBlocksValues() {
        QFETCH(bool, alternatives);
        EditorRig rig;
        rig.config.setIdleMinutes(15);
        rig.config.bytes[varn::DeviceConfig::kDialOptions] = 0x93;
        rig.config.setUseAlternativeNumbers(alternatives);
        rig.config.setAlternativeNumber(1, "5550001");
        rig.config.setAlternativeNumber(2, "5550002");
        rig.config.setAlternativeTries(3);
        CAdvanceDlg dlg(rig.config);
        auto script = whenModal<CAdvanceDlg>([&](CAdvanceDlg* d) {
            QCOMPARE(d->windowTitle(), QString("Settings - Advance"));
            QCOMPARE(d->field(1029)->text(), QString("15"));
            QCOMPARE(d->field(1123)->text(), QString("5550001"));
            QCOMPARE(d->field(1124)->text(), QString("5550002"));
            QCOMPARE(d->field(1126)->text(), QString("3"));
            QVERIFY(checked(d, 1127));
            QCOMPARE(checked(d, 1125), alternatives);
            QCOMPARE(checked(d, 1130), !alternatives);
            for (int id : {1123, 1124, 1126}) {
                QCOMPARE(d->field(id)->isEnabled(), alternatives);
            }
            QTRY_COMPARE(d->focusWidget(), d->field(1029));
            QTest::keyClick(d, Qt::Key_A, Qt::AltModifier);
            QCOMPARE(d->focusWidget(), d->field(1029));
            verifyBuddies(d);

            // The radio buttons switch the fields on and off, keeping their texts.
            QTest::mouseClick(d->control<QRadioButton>(1130), Qt::LeftButton);
            QVERIFY(!d->field(1124)->isEnabled());
            QTest::mouseClick(d->control<QRadioButton>(1125), Qt::LeftButton);
            QVERIFY(d->field(1124)->isEnabled() && d->field(1126)->isEnabled());
            QVERIFY(!checked(d, 1130));
            QCOMPARE(d->field(1124)->text(), QString("5550002"));
        });
        QCOMPARE(dlg.exec(), -1);
    }

    // Tab into the radio group lands on the checked button, so Space there keeps
    // the choice; the arrows move the choice, and Tab follows it.
    void advanceTabEntersTheRadioGroupOnItsCheckedButton() {
        EditorRig rig;
        rig.config.setUseAlternativeNumbers(true);
        CAdvanceDlg dlg(rig.config);
        auto script = whenModal<CAdvanceDlg>([&](CAdvanceDlg* d) {
            auto* blind = d->control<QCheckBox>(1127);
            auto* always = d->control<QRadioButton>(1130);
            auto* alternative = d->control<QRadioButton>(1125);
            blind->setFocus(Qt::TabFocusReason);
            QTest::keyClick(blind, Qt::Key_Tab);
            QCOMPARE(d->focusWidget(), alternative);
            QTest::keyClick(alternative, Qt::Key_Space);
            QVERIFY(alternative->isChecked() && d->field(1123)->isEnabled());
            QTest::keyClick(alternative, Qt::Key_Tab);
            QCOMPARE(d->focusWidget(), d->field(1123));

            QTest::keyClick(d->field(1123), Qt::Key_Backtab);
            QCOMPARE(d->focusWidget(), alternative);
            QTest::keyClick(alternative, Qt::Key_Up);
            QVERIFY(always->isChecked() && !d->field(1123)->isEnabled());
            QCOMPARE(d->focusWidget(), always);
            blind->setFocus(Qt::TabFocusReason);
            QTest::keyClick(blind, Qt::Key_Tab);
            QCOMPARE(d->focusWidget(), always);
            QTest::keyClick(always, Qt::Key_Tab);
            QCOMPARE(d->focusWidget(), d->button(2)); // the disabled fields are passed
        });
        QCOMPARE(dlg.exec(), -1);
    }

    // Typing stops at 15 characters, but a longer number the appliance stored
    // shows whole, and OK refuses it instead of writing it back cut.
    void advanceShowsAStoredSixteenCharacterNumberWhole() {
        EditorRig rig; // every byte 'Z': both numbers are 16 characters, unterminated
        rig.config.setIdleMinutes(5);
        rig.config.setAlternativeTries(3);
        rig.config.setUseAlternativeNumbers(true);
        const varn::DeviceConfig before = rig.config;
        CAdvanceDlg dlg(rig.config);
        auto script = whenModal<CAdvanceDlg>([&](CAdvanceDlg* d) {
            QCOMPARE(d->field(1123)->text(), QString(16, 'Z'));
            QTest::mouseClick(d->button(1), Qt::LeftButton);
            QCOMPARE(rig.messages.texts, QStringList{"Please enter no more than 15 characters."});
            QCOMPARE(d->focusWidget(), d->field(1124));
            d->field(1123)->clear();
            QTest::keyClicks(d->field(1123), "01234567890123456789");
            QCOMPARE(d->field(1123)->text(), QString("012345678901234"));
            d->reject();
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QVERIFY(rig.config == before);
    }

    void advanceRefusesBadFields_data() {
        QTest::addColumn<QString>("idle");
        QTest::addColumn<QString>("tries");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("message");
        const QString range255 = "Please enter an integer between 0 and 255.";
        QTest::newRow("empty idle") << ""
                                    << "3" << 1029 << range255;
        QTest::newRow("12a") << "12a"
                             << "3" << 1029 << range255;
        QTest::newRow("128") << "128"
                             << "3" << 1029 << "Please enter an integer between 0 and 127.";
        QTest::newRow("tries -1") << "5"
                                  << "-1" << 1126 << "Please enter a positive integer.";
        QTest::newRow("tries 101") << "5"
                                   << "101" << 1126 << "Please enter an integer between 0 and 100.";
    }
    void advanceRefusesBadFields() {
        QFETCH(QString, idle);
        QFETCH(QString, tries);
        QFETCH(int, field);
        QFETCH(QString, message);
        EditorRig rig;
        rig.config.setUseAlternativeNumbers(true);
        rig.config.setAlternativeNumber(1, "5550001");
        rig.config.setAlternativeNumber(2, "5550002");
        const varn::DeviceConfig before = rig.config;
        CAdvanceDlg dlg(rig.config);
        auto script = whenModal<CAdvanceDlg>([&](CAdvanceDlg* d) {
            d->field(1029)->setText(idle);
            d->field(1126)->setText(tries);
            QTest::mouseClick(d->button(1), Qt::LeftButton);
            QCOMPARE(rig.messages.texts, QStringList{message});
            QCOMPARE(rig.messages.icons.front(), QMessageBox::Warning);
            QCOMPARE(d->focusWidget(), d->field(field));
            QCOMPARE(d->field(field)->selectedText(), d->field(field)->text());
            QVERIFY(d->isVisible());
            QVERIFY(rig.config == before);
        });
        QCOMPARE(dlg.exec(), -1);
    }

    // Disabled fields are still checked and stored; the blind-dial bit goes alone.
    void advanceStoresAlsoDisabledFields() {
        EditorRig rig;
        rig.config.bytes[varn::DeviceConfig::kDialOptions] = 0x01;
        rig.config.setUseAlternativeNumbers(false);
        CAdvanceDlg dlg(rig.config);
        auto script = whenModal<CAdvanceDlg>([&](CAdvanceDlg* d) {
            d->field(1029)->setText("12  ");
            d->field(1123)->setText("123456789012345");
            d->field(1124)->setText("77");
            d->field(1126)->setText("100");
            QVERIFY(!d->field(1123)->isEnabled());
            QTest::mouseClick(d->control<QCheckBox>(1127), Qt::LeftButton);
            QTest::keyClick(d->field(1029), Qt::Key_Return); // OK is the default button
        });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QCOMPARE(rig.config.idleMinutes(), std::uint8_t(12));
        QCOMPARE(rig.config.bytes[varn::DeviceConfig::kDialOptions], std::uint8_t(0x11));
        QCOMPARE(rig.config.bytes[varn::DeviceConfig::kUseAlternativeNumbers], std::uint8_t(0));
        QCOMPARE(rig.config.alternativeNumber(1), std::string("123456789012345"));
        QCOMPARE(rig.config.bytes[varn::DeviceConfig::kAlternativeNumber1 + 15], std::uint8_t(0));
        QCOMPARE(rig.config.alternativeNumber(2), std::string("77"));
        QCOMPARE(rig.config.bytes[varn::DeviceConfig::kAlternativeNumber2 + 3], std::uint8_t(0x5A));
        QCOMPARE(rig.config.alternativeTries(), std::uint8_t(100));

        // Unchecking clears the bit again.
        CAdvanceDlg again(rig.config);
        auto uncheck = whenModal<CAdvanceDlg>([&](CAdvanceDlg* d) {
            QVERIFY(checked(d, 1127));
            QTest::mouseClick(d->control<QCheckBox>(1127), Qt::LeftButton);
            QTest::mouseClick(d->control<QRadioButton>(1125), Qt::LeftButton);
            QTest::mouseClick(d->button(1), Qt::LeftButton);
        });
        QCOMPARE(again.exec(), int(QDialog::Accepted));
        QCOMPARE(rig.config.bytes[varn::DeviceConfig::kDialOptions], std::uint8_t(0x01));
        QCOMPARE(rig.config.bytes[varn::DeviceConfig::kUseAlternativeNumbers], std::uint8_t(1));
    }

    void advanceCancelTouchesNothing() {
        EditorRig rig;
        const varn::DeviceConfig before = rig.config;
        CAdvanceDlg dlg(rig.config);
        auto script = whenModal<CAdvanceDlg>([&](CAdvanceDlg* d) {
            for (int id : {1029, 1123, 1124, 1126}) {
                d->field(id)->setText("1");
            }
            QTest::mouseClick(d->control<QCheckBox>(1127), Qt::LeftButton);
            QTest::mouseClick(d->control<QRadioButton>(1130), Qt::LeftButton);
            QTest::mouseClick(d->button(2), Qt::LeftButton);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QVERIFY(rig.config == before);
    }

    // --- Login script editor ---

    // The script typed in is packed on OK; opened again, a row without a prompt
    // shows empty.
    void loginScriptPacksAndReloads() {
        EditorRig rig;
        rig.config.setLoginMode(varn::LoginMode::Ppp);
        CLoginScriptDlg dlg(rig.config);
        auto script = whenModal<CLoginScriptDlg>([&](CLoginScriptDlg* d) {
            QCOMPARE(d->windowTitle(), QString("Login Script Manual Editing(Terminal Mode)"));
            for (int row = 0; row < 4; ++row) {
                QVERIFY(d->prompt(row)->text().isEmpty() && d->response(row)->text().isEmpty());
                QCOMPARE(d->prompt(row)->maxLength(), 8);
                QCOMPARE(d->response(row)->maxLength(), 32);
            }
            QTRY_COMPARE(d->focusWidget(), d->prompt(0));
            const char* prompts[] = {"12345678", "abc", "", "pass:"};
            const char* responses[] = {"0123456789", "wxyz", "ok", ""};
            for (int row = 0; row < 4; ++row) {
                QTest::keyClicks(d->prompt(row), prompts[row]);
                QTest::keyClicks(d->response(row), responses[row]);
            }
            QTest::keyClicks(d->prompt(0), "9"); // a ninth character is refused
            QTest::mouseClick(d->button(1), Qt::LeftButton);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QCOMPARE(rig.config.loginMode(), std::uint8_t(1));
        const std::uint8_t* offsets = rig.config.data() + varn::DeviceConfig::kScriptOffsets;
        QCOMPARE(Bytes(offsets, offsets + 5), (Bytes{0, 10, 14, 16, 16}));

        CLoginScriptDlg again(rig.config);
        auto reload = whenModal<CLoginScriptDlg>([&](CLoginScriptDlg* d) {
            QCOMPARE(d->prompt(0)->text(), QString("12345678"));
            QCOMPARE(d->response(0)->text(), QString("0123456789"));
            QCOMPARE(d->response(1)->text(), QString("wxyz"));
            QCOMPARE(d->prompt(2)->text(), QString());
            QCOMPARE(d->response(2)->text(), QString());
            QCOMPARE(d->prompt(3)->text(), QString("pass:"));
            QCOMPARE(d->response(3)->text(), QString());
            QTest::mouseClick(d->button(2), Qt::LeftButton);
        });
        QCOMPARE(again.exec(), int(QDialog::Rejected));
    }

    // The four responses hold 48 characters together, typed or pasted.
    void loginScriptResponsesShareFortyEightCharacters() {
        EditorRig rig;
        CLoginScriptDlg dlg(rig.config);
        auto script = whenModal<CLoginScriptDlg>([&](CLoginScriptDlg* d) {
            d->response(0)->setText(QString(32, 'a'));
            d->response(1)->setText(QString(16, 'b'));
            QTest::keyClicks(d->response(2), "xy");
            QCOMPARE(d->response(2)->text(), QString());

            d->response(0)->setText(QString(24, 'a'));
            QApplication::clipboard()->setText(QString(20, 'p'));
            d->response(2)->paste();
            QCOMPARE(d->response(2)->text(), QString(8, 'p'));
            QCOMPARE(d->response(2)->cursorPosition(), 8);
            QCOMPARE(d->response(0)->text().size() + d->response(1)->text().size(), 40);
            QTest::mouseClick(d->button(2), Qt::LeftButton);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
    }

    // OK with every field empty means PPP; the login area stays as it was.
    void loginScriptWithNoFirstPromptMeansPpp() {
        EditorRig rig;
        rig.config.setLoginMode(varn::LoginMode::Terminal);
        rig.config.bytes[varn::DeviceConfig::kScriptPrompts] = 0; // first row empty
        const varn::DeviceConfig before = rig.config;
        CLoginScriptDlg dlg(rig.config);
        auto script = whenModal<CLoginScriptDlg>([&](CLoginScriptDlg* d) {
            QCOMPARE(d->prompt(0)->text(), QString());
            QCOMPARE(d->prompt(1)->text(), QString("ZZZZZZZZ"));
            for (int row = 1; row < 4; ++row) {
                d->prompt(row)->clear();
            }
            QTest::mouseClick(d->button(1), Qt::LeftButton);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QCOMPARE(rig.config.loginMode(), std::uint8_t(2));
        varn::DeviceConfig expected = before;
        expected.setLoginMode(varn::LoginMode::Ppp);
        QVERIFY(rig.config == expected);
    }

    // --- Change Password ---

    // The old password is checked when the new-password field gets the focus.
    void passwordCheckRunsOnEnteringTheNewField_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("proved");
        QTest::newRow("four characters") << "abcd"
                                         << "abcd" << true;
        QTest::newRow("three of four") << "abcd"
                                       << "abc" << false;
        QTest::newRow("case") << "abcd"
                              << "ABCD" << false;
        QTest::newRow("none stored, none typed") << ""
                                                 << "" << true;
        QTest::newRow("none stored") << ""
                                     << "a" << false;
    }
    void passwordCheckRunsOnEnteringTheNewField() {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, proved);
        EditorRig rig; // the address after the password is not zero
        rig.config.setDevicePassword(stored.toStdString());
        CPasswordDlg dlg(rig.config);
        auto script = whenModal<CPasswordDlg>([&](CPasswordDlg* d) {
            QVERIFY(QTest::qWaitForWindowActive(d));
            QCOMPARE(d->windowTitle(), QString("Change Password"));
            QTRY_COMPARE(d->focusWidget(), d->field(1019));
            QVERIFY(!d->oldPasswordVerified());
            QTest::keyClicks(d->field(1019), typed);
            QTest::keyClick(d->field(1019), Qt::Key_Tab);
            QCOMPARE(d->oldPasswordVerified(), proved);
            QCOMPARE(d->focusWidget(), d->field(proved ? 1022 : 1019));
            QCOMPARE(rig.messages.texts, proved ? QStringList{} : QStringList{kWrongPassword});
            if (!proved) {
                QCOMPARE(rig.messages.icons.front(), QMessageBox::Warning);
            }
            verifyBuddies(d);
        });
        QCOMPARE(dlg.exec(), -1);
    }

    // Enter without entering the new-password field: nothing happens.
    void passwordOkBeforeTheCheckDoesNothing() {
        EditorRig rig;
        rig.config.setDevicePassword("ab");
        const varn::DeviceConfig before = rig.config;
        CPasswordDlg dlg(rig.config);
        auto script = whenModal<CPasswordDlg>([&](CPasswordDlg* d) {
            QVERIFY(QTest::qWaitForWindowActive(d));
            QTest::keyClicks(d->field(1019), "ab");
            QTest::keyClick(d->field(1019), Qt::Key_Return);
            QVERIFY(d->isVisible());
            QCOMPARE(d->focusWidget(), d->field(1019));
            QVERIFY(rig.messages.texts.isEmpty());
            QVERIFY(!d->oldPasswordVerified());
        });
        QCOMPARE(dlg.exec(), -1);
        QVERIFY(rig.config == before);
    }

    // The new password, typed twice, is stored padded with NULs; a mismatch keeps
    // the dialog open; editing the old password afterwards withdraws no proof.
    void passwordStoresTheNewOne_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<Bytes>("stored");
        QTest::newRow("three characters") << "xyz" << Bytes{'x', 'y', 'z', 0};
        QTest::newRow("empty") << "" << Bytes{0, 0, 0, 0};
        QTest::newRow("four") << "wxyz" << Bytes{'w', 'x', 'y', 'z'};
    }
    void passwordStoresTheNewOne() {
        QFETCH(QString, password);
        QFETCH(Bytes, stored);
        EditorRig rig;
        rig.config.setDevicePassword("ab");
        CPasswordDlg dlg(rig.config);
        auto script = whenModal<CPasswordDlg>([&](CPasswordDlg* d) {
            QVERIFY(QTest::qWaitForWindowActive(d));
            QTest::keyClicks(d->field(1019), "ab");
            QTest::keyClick(d, Qt::Key_N, Qt::AltModifier); // to the new password
            QVERIFY(d->oldPasswordVerified());
            QTest::keyClicks(d->field(1022), password);
            QTest::keyClicks(d->field(1023), "-" + password);
            QCOMPARE(d->field(1023)->text().size(), std::min<qsizetype>(password.size() + 1, 4));
            QTest::mouseClick(d->button(1), Qt::LeftButton);
            QCOMPARE(rig.messages.texts, QStringList{kMismatch});
            QCOMPARE(rig.messages.icons.front(), QMessageBox::Warning);
            QCOMPARE(d->focusWidget(), d->field(1022));
            QCOMPARE(rig.config.devicePassword(), std::string("ab"));

            QTest::keyClicks(d->field(1019), "q"); // the proof stays
            d->field(1023)->setText(password);
            QTest::keyClick(d->field(1023), Qt::Key_Return);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        const std::uint8_t* field = rig.config.data() + varn::DeviceConfig::kDevicePassword;
        QCOMPARE(Bytes(field, field + 4), stored);
        QCOMPARE(rig.messages.texts, QStringList{kMismatch});
    }

    void passwordCancelTouchesNothing() {
        EditorRig rig;
        rig.config.setDevicePassword("");
        const varn::DeviceConfig before = rig.config;
        CPasswordDlg dlg(rig.config);
        auto script = whenModal<CPasswordDlg>([&](CPasswordDlg* d) {
            d->field(1022)->setText("new");
            d->field(1023)->setText("new");
            QTest::mouseClick(d->button(2), Qt::LeftButton);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QVERIFY(rig.config == before);
    }
};

QTEST_MAIN(TestConfigEditors)
#include "tst_config_editors.moc"

using namespace varn;
