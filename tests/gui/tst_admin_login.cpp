// The administrator login dialog: its field, OK, Cancel and the keyboard. The
// login check and its cache are tested without a dialog (tests/core).

#include "gui_test_support.h"

#include "gui/devices/admin_login_dlg.h"

#include <QLineEdit>
#include <QPushButton>

using namespace guitest;

class TestAdminLogin : public QObject {
    Q_OBJECT

  private slots:
    void fieldKeepsFourCharactersAndOkTakesThem() {
        CAdminLoginDlg dlg;
        auto script = whenModal<CAdminLoginDlg>([&](CAdminLoginDlg* d) {
            auto* edit = d->findChild<QLineEdit*>("id1001");
            QCOMPARE(edit->echoMode(), QLineEdit::Password);
            QCOMPARE(d->focusWidget(), edit);
            QTest::keyClicks(edit, "abcde");
            QCOMPARE(edit->text(), QString("abcd"));
            QCOMPARE(edit->cursorPosition(), 4);
            edit->setText("123456789"); // pasted
            QCOMPARE(edit->text(), QString("1234"));
            QTest::keyClick(edit, Qt::Key_Return); // OK is the default button
        });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QCOMPARE(dlg.enteredPassword, std::string("1234"));
        QCOMPARE(dlg.windowTitle(), QString("Administrator Login"));
    }

    // Cancel, also by Tab to it and Enter, leaves the entered password alone.
    void cancelLeavesTheEnteredPasswordAlone() {
        CAdminLoginDlg dlg;
        dlg.enteredPassword = "old";
        auto script = whenModal<CAdminLoginDlg>([&](CAdminLoginDlg* d) {
            QTest::keyClicks(d->findChild<QLineEdit*>("id1001"), "new");
            QTest::keyClick(d->focusWidget(), Qt::Key_Tab); // to OK
            QTest::keyClick(d->focusWidget(), Qt::Key_Tab); // to Cancel
            QCOMPARE(d->focusWidget(), d->button(2));
            QTest::keyClick(d->focusWidget(), Qt::Key_Return);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QCOMPARE(dlg.enteredPassword, std::string("old"));
    }
};

QTEST_MAIN(TestAdminLogin)
#include "tst_admin_login.moc"

using namespace varn;
