// The Set Device IP Address dialog: typing rules, Save, the answer and validation.

#include "gui_test_support.h"

#include "gui/common/window_timers.h"
#include "gui/devices/device_ip_dlg.h"

#include <QLineEdit>
#include <QPushButton>

using namespace guitest;

namespace {
// A link whose row 0 names the appliance being moved.
struct MoverRig : LinkRig {
    MoverRig() {
        answered(link, port, kDiscover, discoveryReply("MOVER", addr(10, 0, 0, 5)));
        link.chooseDevice(0);
        link.setTargetAddress(addr(10, 0, 0, 5));
    }
};

struct IpRig : MoverRig {
    MessageRecorder messages;
    CDeviceIpDlg dlg{link, config};
};

// Types as a user does: each key goes to whichever field has the focus then.
void type(CDeviceIpDlg* d, const char* text) {
    for (const char* c = text; *c != 0; ++c) {
        QTest::keyClick(d->focusWidget(), *c);
    }
}

void setFields(CDeviceIpDlg* d, std::initializer_list<const char*> texts) {
    int i = 0;
    for (const char* text : texts) {
        d->octetField(i++)->setText(text);
    }
}
} // namespace

class TestDeviceIp : public QObject {
    Q_OBJECT

  private slots:
    void opensWithTheTargetAddressAndSaveAsDefault() {
        IpRig rig;
        auto script = whenModal<CDeviceIpDlg>([&](CDeviceIpDlg* d) {
            QCOMPARE(d->windowTitle(), QString("Set Device IP Address"));
            const char* expected[] = {"10", "0", "0", "5"};
            for (int i = 0; i < 4; ++i) {
                QCOMPARE(d->octetField(i)->text(), QString(expected[i]));
            }
            QVERIFY(d->button(1)->isDefault());
            QCOMPARE(d->focusWidget(), d->octetField(0));
            d->reject();
        });
        QCOMPARE(rig.dlg.exec(), int(QDialog::Rejected));
    }

    // Three digits or a "." move on; a letter is refused and cut off; a whole
    // dotted address typed in one go lands in the four fields.
    void typingMovesOnAndRefusesLetters() {
        IpRig rig;
        auto script = whenModal<CDeviceIpDlg>([&](CDeviceIpDlg* d) {
            type(d, "192"); // the field's text is selected
            QCOMPARE(d->octetField(0)->text(), QString("192"));
            QCOMPARE(d->focusWidget(), d->octetField(1));
            type(d, "16.");
            QCOMPARE(d->octetField(1)->text(), QString("16"));
            QCOMPARE(d->focusWidget(), d->octetField(2));
            type(d, "1x");
            QCOMPARE(rig.messages.texts, QStringList{"Invalid IP Address !"});
            QCOMPARE(rig.messages.icons.front(), QMessageBox::Warning);
            QCOMPARE(d->octetField(2)->text(), QString("1"));
            QCOMPARE(d->focusWidget(), d->octetField(2));
            d->octetField(3)->setFocus();
            type(d, "200");
            QCOMPARE(d->focusWidget(), d->button(1)); // after the fourth field: Save

            d->octetField(0)->setFocus();
            d->octetField(0)->selectAll();
            type(d, "192.168.1.20");
            for (int i = 0; i < 4; ++i) {
                QCOMPARE(d->octetField(i)->text(), QString(std::array{"192", "168", "1", "20"}[i]));
            }
            QTest::mouseClick(d->button(2), Qt::LeftButton);
        });
        QCOMPARE(rig.dlg.exec(), int(QDialog::Rejected));
        QVERIFY(rig.port.sent.empty());
    }

    // Every field is checked before anything is stored or sent: the rightmost
    // bad one is reported, and no octet is stored.
    void aBadFieldStopsTheSaveBeforeAnythingIsStored_data() {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<int>("reported");
        QTest::newRow("above 255") << QStringList{"300", "256", "7", "8"} << 1;
        QTest::newRow("empty") << QStringList{"192", "168", "", "8"} << 2;
        QTest::newRow("dot only") << QStringList{"192", "168", "1", ""} << 3;
    }
    void aBadFieldStopsTheSaveBeforeAnythingIsStored() {
        QFETCH(QStringList, fields);
        QFETCH(int, reported);
        IpRig rig;
        const varn::DeviceConfig before = rig.config;
        auto script = whenModal<CDeviceIpDlg>([&](CDeviceIpDlg* d) {
            for (int i = 0; i < 4; ++i) {
                d->octetField(i)->setText(fields[i]);
            }
            QTest::mouseClick(d->button(1), Qt::LeftButton);
            QCOMPARE(rig.messages.texts, QStringList{"Invalid IP Address !"});
            QCOMPARE(d->focusWidget(), d->octetField(reported));
            QVERIFY(d->isVisible());
            QVERIFY(d->button(1)->isEnabled());
            QVERIFY(rig.port.sent.empty());
            QVERIFY(rig.config == before);
            QTest::mouseClick(d->button(2), Qt::LeftButton);
        });
        QCOMPARE(rig.dlg.exec(), int(QDialog::Rejected));
    }

