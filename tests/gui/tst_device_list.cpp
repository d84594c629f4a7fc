// The Device List: discovery sweeps, rows shown as they come, painting, the
// Config chain and its retries, the detour through the IP dialog, the keyboard,
// and the opening of the endpoint.

#include "gui_test_support.h"

#include "gui/common/window_timers.h"
#include "gui/config/config_dlg.h"
#include "gui/devices/admin_login_dlg.h"
#include "gui/devices/device_ip_dlg.h"
#include "gui/devices/device_list_dlg.h"
#include "gui/devices/status_monitor_dlg.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

using namespace guitest;

namespace {

EndpointAccess healthyEndpoint() {
    return {[] { return 0; }, [] { return 0; }};
}

const char* const kFailed = "Get Configuration of selected device failed, check if connection "
                            "was lost or IP Address need be set";

// Answers discovery with the given appliances (on the first sweep broadcast only).
void answerDiscovery(AnsweringPort& port, std::vector<Bytes> replies) {
    port.answer = [&port, replies](const varn::fakes::SentDatagram& d) {
        if (d.data[6] == varn::kDiscover && port.count(varn::kDiscover) == 1) {
            return replies;
        }
        return std::vector<Bytes>{};
    };
}

// A Device List over the rig, with a healthy endpoint.
struct ListRig : LinkRig {
    CDeviceListDlg dlg{link, config, test, state, ui, healthyEndpoint()};

    // Waits for the sweep to end, as its timer ends it.
    static bool sweepEnded(CDeviceListDlg* d) {
        return QTest::qWaitFor(
            [d] { return !d->timers().isActive(CDeviceListDlg::TIMER_DISCOVERY); });
    }
};

} // namespace

class TestDeviceList : public QObject {
    Q_OBJECT

