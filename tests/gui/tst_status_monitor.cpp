// The Status Monitor: polling, "Unknown" for silent appliances, and its flag.

#include "gui_test_support.h"

#include "app/window_timers.h"
#include "devices/status_monitor_dlg.h"

#include <QListWidget>
#include <QPushButton>

using namespace guitest;

namespace {
QString line(QListWidget* list, int i) {
    return list->item(i) != nullptr ? list->item(i)->text() : QString();
}
} // namespace

class TestStatusMonitor : public QObject {
    Q_OBJECT

  private slots:
    void pollsAtOnceThenEveryThreeSeconds() {
        LinkRig rig;
        rig.link.monitor.monitorCount = 7; // the table starts empty each time
        CStatusMonitorDlg dlg(rig.link, rig.state);
        QCOMPARE(rig.link.monitor.monitorCount, 0);
        QCOMPARE(rig.state.monitorOpen, 1);
        QCOMPARE(rig.port.sentTypes(), std::vector<int>{varn::kStatusPoll});
        QCOMPARE(rig.port.sent.front().address, varn::kBroadcastAddress);
        QCOMPARE(dlg.timers().interval(CStatusMonitorDlg::TIMER_STATUS_POLL), 300);
        QTRY_COMPARE_WITH_TIMEOUT(rig.port.sent.size(), std::size_t(2), 1000);
        QCOMPARE(dlg.timers().interval(CStatusMonitorDlg::TIMER_STATUS_POLL), 3000);
        dlg.reject();
        QCOMPARE(rig.state.monitorOpen, 0);
        QVERIFY(!dlg.timers().isActive(CStatusMonitorDlg::TIMER_STATUS_POLL));
    }

    // A silent appliance reads "Unknown" from the next refresh and comes back
    // when it answers; rows beyond the last discovery's count keep their state.
    void silentAppliancesReadUnknownWithinTheDiscoveredRows() {
        LinkRig rig;
        rig.link.devices.deviceCount = 2;
        bool silent = false;
        rig.port.answer = [&](const varn::fakes::SentDatagram&) {
            std::vector<Bytes> out;
            out.push_back(statusReply("ALPHA", 0));
            if (!silent) {
                out.push_back(statusReply("BRAVO", 5, addr(203, 0, 113, 9), 28800));
            }
            if (!silent) {
                out.push_back(statusReply("CHARLIE", 4, 0, 9600));
            }
            return out;
        };
        CStatusMonitorDlg dlg(rig.link, rig.state);
        whenModal<CStatusMonitorDlg>([&](CStatusMonitorDlg* d) {
            QListWidget* list = d->list();
            QTRY_COMPARE_WITH_TIMEOUT(list->count(), 3, 1000);
            QVERIFY(line(list, 0).startsWith("ALPHA        \tReady"));
            QVERIFY(line(list, 1).startsWith("BRAVO        \tISP Connected  "));
            QVERIFY(line(list, 1).contains("203.0.113.9"));
            QVERIFY(line(list, 1).contains("\t28800"));
            QCOMPARE(list->currentRow(), 0);

            // Rows in table order are ALPHA, BRAVO, CHARLIE; the last discovery
            // found two, so only ALPHA's and BRAVO's rows are reset at each poll.
            // BRAVO and CHARLIE fall silent.
            silent = true;
            const std::size_t polls = rig.port.sent.size();
            QTRY_COMPARE_WITH_TIMEOUT(rig.port.sent.size(), polls + 2, 7000);
            QVERIFY2(line(list, 1).startsWith("BRAVO        \tUnknown"), qPrintable(line(list, 1)));
            QVERIFY(!line(list, 1).contains("203.0.113.9"));
            QVERIFY(line(list, 0).startsWith("ALPHA        \tReady"));
            QVERIFY(line(list, 2).startsWith("CHARLIE      \tPPP Mode Login"));
            QVERIFY(line(list, 2).contains("\t9600"));

            rig.port.deliver(statusReply("BRAVO", 5, addr(203, 0, 113, 9), 28800));
            QTRY_VERIFY(rig.link.monitor.rowText(1).find("ISP Connected") != std::string::npos);
            d->update(); // any paint shows the table as it is
            QTRY_VERIFY(line(list, 1).startsWith("BRAVO        \tISP Connected"));
            QCOMPARE(rig.state.monitorOpen, 1);
            QTest::mouseClick(d->findChild<QPushButton*>("id1"), Qt::LeftButton);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QCOMPARE(rig.state.monitorOpen, 0);
    }

    void listIsSortedByName() {
        LinkRig rig;
        rig.port.answer = [&](const varn::fakes::SentDatagram&) {
            return std::vector<Bytes>{statusReply("ZULU", 1), statusReply("MIKE", 2)};
        };
        CStatusMonitorDlg dlg(rig.link, rig.state);
        whenModal<CStatusMonitorDlg>([&](CStatusMonitorDlg* d) {
            QTRY_COMPARE_WITH_TIMEOUT(d->list()->count(), 2, 1000);
            QVERIFY(line(d->list(), 0).startsWith("MIKE"));
            QVERIFY(line(d->list(), 1).startsWith("ZULU"));
        });
        dlg.exec();
        QCOMPARE(rig.state.monitorOpen, 0);
    }
};

QTEST_MAIN(TestStatusMonitor)
#include "tst_status_monitor.moc"
