// The administrator login: when it asks, what it accepts, and the password cache.

#include "gui_test_support.h"

#include "devices/admin_login_dlg.h"
#include "devices/password_cache.h"

#include <QLineEdit>
#include <QPushButton>

using namespace guitest;

namespace {

varn::DeviceConfig device(const std::string& name, const std::string& password) {
    varn::DeviceConfig config;
    config.setDeviceName(name);
    config.setDevicePassword(password);
    return config;
}

// A prompt that answers with typed text (or cancels) and counts its calls.
struct ScriptedPrompt {
    int asked = 0;
    bool ok = true;
    std::string typed;
    PasswordPrompt prompt() {
        return [this](std::string& entered) {
            ++asked;
            if (ok) {
                entered = typed;
            }
            return ok;
        };
    }
};

} // namespace

class TestAdminLogin : public QObject {
    Q_OBJECT

  private slots:
    void emptyPasswordIsGrantedWithoutAskingOrCaching() {
        PasswordCache cache;
        cache.clear();
        ScriptedPrompt p;
        QCOMPARE(loginCheck(device("OPEN", ""), cache, p.prompt()), 0);
        QCOMPARE(loginCheck(device("OPEN", ""), cache, p.prompt()), 0);
        QCOMPARE(p.asked, 0);
        QCOMPARE(cache.size(), 0);
    }

    void passwordMustMatchInLengthAndCase_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("granted");
        QTest::newRow("exact") << "ab" << true;
        QTest::newRow("one character") << "a" << false;
        QTest::newRow("three characters") << "abc" << false;
        QTest::newRow("other case") << "AB" << false;
        QTest::newRow("empty") << "" << false;
    }
    void passwordMustMatchInLengthAndCase() {
        QFETCH(QString, typed);
        QFETCH(bool, granted);
        MessageRecorder messages;
        PasswordCache cache;
        ScriptedPrompt p;
        p.typed = typed.toStdString();
        QCOMPARE(loginCheck(device("AP", "ab"), cache, p.prompt()), granted ? 0 : -1);
        QCOMPARE(p.asked, 1);
        QCOMPARE(cache.granted("AP"), granted);
        QCOMPARE(messages.texts, granted ? QStringList{} : QStringList{"Incorrect Password !"});
        if (!granted) {
            QCOMPARE(messages.icons.front(), QMessageBox::Warning);
        }
    }

    void fourCharacterPasswordAndCancel() {
        MessageRecorder messages;
        PasswordCache cache;
        ScriptedPrompt p;
        p.typed = "wxyz";
        QCOMPARE(loginCheck(device("FULL", "wxyz"), cache, p.prompt()), 0);
        p.ok = false;
        QCOMPARE(loginCheck(device("OTHER", "1234"), cache, p.prompt()), -1);
        QVERIFY(messages.texts.isEmpty()); // a cancel is silent
        QVERIFY(!cache.granted("OTHER"));
    }

    // Keyed by name alone: a second appliance of the same name is let in, another
    // name is asked; emptying the cache asks again.
    void cacheIsKeyedByNameUntilEmptied() {
        MessageRecorder messages;
        PasswordCache cache;
        ScriptedPrompt p;
        p.typed = "pw";
        QCOMPARE(loginCheck(device("TWIN", "pw"), cache, p.prompt()), 0);
        QCOMPARE(loginCheck(device("TWIN", "zz"), cache, p.prompt()), 0);
        QCOMPARE(p.asked, 1);
        QCOMPARE(loginCheck(device("TWIN2", "pw"), cache, p.prompt()), 0);
        QCOMPARE(p.asked, 2);
        // A 12-character name is compared whole, not as a prefix of a longer one.
        QCOMPARE(loginCheck(device("ABCDEFGHIJKL", "pw"), cache, p.prompt()), 0);
        QVERIFY(!cache.granted("ABCDEFGHIJK"));
        QVERIFY(cache.granted("ABCDEFGHIJKL"));
        cache.clear();
        QCOMPARE(cache.size(), 0);
        QCOMPARE(loginCheck(device("TWIN", "pw"), cache, p.prompt()), 0);
        QCOMPARE(p.asked, 4);
        QCOMPARE(cache.size(), 1);
    }

    void fiftyFirstLoginIsNotRemembered() {
        PasswordCache cache;
        for (int i = 0; i < PasswordCache::kRows; ++i) {
            QVERIFY(cache.add("D" + std::to_string(i)));
        }
        QVERIFY(!cache.add("ONE-TOO-MANY"));
        QCOMPARE(cache.size(), PasswordCache::kRows);
        QVERIFY(cache.granted("D0"));
        QVERIFY(cache.granted("D49"));
        QVERIFY(!cache.granted("ONE-TOO-MANY"));
        // The login itself still succeeds; it is asked again next time.
        ScriptedPrompt p;
        p.typed = "pw";
        QCOMPARE(loginCheck(device("ONE-TOO-MANY", "pw"), cache, p.prompt()), 0);
        QCOMPARE(loginCheck(device("ONE-TOO-MANY", "pw"), cache, p.prompt()), 0);
        QCOMPARE(p.asked, 2);
    }

    void fieldKeepsFourCharactersAndOkTakesThem() {
        CAdminLoginDlg dlg;
        whenModal<CAdminLoginDlg>([&](CAdminLoginDlg* d) {
            auto* edit = d->findChild<QLineEdit*>("id1001");
            QCOMPARE(edit->echoMode(), QLineEdit::Password);
            QCOMPARE(d->focusWidget(), edit);
            QTest::keyClicks(edit, "abcde");
            QCOMPARE(edit->text(), QString("abcd"));
            QCOMPARE(edit->cursorPosition(), 4);
            edit->setText("123456789"); // pasted
            QCOMPARE(edit->text(), QString("1234"));
            QTest::mouseClick(d->findChild<QPushButton*>("id1"), Qt::LeftButton);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QCOMPARE(dlg.enteredPassword, std::string("1234"));
        QCOMPARE(dlg.windowTitle(), QString("Administrator Login"));
    }

    void cancelLeavesTheEnteredPasswordAlone() {
        CAdminLoginDlg dlg;
        dlg.enteredPassword = "old";
        whenModal<CAdminLoginDlg>([&](CAdminLoginDlg* d) {
            QTest::keyClicks(d->findChild<QLineEdit*>("id1001"), "new");
            QTest::mouseClick(d->findChild<QPushButton*>("id2"), Qt::LeftButton);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QCOMPARE(dlg.enteredPassword, std::string("old"));
    }
};

QTEST_MAIN(TestAdminLogin)
#include "tst_admin_login.moc"