    void saveBroadcastsAndReportsTheOutcome_data() {
        QTest::addColumn<bool>("answered");
        QTest::newRow("answered") << true;
        QTest::newRow("no answer") << false;
    }
    void saveBroadcastsAndReportsTheOutcome() {
        QFETCH(bool, answered);
        IpRig rig;
        rig.port.answer = [&](const varn::fakes::SentDatagram&) {
            return answered ? std::vector<Bytes>{ack(varn::kSetIpAddress)} : std::vector<Bytes>{};
        };
        auto script = whenModal<CDeviceIpDlg>([&](CDeviceIpDlg* d) {
            setFields(d, {"192", "168", "1", "77"});
            QTest::mouseClick(d->button(1), Qt::LeftButton);
            QCOMPARE(rig.port.sent.size(), std::size_t(1));
            const Bytes& sent = rig.port.sent.front().data;
            QCOMPARE(rig.port.sent.front().address, varn::kBroadcastAddress);
            QCOMPARE(sent.size(), std::size_t(28));
            QCOMPARE(sent[6], std::uint8_t(varn::kSetIpAddress));
            QCOMPARE(Bytes(sent.begin() + 24, sent.end()), (Bytes{192, 168, 1, 77}));
            QCOMPARE(Bytes(sent.begin() + 20, sent.begin() + 24), (Bytes{10, 0, 0, 5}));
            QVERIFY(!d->button(1)->isEnabled());
            QVERIFY(!d->button(2)->isEnabled());
            QCOMPARE(d->timers().interval(CDeviceIpDlg::TIMER_SET_IP), 1800);
            d->reject(); // Escape while waiting changes nothing
            QVERIFY(d->isVisible());
            QTest::qWait(0); // the answer, if any
            QVERIFY(rig.messages.texts.isEmpty());
            d->timers().fire(CDeviceIpDlg::TIMER_SET_IP);
        });
        QCOMPARE(rig.dlg.exec(), int(QDialog::Accepted));
        QCOMPARE(rig.messages.texts, QStringList{answered ? "LAN IP Address is saved successfully !"
                                                          : "LAN IP Address is failed to save !"});
        QCOMPARE(rig.messages.icons.front(), QMessageBox::Information);
        QCOMPARE(rig.config.lanIpAddress(), addr(192, 168, 1, 77));
        QCOMPARE(rig.link.targetAddress(), varn::kBroadcastAddress);
    }

    // A field emptied while the answer is awaited fails the closing check: the
    // dialog stays open with its buttons usable.
    void aFieldEmptiedWhileWaitingFailsTheClosingCheck() {
        IpRig rig;
        auto script = whenModal<CDeviceIpDlg>([&](CDeviceIpDlg* d) {
            QTest::mouseClick(d->button(1), Qt::LeftButton);
            d->octetField(2)->clear();
            d->timers().fire(CDeviceIpDlg::TIMER_SET_IP);
            QCOMPARE(rig.messages.texts.back(),
                     QString("Please enter an integer between 0 and 255."));
            QVERIFY(d->isVisible());
            QCOMPARE(d->focusWidget(), d->octetField(2));
            QVERIFY(d->button(1)->isEnabled());
            QVERIFY(d->button(2)->isEnabled());
            QTest::mouseClick(d->button(2), Qt::LeftButton);
        });
        QCOMPARE(rig.dlg.exec(), int(QDialog::Rejected));
    }

    void paintEnablesButtonsAndFocusesTheFirstField() {
        IpRig rig;
        auto script = whenModal<CDeviceIpDlg>([&](CDeviceIpDlg* d) {
            QTest::mouseClick(d->button(1), Qt::LeftButton);
            QVERIFY(!d->button(1)->isEnabled());
            d->octetField(3)->setFocus();
            d->update();
            QTRY_VERIFY(d->button(1)->isEnabled());
            QVERIFY(d->button(2)->isEnabled());
            QCOMPARE(d->focusWidget(), d->octetField(0));
            QCOMPARE(d->octetField(0)->selectedText(), QString("10"));
            QTest::mouseClick(d->button(2), Qt::LeftButton);
        });
        QCOMPARE(rig.dlg.exec(), int(QDialog::Rejected));
    }

    // Tab to Cancel and Enter cancels; nothing is sent.
    void enterOnCancelCancels() {
        IpRig rig;
        auto script = whenModal<CDeviceIpDlg>([&](CDeviceIpDlg* d) {
            d->button(2)->setFocus(Qt::TabFocusReason);
            QTest::keyClick(d->button(2), Qt::Key_Return);
        });
        QCOMPARE(rig.dlg.exec(), int(QDialog::Rejected));
        QVERIFY(rig.port.sent.empty());
    }
};

QTEST_MAIN(TestDeviceIp)
#include "tst_device_ip.moc"

using namespace varn;
