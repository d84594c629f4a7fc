// The Set Device IP Address dialog: typing rules, Save, the answer and validation.

#include "gui_test_support.h"

#include "app/window_timers.h"
#include "devices/device_ip_dlg.h"

#include <QLineEdit>
#include <QPushButton>

using namespace guitest;

namespace {
QPushButton* saveButton(CDeviceIpDlg* d) {
    return d->findChild<QPushButton*>("id1");
}
QPushButton* cancelButton(CDeviceIpDlg* d) {
    return d->findChild<QPushButton*>("id2");
}

// A rig whose row 0 names the appliance being moved.
struct IpRig : LinkRig {
    IpRig() {
        const char row[] = "MOVER        \t10.0.0.5";
        std::memset(link.devices.rows[0], ' ', varn::kRowWidth);
        std::memcpy(link.devices.rows[0], row, sizeof row - 1);
        link.devices.deviceCount = 1;
        link.devices.selectedIndex = 0;
        link.targetAddress = addr(10, 0, 0, 5);
    }
};
} // namespace

class TestDeviceIp : public QObject {
    Q_OBJECT

  private slots:
    void opensWithTheTargetAddressAndSaveAsDefault() {
        IpRig rig;
        CDeviceIpDlg dlg(rig.link);
        QCOMPARE(dlg.windowTitle(), QString("Set Device IP Address"));
        const char* expected[] = {"10", "0", "0", "5"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(dlg.octetField(i)->text(), QString(expected[i]));
        }
        QVERIFY(saveButton(&dlg)->isDefault());
        QVERIFY(!cancelButton(&dlg)->isDefault());
    }

