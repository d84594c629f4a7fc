// The Status Monitor: polling, "Unknown" for silent appliances, sorting and its flag.

#include "gui_test_support.h"

#include "link/device_state.h"

#include "gui/common/window_timers.h"
#include "gui/devices/status_monitor_dlg.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

using namespace guitest;

namespace {
struct MonitorRig : LinkRig {
    CStatusMonitorDlg dlg{link, state};
};
} // namespace

class TestStatusMonitor : public QObject {
    Q_OBJECT

  private slots:
    void pollsAtOnceThenEveryThreeSeconds() {
        MonitorRig rig;
        for (int i = 0; i < 7; ++i) { // the table starts empty each time
            answered(rig.link, rig.port, kStatusPoll, statusReply("OLD" + std::to_string(i), 0));
        }
        QCOMPARE(rig.link.monitor().monitorCount(), 7);
        auto script = whenModal<CStatusMonitorDlg>([&](CStatusMonitorDlg* d) {
            QCOMPARE(rig.link.monitor().monitorCount(), 0);
            QVERIFY(rig.state.monitorOpen);
            QCOMPARE(rig.port.sentTypes(), std::vector<int>{varn::kStatusPoll});
            QCOMPARE(rig.port.sent.front().address, varn::kBroadcastAddress);
            QCOMPARE(d->timers().interval(CStatusMonitorDlg::TIMER_STATUS_POLL), 300);
            d->timers().fire(CStatusMonitorDlg::TIMER_STATUS_POLL);
            QCOMPARE(rig.port.sent.size(), std::size_t(2));
            QCOMPARE(d->timers().interval(CStatusMonitorDlg::TIMER_STATUS_POLL), 3000);
            QTest::keyClick(d->list(), Qt::Key_Escape);
        });
        QCOMPARE(rig.dlg.exec(), int(QDialog::Rejected));
        QVERIFY(!rig.state.monitorOpen);
        QVERIFY(!rig.dlg.timers().isActive(CStatusMonitorDlg::TIMER_STATUS_POLL));
    }

    // A silent appliance reads "Unknown" from the next refresh and comes back
    // when it answers; rows beyond the last discovery's count keep their state.
    void silentAppliancesReadUnknownWithinTheDiscoveredRows() {
        MonitorRig rig;
        for (const char* name : {"ALPHA", "BETA"}) {
            answered(rig.link, rig.port, kDiscover, discoveryReply(name, addr(192, 168, 1, 30)));
        }
        bool silent = false;
        rig.port.answer = [&](const varn::fakes::SentDatagram&) {
            std::vector<Bytes> out{statusReply("ALPHA", 0)};
            if (!silent) {
                out.push_back(statusReply("BRAVO", 5, addr(203, 0, 113, 9), 28800));
                out.push_back(statusReply("CHARLIE", 4, 0, 9600));
            }
            return out;
        };
        auto script = whenModal<CStatusMonitorDlg>([&](CStatusMonitorDlg* d) {
            const int poll = CStatusMonitorDlg::TIMER_STATUS_POLL;
            QListWidget* list = d->list();
            QTest::qWait(0); // the answers
            d->timers().fire(poll);
            QCOMPARE(list->count(), 3);
            QVERIFY(line(list, 0).startsWith("ALPHA        \tReady"));
            QVERIFY(line(list, 1).startsWith("BRAVO        \tISP Connected  "));
            QVERIFY(line(list, 1).contains("203.0.113.9"));
            QVERIFY(line(list, 1).contains("\t28800"));
            QCOMPARE(list->currentRow(), 0);

            // Rows in table order are ALPHA, BRAVO, CHARLIE; the last discovery
            // found two, so only ALPHA's and BRAVO's rows are reset at each poll.
            // BRAVO and CHARLIE fall silent.
            silent = true;
            QTest::qWait(0);
            d->timers().fire(poll);
            QTest::qWait(0);
            d->timers().fire(poll);
            QVERIFY2(line(list, 1).startsWith("BRAVO        \tUnknown"), qPrintable(line(list, 1)));
            QVERIFY(!line(list, 1).contains("203.0.113.9"));
            QVERIFY(line(list, 0).startsWith("ALPHA        \tReady"));
            QVERIFY(line(list, 2).startsWith("CHARLIE      \tPPP Mode Login"));
            QVERIFY(line(list, 2).contains("\t9600"));

            rig.port.deliver(statusReply("BRAVO", 5, addr(203, 0, 113, 9), 28800));
            QTRY_VERIFY(rig.link.monitor().entry(1).rowText().find("ISP Connected") !=
                        std::string::npos);
            d->update(); // any paint shows the table as it is
            QTRY_VERIFY(line(list, 1).startsWith("BRAVO        \tISP Connected"));
            QVERIFY(rig.state.monitorOpen);
            QTest::mouseClick(d->button(1), Qt::LeftButton);
        });
        QCOMPARE(rig.dlg.exec(), int(QDialog::Accepted));
        QVERIFY(!rig.state.monitorOpen);
    }