  private slots:
    // Duplicates listed once, the same name elsewhere twice, and each 100 ms that
    // brings someone new prolongs the sweep by one broadcast.
    void discoveryListsEachApplianceOnceAndProlongsTheSweep() {
        ListRig rig;
        rig.port.answer = [&](const varn::fakes::SentDatagram& d) {
            std::vector<Bytes> out;
            const int sends = rig.port.count(varn::kDiscover);
            if (d.data[6] == varn::kDiscover && sends == 1) {
                out.push_back(discoveryReply("AP-ONE", addr(192, 168, 1, 20), 5));
                out.push_back(discoveryReply("AP-ONE", addr(192, 168, 1, 20), 5));
                out.push_back(discoveryReply("AP-ONE", addr(192, 168, 1, 21), 0));
            } else if (d.data[6] == varn::kDiscover && sends == 2) {
                out.push_back(discoveryReply("AP-TWO", addr(192, 168, 1, 22), 1));
            }
            return out;
        };
        auto script = whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QVERIFY(ListRig::sweepEnded(d));
            QCOMPARE(rig.port.count(varn::kDiscover), 3); // two that found someone, one not
            QListWidget* list = d->list();
            QCOMPARE(list->count(), 3);
            QCOMPARE(line(list, 0), QString("AP-ONE       \t192.168.1.20   \tISP Connected  ") +
                                        QString(128 - 45, ' '));
            QVERIFY(line(list, 1).startsWith("AP-ONE       \t192.168.1.21   \tReady"));
            QVERIFY(line(list, 2).startsWith("AP-TWO       \t192.168.1.22   \tDialing Phone"));
            QCOMPARE(list->currentRow(), 0);
            QCOMPARE(d->focusWidget(), list);
            QVERIFY(d->button(1016)->isEnabled());
            QVERIFY(d->button(1017)->isEnabled());
            QVERIFY(!d->timers().isActive(CDeviceListDlg::TIMER_EMPTY_SWEEP));
        });
        QCOMPARE(rig.dlg.exec(), -1);
        QVERIFY(rig.state.endpointOpened);
    }

    void emptyNetworkDisablesConfigAndSweepsAgainAfterFiveSeconds() {
        ListRig rig;
        rig.port.answer = [&](const varn::fakes::SentDatagram& d) {
            std::vector<Bytes> out;
            if (d.data[6] == varn::kDiscover && rig.port.count(varn::kDiscover) == 2) {
                out.push_back(discoveryReply("LATE", addr(192, 168, 1, 30)));
            }
            return out;
        };
        auto script = whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QVERIFY(d->button(1016)->isEnabled()); // enabled until a sweep ends empty
            QVERIFY(ListRig::sweepEnded(d));
            QVERIFY(!d->button(1016)->isEnabled());
            QVERIFY(!d->button(1017)->isEnabled());
            QCOMPARE(d->focusWidget(), d->button(1002));
            QCOMPARE(d->timers().interval(CDeviceListDlg::TIMER_EMPTY_SWEEP), 5000);
            QCOMPARE(rig.port.count(varn::kDiscover), 1);
            QVERIFY(d->timers().fire(CDeviceListDlg::TIMER_EMPTY_SWEEP));
            QCOMPARE(rig.port.count(varn::kDiscover), 2);
            QTRY_VERIFY(d->button(1016)->isEnabled());
            QVERIFY(d->button(1017)->isEnabled());
            QCOMPARE(d->list()->count(), 1);
        });
        QCOMPARE(rig.dlg.exec(), -1);
    }

    // Rows are shown as the dispatch adds them: a slow appliance that answers
    // after the sweep has ended is listed, the selection stays where the user
    // put it, and the empty-network re-probe is called off.
    void rowsAreShownAsTheyArrive() {
        ListRig rig;
        auto script = whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QVERIFY(ListRig::sweepEnded(d));
            QVERIFY(d->timers().isActive(CDeviceListDlg::TIMER_EMPTY_SWEEP));
            rig.port.deliver(discoveryReply("SLOW-1", addr(192, 168, 1, 40)));
            QTRY_COMPARE(d->list()->count(), 1);
            QCOMPARE(d->list()->currentRow(), 0);
            QVERIFY(d->button(1016)->isEnabled());
            QVERIFY(!d->timers().isActive(CDeviceListDlg::TIMER_EMPTY_SWEEP));

            rig.port.deliver(discoveryReply("SLOW-2", addr(192, 168, 1, 41)));
            QTRY_COMPARE(d->list()->count(), 2);
            d->list()->setCurrentRow(1);
            rig.port.deliver(discoveryReply("SLOW-3", addr(192, 168, 1, 42)));
            QTRY_COMPARE(d->list()->count(), 3);
            QCOMPARE(d->list()->currentRow(), 1);
            QVERIFY(line(d->list(), 2).startsWith("SLOW-3"));
        });
        QCOMPARE(rig.dlg.exec(), -1);
    }

    // The sweep still ends at its first quiet tick; eight more broadcasts 100 ms
    // apart then find an appliance whose answers were lost, adding its row
    // without clearing the list or moving the selection. Config stops them.
    void rechecksAfterTheSweepAddLateAppliances() {
        ListRig rig;
        MessageRecorder messages;
        rig.port.answer = [&](const varn::fakes::SentDatagram& d) {
            std::vector<Bytes> out;
            if (d.data[6] == varn::kDiscover) {
                out.push_back(discoveryReply("FIRST", addr(192, 168, 1, 20)));
                out.push_back(discoveryReply("SECOND", addr(192, 168, 1, 21)));
                if (rig.port.count(varn::kDiscover) == 4) {
                    out.push_back(discoveryReply("LOST", addr(192, 168, 1, 22)));
                }
            }
            return out;
        };
        auto script = whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QVERIFY(ListRig::sweepEnded(d));
            QCOMPARE(rig.port.count(varn::kDiscover), 2);
            QCOMPARE(d->timers().interval(CDeviceListDlg::TIMER_RECHECK), 100);
            QListWidget* list = d->list();
            QCOMPARE(list->count(), 2);
            list->setCurrentRow(1);

            QVERIFY(d->timers().fire(CDeviceListDlg::TIMER_RECHECK));
            QVERIFY(d->timers().fire(CDeviceListDlg::TIMER_RECHECK));
            QCOMPARE(rig.port.count(varn::kDiscover), 4);
            QTRY_COMPARE(list->count(), 3);
            QVERIFY(line(list, 0).startsWith("FIRST"));
            QVERIFY(line(list, 2).startsWith("LOST"));
            QCOMPARE(list->currentRow(), 1);
            QVERIFY(!d->timers().isActive(CDeviceListDlg::TIMER_DISCOVERY));

            int rechecks = 2;
            while (d->timers().fire(CDeviceListDlg::TIMER_RECHECK)) {
                ++rechecks;
            }
            QCOMPARE(rechecks, 8);
            QCOMPARE(rig.port.count(varn::kDiscover), 2 + 8);
            QCOMPARE(list->count(), 3);
            // Rows are looked for often while answers are expected, less after.
            QTRY_COMPARE(d->timers().interval(CDeviceListDlg::TIMER_ROWS), 50);

            // Config while rechecking: nothing but the chain's requests goes out.
            QTest::mouseClick(d->button(1002), Qt::LeftButton);
            QCOMPARE(d->timers().interval(CDeviceListDlg::TIMER_ROWS), 2);
            for (int tick = 0; tick < 10; ++tick) {
                QCOMPARE(d->timers().interval(CDeviceListDlg::TIMER_ROWS), 2);
                QVERIFY(d->timers().fire(CDeviceListDlg::TIMER_ROWS));
            }
            QCOMPARE(d->timers().interval(CDeviceListDlg::TIMER_ROWS), 10);
            QVERIFY(ListRig::sweepEnded(d));
            QVERIFY(d->timers().isActive(CDeviceListDlg::TIMER_RECHECK));
            const int sweeps = rig.port.count(varn::kDiscover);
            QTest::mouseClick(d->button(1016), Qt::LeftButton);
            QVERIFY(!d->timers().isActive(CDeviceListDlg::TIMER_RECHECK));
            QTRY_COMPARE(messages.texts, QStringList{kFailed});
            QCOMPARE(rig.port.count(varn::kDiscover), sweeps);
            QCOMPARE(rig.port.count(varn::kVersions), 3);
        });
        QCOMPARE(rig.dlg.exec(), -1);
    }

    // Config given while the sweep still finds appliances ends the sweep at its
    // next tick: a broadcast would make the chain's answer look missing.
    void configDuringASweepEndsIt() {
        ListRig rig;
        ScriptedAppliance appliance;
        appliance.install(rig.port);
        auto answer = rig.port.answer;
        rig.port.answer = [&](const varn::fakes::SentDatagram& d) {
            std::vector<Bytes> out = answer(d);
            if (d.data[6] == varn::kDiscover) { // someone new every time
                const int n = rig.port.count(varn::kDiscover);
                out.push_back(discoveryReply("NEW" + std::to_string(n),
                                             addr(192, 168, 1, std::uint8_t(100 + n))));
            }
            return out;
        };
        auto script = whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QTRY_VERIFY(d->list()->count() >= 2);
            QVERIFY(d->timers().isActive(CDeviceListDlg::TIMER_DISCOVERY));
            const int sweeps = rig.port.count(varn::kDiscover);
            d->list()->setCurrentRow(0);
            QTest::mouseClick(d->button(1016), Qt::LeftButton);
            QVERIFY(d->timers().fire(CDeviceListDlg::TIMER_DISCOVERY));
            QVERIFY(!d->timers().isActive(CDeviceListDlg::TIMER_DISCOVERY));
            QVERIFY(!d->timers().isActive(CDeviceListDlg::TIMER_RECHECK));
            QCOMPARE(rig.port.count(varn::kDiscover), sweeps);
            QTest::qWait(0);
            QCOMPARE(rig.link.awaitedReply(), 0); // the versions answer still counts
            QVERIFY(d->timers().fire(CDeviceListDlg::TIMER_VERSIONS));
            QCOMPARE(rig.port.count(varn::kVersions), 1);
            QCOMPARE(rig.port.count(varn::kReadConfig), 1);
        });
        QCOMPARE(rig.dlg.exec(), -1);
    }

    void fiftyFirstApplianceIsLeftOut() {
        ListRig rig;
        std::vector<Bytes> replies;
        for (int i = 0; i < 51; ++i) {
            replies.push_back(
                discoveryReply("AP" + std::to_string(i), addr(192, 168, 1, std::uint8_t(100 + i))));
        }
        answerDiscovery(rig.port, replies);
        auto script = whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QVERIFY(ListRig::sweepEnded(d));
            QCOMPARE(d->list()->count(), 50);
            QVERIFY(line(d->list(), 49).startsWith("AP49"));
        });
        QCOMPARE(rig.dlg.exec(), -1);
    }

    // A paint refills the list and returns the selection to the first line,
    // except while the Status Monitor is open.
    void paintingRefillsUnlessTheMonitorIsOpen() {
        ListRig rig;
        answerDiscovery(rig.port, {discoveryReply("A", addr(192, 168, 1, 2)),
                                   discoveryReply("B", addr(192, 168, 1, 3))});
        auto script = whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QTRY_COMPARE(d->list()->count(), 2);
            d->list()->setCurrentRow(1);
            d->update(); // the dialog uncovered
            QTRY_COMPARE(d->list()->currentRow(), 0);

            d->list()->setCurrentRow(1);
            d->button(1017)->setFocus();
            rig.state.monitorOpen = true;
            rig.link.clearDevices();
            d->applyPaint();
            QCOMPARE(d->list()->count(), 2);
            QCOMPARE(d->list()->currentRow(), 1);
            QCOMPARE(d->focusWidget(), d->button(1017));
            rig.state.monitorOpen = false;
        });
        QCOMPARE(rig.dlg.exec(), -1);
    }

    // Enter on a focused button presses that button; elsewhere the default (Config).
    void enterPressesTheFocusedButton() {
        ListRig rig;
        ScriptedAppliance appliance;
        appliance.answersVersions = false;
        appliance.install(rig.port);
        MessageRecorder messages;
        auto script = whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QVERIFY(ListRig::sweepEnded(d));
            const int sweeps = rig.port.count(varn::kDiscover);
            d->button(1002)->setFocus();
            QTest::keyClick(d->button(1002), Qt::Key_Return);
            QCOMPARE(rig.port.count(varn::kDiscover), sweeps + 1);
            QCOMPARE(rig.port.count(varn::kVersions), 0);
            QVERIFY(ListRig::sweepEnded(d));
            QTest::keyClick(d->list(), Qt::Key_Return);
            QCOMPARE(rig.port.count(varn::kVersions), 1);
        });
        QCOMPARE(rig.dlg.exec(), -1);
    }

    void configWithoutSelectionSendsNothing() {
        ListRig rig;
        auto script = whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QCOMPARE(d->list()->count(), 0);
            QTest::mouseClick(d->button(1016), Qt::LeftButton); // still enabled
            for (int type : rig.port.sentTypes()) {
                QCOMPARE(type, int(varn::kDiscover));
            }
        });
        QCOMPARE(rig.dlg.exec(), -1);
    }

    // Another host may answer under a real appliance's name: before anything is
    // sent to the chosen one, the user hears which addresses answer.
    void twoAppliancesUnderOneNameAreSaidBeforeConfiguring() {
        ListRig rig;
        MessageRecorder messages;
        answerDiscovery(rig.port, {discoveryReply("OFFICE", addr(192, 168, 1, 66)),
                                   discoveryReply("OFFICE", addr(192, 168, 1, 20))});
        std::vector<int> sentAtMessage;
        messages.onMessage = [&](const QString&) { sentAtMessage = rig.port.sentTypes(); };
        auto script = whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QVERIFY(ListRig::sweepEnded(d));
            QTRY_COMPARE(d->list()->count(), 2);
            QTest::mouseClick(d->button(1016), Qt::LeftButton);
            QCOMPARE(messages.texts,
                     QStringList{"2 devices answer as \"OFFICE\": 192.168.1.66, 192.168.1.20. "
                                 "Configuring the one at 192.168.1.66."});
            QCOMPARE(std::count(sentAtMessage.begin(), sentAtMessage.end(), varn::kVersions), 0);
            QCOMPARE(rig.port.count(varn::kVersions), 1); // then the chain goes on
        });
        QCOMPARE(rig.dlg.exec(), -1);
    }

    // Three versions queries 100 ms apart; when those are answered, five reads
    // (100 ms, then 200 ms apart); then the failure message.
    void configChainGivesUpAfterItsTries_data() {
        QTest::addColumn<bool>("versionsAnswered");
        QTest::newRow("versions unanswered") << false;
        QTest::newRow("reads unanswered") << true;
    }
    void configChainGivesUpAfterItsTries() {
        QFETCH(bool, versionsAnswered);
        ListRig rig;
        MessageRecorder messages;
        ScriptedAppliance appliance;
        appliance.answersVersions = versionsAnswered;
        appliance.answersRead = false;
        appliance.install(rig.port);
        auto script = whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QVERIFY(ListRig::sweepEnded(d));
            QTest::mouseClick(d->button(1016), Qt::LeftButton);
            QCOMPARE(rig.link.targetAddress(), appliance.address);
            const int timer = versionsAnswered ? CDeviceListDlg::TIMER_READ_CONFIG
                                               : CDeviceListDlg::TIMER_VERSIONS;
            if (versionsAnswered) {
                QCOMPARE(d->timers().interval(CDeviceListDlg::TIMER_VERSIONS), 100);
                QTest::qWait(0); // the answer
                QVERIFY(d->timers().fire(CDeviceListDlg::TIMER_VERSIONS));
            }
            std::vector<int> waits;
            while (d->timers().isActive(timer)) {
                waits.push_back(d->timers().interval(timer));
                d->timers().fire(timer);
            }
            QCOMPARE(messages.texts, QStringList{kFailed});
            QCOMPARE(messages.icons.front(), QMessageBox::Warning);
            if (versionsAnswered) {
                QCOMPARE(rig.port.count(varn::kVersions), 1);
                QCOMPARE(rig.port.count(varn::kReadConfig), 5);
                QCOMPARE(waits, (std::vector<int>{100, 200, 200, 200, 200}));
                QCOMPARE(rig.port.sent.back().address, appliance.address);
            } else {
                QCOMPARE(rig.port.count(varn::kVersions), 3);
                QCOMPARE(waits, (std::vector<int>{100, 100, 100}));
                QCOMPARE(rig.port.count(varn::kReadConfig), 0);
            }
            QVERIFY(d->isVisible());
        });
        QCOMPARE(rig.dlg.exec(), -1);
    }

    // The whole chain to the configuration dialog: Cancel restores the block and
    // sends 12, OK sends 8; a new sweep follows one second later.
    void configurationEndsWithRestoreOrReset_data() {
        QTest::addColumn<bool>("accepted");
        QTest::newRow("Cancel") << false;
        QTest::newRow("OK") << true;
    }
    void configurationEndsWithRestoreOrReset() {
        QFETCH(bool, accepted);
        ListRig rig;
        MessageRecorder messages;
        ScriptedAppliance appliance;
        appliance.block.data()[0] = 0x5A; // bytes nobody interprets come back as they were
        appliance.install(rig.port);
        auto config = whenModal<CConfigDlg>([&](CConfigDlg* c) {
            QCOMPARE(rig.port.sentTypes().back(), int(varn::kBeginConfig));
            QVERIFY(rig.state.savedConfig == appliance.block);
            QVERIFY(rig.config == appliance.block);
            c->field(1010)->setText("EDITED");
            if (!accepted) {
                QTest::mouseClick(c->button(2), Qt::LeftButton);
                return;
            }
            // Save ends the dialog once the appliance has acknowledged the block.
            QTest::mouseClick(c->button(1050), Qt::LeftButton);
            QCOMPARE(rig.port.sentTypes().back(), int(varn::kWriteConfig));
            QTRY_VERIFY(!c->isVisible());
            QCOMPARE(c->result(), int(QDialog::Accepted));
        });
        auto script = whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QVERIFY(ListRig::sweepEnded(d));
            QTest::mouseClick(d->button(1016), Qt::LeftButton);
            QTRY_VERIFY(d->timers().isActive(CDeviceListDlg::TIMER_AFTER_CONFIG));
            QCOMPARE(d->timers().interval(CDeviceListDlg::TIMER_AFTER_CONFIG), 1000);
            const int sweeps = rig.port.count(varn::kDiscover);
            QCOMPARE(rig.port.sentTypes().back(),
                     accepted ? int(varn::kReset) : int(varn::kAbandonConfig));
            // Cancel tells the appliance before the Device List restores the block.
            const auto types = rig.port.sentTypes();
            QCOMPARE(types[types.size() - 2],
                     accepted ? int(varn::kWriteConfig) : int(varn::kConfigCancelled));
            QCOMPARE(rig.port.sent.back().address, appliance.address);
            QCOMPARE(rig.config.deviceName(), accepted ? std::string("EDITED") : "AP");
            if (!accepted) {
                QVERIFY(rig.config == appliance.block);
            }
            d->timers().fire(CDeviceListDlg::TIMER_AFTER_CONFIG);
            QCOMPARE(rig.port.count(varn::kDiscover), sweeps + 1);
        });
        QCOMPARE(rig.dlg.exec(), -1);
        QVERIFY(messages.texts.isEmpty());
    }

    // A configuration reply cut short changes nothing: the chain goes on asking
    // and opens the configuration on the whole block.
    void aShortConfigurationReplyIsRetried() {
        ListRig rig;
        ScriptedAppliance appliance;
        appliance.block.setDevicePassword(""); // no login to get through
        appliance.block.data()[300] = 0x77;
        appliance.install(rig.port);
        auto answer = rig.port.answer;
        rig.port.answer = [&](const varn::fakes::SentDatagram& d) {
            std::vector<Bytes> out = answer(d);
            if (d.data[6] == varn::kReadConfig && rig.port.count(varn::kReadConfig) == 1) {
                out.back().resize(out.back().size() - 2); // the first one arrives cut
            }
            return out;
        };
        auto config = whenModal<CConfigDlg>([&](CConfigDlg* c) {
            QVERIFY(rig.config == appliance.block);
            c->reject();
        });
        auto script = whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QVERIFY(ListRig::sweepEnded(d));
            QTest::mouseClick(d->button(1016), Qt::LeftButton);
            QTest::qWait(0);
            d->timers().fire(CDeviceListDlg::TIMER_VERSIONS);
            QTest::qWait(0);
            d->timers().fire(CDeviceListDlg::TIMER_READ_CONFIG); // the cut block: ask again
            QCOMPARE(rig.port.count(varn::kReadConfig), 2);
            QVERIFY(rig.config == varn::DeviceConfig{});
            QTest::qWait(0);
            d->timers().fire(CDeviceListDlg::TIMER_READ_CONFIG);
            QVERIFY(config.ran());
        });
        QCOMPARE(rig.dlg.exec(), -1);
    }

    // A login counts for one opening of the Device List.
    void loginIsAskedOncePerOpening() {
        LinkRig rig;
        ScriptedAppliance appliance;
        appliance.block.setDevicePassword("ab");
        appliance.install(rig.port);
        int logins = 0;
        auto configure = [&](CDeviceListDlg* d) {
            auto config = whenModal<CConfigDlg>([&](CConfigDlg* c) { c->reject(); });
            QVERIFY(ListRig::sweepEnded(d));
            QTRY_COMPARE(d->list()->count(), 1);
            QTest::mouseClick(d->button(1016), Qt::LeftButton);
            QTRY_VERIFY(config.ran());
        };
        for (int opening = 0; opening < 2; ++opening) {
            CDeviceListDlg dlg(rig.link, rig.config, rig.test, rig.state, rig.ui,
                               healthyEndpoint());
            auto script = whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
                auto login = whenModal<CAdminLoginDlg>([&](CAdminLoginDlg* dialog) {
                    ++logins;
                    QTest::keyClicks(dialog->findChild<QLineEdit*>("id1001"), "ab");
                    QTest::mouseClick(dialog->button(1), Qt::LeftButton);
                });
                configure(d);
                QCOMPARE(logins, opening + 1);
                d->timers().fire(CDeviceListDlg::TIMER_AFTER_CONFIG);
                configure(d); // no second login while this Device List stays open
                QCOMPARE(logins, opening + 1);
            });
            QCOMPARE(dlg.exec(), -1);
        }
        QCOMPARE(logins, 2);
    }

    // A firmware reply that comes late (after the read request went out) does not
    // end the wait for the block: the login runs on the block just read, and an
    // appliance with a password is asked for it whatever the timing.
    void aLateFirmwareReplyDoesNotSkipTheLogin() {
        ListRig rig;
        MessageRecorder messages;
        ScriptedAppliance appliance;
        appliance.block.setDevicePassword("pw");
        appliance.answersVersions = false;
        appliance.answersRead = false;
        appliance.install(rig.port);
        rig.config.setDeviceName("PREVIOUS"); // the block of an earlier appliance
        bool asked = false;
        auto login = whenModal<CAdminLoginDlg>([&](CAdminLoginDlg* dialog) {
            asked = true;
            QCOMPARE(rig.config.deviceName(), std::string("AP"));
            dialog->reject();
        });
        auto script = whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QVERIFY(ListRig::sweepEnded(d));
            QTest::mouseClick(d->button(1016), Qt::LeftButton);
            rig.port.deliver(ack(varn::kVersions, 56)); // answers the first query
            QTRY_COMPARE(rig.link.awaitedReply(), 0);
            d->timers().fire(CDeviceListDlg::TIMER_VERSIONS);
            QCOMPARE(rig.link.awaitedReply(), int(varn::kReadConfig));
            rig.port.deliver(ack(varn::kVersions, 56)); // a late answer to a resend
            QTest::qWait(0);
            QCOMPARE(rig.link.awaitedReply(), int(varn::kReadConfig));
            d->timers().fire(CDeviceListDlg::TIMER_READ_CONFIG); // not yet: send again
            QVERIFY(!asked);
            QCOMPARE(rig.port.count(varn::kReadConfig), 2);
            rig.port.deliver(configReply(appliance.block));
            QTest::qWait(0);
            d->timers().fire(CDeviceListDlg::TIMER_READ_CONFIG);
            QVERIFY(asked);
        });
        QCOMPARE(rig.dlg.exec(), -1);
        QVERIFY(messages.texts.isEmpty());
    }

    // An appliance on another network gets a new address first; cancelling ends
    // the command silently, saving makes the new address the target.
    void applianceOnAnotherNetworkGoesThroughTheIpDialog_data() {
        QTest::addColumn<bool>("save");
        QTest::newRow("cancel") << false;
        QTest::newRow("save") << true;
    }
    void applianceOnAnotherNetworkGoesThroughTheIpDialog() {
        QFETCH(bool, save);
        ListRig rig;
        MessageRecorder messages;
        ScriptedAppliance appliance;
        appliance.name = "FAR";
        appliance.address = addr(10, 0, 0, 5);
        appliance.everySweep = false;
        appliance.answersVersions = false;
        appliance.install(rig.port);
        auto ip = whenModal<CDeviceIpDlg>([&](CDeviceIpDlg* d) {
            for (int type : rig.port.sentTypes()) {
                QCOMPARE(type, int(varn::kDiscover)); // nothing sent to the appliance yet
            }
            QCOMPARE(d->octetField(0)->text(), QString("10"));
            QCOMPARE(d->octetField(3)->text(), QString("5"));
            if (!save) {
                QTest::mouseClick(d->button(2), Qt::LeftButton);
                return;
            }
            const char* octets[] = {"192", "168", "1", "77"};
            for (int i = 0; i < 4; ++i) {
                d->octetField(i)->setText(octets[i]);
            }
            QTest::mouseClick(d->button(1), Qt::LeftButton);
            QTest::qWait(0);
            d->timers().fire(CDeviceIpDlg::TIMER_SET_IP);
        });
        auto script = whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QVERIFY(ListRig::sweepEnded(d));
            QTest::mouseClick(d->button(1016), Qt::LeftButton);
            QVERIFY(ip.ran());
            if (!save) {
                QVERIFY(messages.texts.isEmpty());
                QCOMPARE(rig.port.count(varn::kVersions), 0);
                return;
            }
            QCOMPARE(messages.texts, QStringList{"LAN IP Address is saved successfully !"});
            QCOMPARE(rig.link.targetAddress(), addr(192, 168, 1, 77));
            QCOMPARE(rig.port.count(varn::kVersions), 1);
            QCOMPARE(rig.port.count(varn::kSetIpAddress), 1);
            for (const auto& sent : rig.port.sent) {
                if (sent.data[6] == varn::kSetIpAddress) {
                    QCOMPARE(sent.address, varn::kBroadcastAddress);
                } else if (sent.data[6] == varn::kVersions) {
                    QCOMPARE(sent.address, addr(192, 168, 1, 77));
                }
            }
        });
        QCOMPARE(rig.dlg.exec(), -1);
    }

    void monitorRunsOverTheListAndASweepFollows() {
        ListRig rig;
        answerDiscovery(rig.port, {discoveryReply("AP", addr(192, 168, 1, 20))});
        auto monitor = whenModal<CStatusMonitorDlg>([&](CStatusMonitorDlg* m) {
            QVERIFY(rig.state.monitorOpen);
            QTest::mouseClick(m->button(1), Qt::LeftButton);
        });
        auto script = whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QVERIFY(ListRig::sweepEnded(d));
            const int sweeps = rig.port.count(varn::kDiscover);
            QTest::mouseClick(d->button(1017), Qt::LeftButton);
            QVERIFY(monitor.ran());
            QVERIFY(!rig.state.monitorOpen);
            QCOMPARE(rig.port.count(varn::kDiscover), sweeps + 1);
        });
        QCOMPARE(rig.dlg.exec(), -1);
    }

    // A failed opening is reported once; later openings end at once, silently.
    void failedEndpointEndsTheDialog() {
        LinkRig rig;
        MessageRecorder messages;
        int opens = 0;
        std::int32_t error = 0;
        EndpointAccess broken{[&] {
                                  ++opens;
                                  error = 97;
                                  return -1;
                              },
                              [&] { return error; }};
        {
            CDeviceListDlg dlg(rig.link, rig.config, rig.test, rig.state, rig.ui, broken);
            QCOMPARE(dlg.exec(), int(QDialog::Accepted));
            QVERIFY(!dlg.isVisible());
        }
        QCOMPARE(messages.texts,
                 QStringList{"Can not open TCP/IP service, please install TCP/IP protocol before "
                             "running this program. Error Code: 97"});
        QCOMPARE(messages.icons.front(), QMessageBox::Warning);
        QVERIFY(rig.state.endpointOpened);
        QVERIFY(rig.port.sent.empty());

        CDeviceListDlg again(rig.link, rig.config, rig.test, rig.state, rig.ui, broken);
        QCOMPARE(again.exec(), int(QDialog::Accepted));
        QCOMPARE(opens, 1);
        QCOMPARE(messages.texts.size(), 1);
        QVERIFY(rig.port.sent.empty());
    }
};

QTEST_MAIN(TestDeviceList)
#include "tst_device_list.moc"

using namespace varn;