    // Three digits or a "." move on; a letter is refused and cut off.
    void typingMovesOnAndRefusesLetters() {
        IpRig rig;
        MessageRecorder messages;
        CDeviceIpDlg dlg(rig.link);
        whenModal<CDeviceIpDlg>([&](CDeviceIpDlg* d) {
            QTRY_COMPARE(d->focusWidget(), d->octetField(0));
            QTest::keyClicks(d->octetField(0), "192"); // the field's text is selected
            QCOMPARE(d->octetField(0)->text(), QString("192"));
            QCOMPARE(d->focusWidget(), d->octetField(1));
            QTest::keyClicks(d->octetField(1), "16.");
            QCOMPARE(d->octetField(1)->text(), QString("16"));
            QCOMPARE(d->focusWidget(), d->octetField(2));
            QTest::keyClicks(d->octetField(2), "1x");
            QCOMPARE(messages.texts, QStringList{"Invalid IP Address !"});
            QCOMPARE(messages.icons.front(), QMessageBox::Warning);
            QCOMPARE(d->octetField(2)->text(), QString("1"));
            QCOMPARE(d->focusWidget(), d->octetField(2));
            d->octetField(3)->setFocus();
            QTest::keyClicks(d->octetField(3), "200");
            QCOMPARE(d->focusWidget(), saveButton(d)); // after the fourth field: Save
            QTest::mouseClick(cancelButton(d), Qt::LeftButton);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QVERIFY(rig.port.sent.empty());
    }

    // Fields are taken fourth to first: the rightmost bad one is reported, and
    // the octets right of it are stored already.
    void numberAbove255IsRefusedAtSave() {
        IpRig rig;
        MessageRecorder messages;
        CDeviceIpDlg dlg(rig.link);
        dlg.octetField(0)->setText("300");
        dlg.octetField(1)->setText("256");
        dlg.octetField(2)->setText("7");
        dlg.octetField(3)->setText("8");
        whenModal<CDeviceIpDlg>([&](CDeviceIpDlg* d) {
            QTest::mouseClick(saveButton(d), Qt::LeftButton);
            QCOMPARE(messages.texts, QStringList{"Invalid IP Address !"});
            QCOMPARE(d->focusWidget(), d->octetField(1));
            QVERIFY(d->isVisible());
            QVERIFY(saveButton(d)->isEnabled());
            QVERIFY(rig.port.sent.empty());
            QCOMPARE(rig.config.lanIpOctet(3), 8);
            QCOMPARE(rig.config.lanIpOctet(2), 7);
            QCOMPARE(rig.config.lanIpOctet(1), 0);
            QTest::mouseClick(cancelButton(d), Qt::LeftButton);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
    }

    void saveBroadcastsAndReportsTheOutcome_data() {
        QTest::addColumn<bool>("answered");
        QTest::newRow("answered") << true;
        QTest::newRow("no answer") << false;
    }
    void saveBroadcastsAndReportsTheOutcome() {
        QFETCH(bool, answered);
        IpRig rig;
        MessageRecorder messages;
        rig.port.answer = [&](const varn::fakes::SentDatagram&) {
            return answered ? std::vector<Bytes>{ack(varn::kSetIpAddress)} : std::vector<Bytes>{};
        };
        CDeviceIpDlg dlg(rig.link);
        dlg.octetField(0)->setText("192");
        dlg.octetField(1)->setText("168");
        dlg.octetField(2)->setText("1");
        dlg.octetField(3)->setText("77");
        whenModal<CDeviceIpDlg>([&](CDeviceIpDlg* d) {
            QTest::mouseClick(saveButton(d), Qt::LeftButton);
            QCOMPARE(rig.port.sent.size(), std::size_t(1));
            const Bytes& sent = rig.port.sent.front().data;
            QCOMPARE(rig.port.sent.front().address, varn::kBroadcastAddress);
            QCOMPARE(sent.size(), std::size_t(28));
            QCOMPARE(sent[6], std::uint8_t(varn::kSetIpAddress));
            QCOMPARE(Bytes(sent.begin() + 24, sent.end()), (Bytes{192, 168, 1, 77}));
            QCOMPARE(Bytes(sent.begin() + 20, sent.begin() + 24), (Bytes{10, 0, 0, 5}));
            QVERIFY(!saveButton(d)->isEnabled());
            QVERIFY(!cancelButton(d)->isEnabled());
            QCOMPARE(d->timers().interval(CDeviceIpDlg::TIMER_SET_IP), 1800);
            d->reject(); // Escape while waiting changes nothing
            QVERIFY(d->isVisible());
            QTest::qWait(1500);
            QVERIFY(messages.texts.isEmpty());
            QTRY_VERIFY_WITH_TIMEOUT(!d->isVisible(), 1000);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QCOMPARE(messages.texts, QStringList{answered ? "LAN IP Address is saved successfully !"
                                                      : "LAN IP Address is failed to save !"});
        QCOMPARE(messages.icons.front(), QMessageBox::Information);
        QCOMPARE(rig.config.lanIpAddress(), addr(192, 168, 1, 77));
        QCOMPARE(rig.link.targetAddress, varn::kBroadcastAddress);
    }

    // An empty field is sent as 0 but fails the closing check; the dialog stays
    // open with its buttons usable.
    void emptyFieldFailsTheClosingCheck() {
        IpRig rig;
        MessageRecorder messages;
        rig.port.answer = [&](const varn::fakes::SentDatagram&) {
            return std::vector<Bytes>{ack(varn::kSetIpAddress)};
        };
        CDeviceIpDlg dlg(rig.link);
        dlg.octetField(2)->clear();
        whenModal<CDeviceIpDlg>([&](CDeviceIpDlg* d) {
            QTest::mouseClick(saveButton(d), Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(messages.texts.size(), 2, 3000);
            QCOMPARE(messages.texts.back(), QString("Please enter an integer between 0 and 255."));
            QVERIFY(d->isVisible());
            QCOMPARE(d->focusWidget(), d->octetField(2));
            QVERIFY(saveButton(d)->isEnabled());
            QVERIFY(cancelButton(d)->isEnabled());
            QTest::mouseClick(cancelButton(d), Qt::LeftButton);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QCOMPARE(rig.config.lanIpOctet(2), 0);
    }

    void paintEnablesButtonsAndFocusesTheFirstField() {
        IpRig rig;
        CDeviceIpDlg dlg(rig.link);
        whenModal<CDeviceIpDlg>([&](CDeviceIpDlg* d) {
            QTest::mouseClick(saveButton(d), Qt::LeftButton);
            QVERIFY(!saveButton(d)->isEnabled());
            d->octetField(3)->setFocus();
            d->update();
            QTRY_VERIFY(saveButton(d)->isEnabled());
            QVERIFY(cancelButton(d)->isEnabled());
            QCOMPARE(d->focusWidget(), d->octetField(0));
            QCOMPARE(d->octetField(0)->selectedText(), QString("10"));
            QTest::mouseClick(cancelButton(d), Qt::LeftButton);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(TestDeviceIp)
#include "tst_device_ip.moc"