    // Each column holds the longest text it can show, whole, under its heading:
    // the longest state, dial, PPP and terminal texts, a 12-letter name, the
    // widest address and speed; the dialog grows to hold them.
    void everyTextFitsItsColumn() {
        MonitorRig rig;
        rig.dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.dlg));
        const QList<int>& left = rig.dlg.columns();
        QCOMPARE(left.size(), 5);
        const QFontMetrics font = rig.dlg.list()->fontMetrics();
        const int gap = CStatusMonitorDlg::kColumnGap;
        const auto fits = [&](int column, const QString& text) {
            const int room = left[column + 1] - left[column] - (column < 3 ? gap : 0);
            return font.horizontalAdvance(text) <= room;
        };
        QVERIFY(fits(0, QString(12, 'W')));
        QStringList states{"Unknown"};
        for (const char* name : varn::stateNames) {
            states << name;
        }
        for (int state = varn::kStateDialResult; state <= varn::kStateTerminalResult; ++state) {
            for (int code = 0; code <= 10; ++code) {
                states << QString::fromStdString(
                    varn::statusText(std::uint8_t(state), std::uint8_t(code)));
            }
        }
        QVERIFY(states.contains("Dial Error - Telephone line Busy"));
        QVERIFY(states.contains("PPP Error - CHAP Negotiation Failed !"));
        for (const QString& text : states) {
            QVERIFY2(fits(1, text), qPrintable(text));
        }
        QVERIFY(fits(2, "255.255.255.255"));
        QVERIFY(fits(3, "65535"));
        QVERIFY(left.back() < rig.dlg.list()->viewport()->width() - 8);
        const QStringList headings{"labelName", "labelStatus", "labelWan", "labelSpeed"};
        for (int i = 0; i < 4; ++i) {
            auto* heading = rig.dlg.findChild<QLabel*>(headings[i]);
            QCOMPARE(heading->x(), rig.dlg.list()->x() + left[i]);
        }
        QVERIFY(std::abs(rig.dlg.button(1)->geometry().center().x() - rig.dlg.width() / 2) <= 1);
        rig.dlg.done(QDialog::Accepted);
    }

    // Sorted by name as the list box sorts: whatever the case.
    void listIsSortedByNameWithoutRegardToCase() {
        MonitorRig rig;
        rig.port.answer = [&](const varn::fakes::SentDatagram&) {
            return std::vector<Bytes>{statusReply("ZULU", 1), statusReply("mike", 2),
                                      statusReply("Lima", 0)};
        };
        auto script = whenModal<CStatusMonitorDlg>([&](CStatusMonitorDlg* d) {
            QTest::qWait(0);
            d->applyPaint();
            QCOMPARE(d->list()->count(), 3);
            QVERIFY(line(d->list(), 0).startsWith("Lima"));
            QVERIFY(line(d->list(), 1).startsWith("mike"));
            QVERIFY(line(d->list(), 2).startsWith("ZULU"));
            d->accept();
        });
        QCOMPARE(rig.dlg.exec(), int(QDialog::Accepted));
        QVERIFY(!rig.state.monitorOpen);
    }
};

QTEST_MAIN(TestStatusMonitor)
#include "tst_status_monitor.moc"

using namespace varn;
