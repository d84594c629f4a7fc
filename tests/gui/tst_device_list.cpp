// The Device List: discovery sweeps, painting, the Config chain and its retries,
// the detour through the IP dialog, and the opening of the endpoint.

#include "gui_test_support.h"

#include "app/window_timers.h"
#include "config/config_dlg.h"
#include "devices/admin_login_dlg.h"
#include "devices/device_ip_dlg.h"
#include "devices/device_list_dlg.h"
#include "devices/status_monitor_dlg.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

using namespace guitest;

namespace {

EndpointAccess healthyEndpoint() {
    return {[] { return 0; }, [] { return 0; }};
}

const std::uint32_t kLocal = addr(192, 168, 1, 10);
const char* const kFailed = "Get Configuration of selected device failed, check if connection "
                            "was lost or IP Address need be set";

// Answers discovery with the given appliances (on the first sweep broadcast only).
void answerDiscovery(AnsweringPort& port, std::vector<Bytes> replies) {
    auto first = std::make_shared<bool>(true);
    port.answer = [first, replies](const varn::fakes::SentDatagram& d) {
        if (d.data[6] == varn::kDiscover && *first) {
            *first = false;
            return replies;
        }
        return std::vector<Bytes>{};
    };
}

QString line(QListWidget* list, int i) {
    return list->item(i) != nullptr ? list->item(i)->text() : QString();
}

} // namespace

class TestDeviceList : public QObject {
    Q_OBJECT

  private slots:
    void sameNetworkUsesTheClassOfEachAddress_data() {
        QTest::addColumn<quint32>("a");
        QTest::addColumn<quint32>("b");
        QTest::addColumn<bool>("same");
        QTest::newRow("class A") << addr(10, 1, 2, 3) << addr(10, 200, 0, 1) << true;
        QTest::newRow("class A apart") << addr(10, 1, 2, 3) << addr(11, 1, 2, 3) << false;
        QTest::newRow("class B") << addr(172, 16, 1, 1) << addr(172, 16, 9, 9) << true;
        QTest::newRow("class B apart") << addr(172, 16, 1, 1) << addr(172, 17, 1, 1) << false;
        QTest::newRow("class C") << addr(192, 168, 1, 5) << addr(192, 168, 1, 250) << true;
        QTest::newRow("class C apart") << addr(192, 168, 1, 5) << addr(192, 168, 2, 5) << false;
        QTest::newRow("class D whole") << addr(224, 0, 0, 1) << addr(224, 0, 0, 2) << false;
        QTest::newRow("class D same") << addr(230, 1, 1, 1) << addr(230, 1, 1, 1) << true;
    }
    void sameNetworkUsesTheClassOfEachAddress() {
        QFETCH(quint32, a);
        QFETCH(quint32, b);
        QFETCH(bool, same);
        QCOMPARE(sameNetwork(a, b), same);
        QCOMPARE(sameNetwork(b, a), same);
    }

    // Duplicates listed once, the same name elsewhere twice, and each 100 ms that
    // brings someone new prolongs the sweep by one broadcast.
    void discoveryListsEachApplianceOnceAndProlongsTheSweep() {
        LinkRig rig;
        int discoverySends = 0;
        rig.port.answer = [&](const varn::fakes::SentDatagram& d) {
            std::vector<Bytes> out;
            if (d.data[6] != varn::kDiscover) {
                return out;
            }
            ++discoverySends;
            if (discoverySends == 1) {
                out.push_back(discoveryReply("AP-ONE", addr(192, 168, 1, 20), 5));
                out.push_back(discoveryReply("AP-ONE", addr(192, 168, 1, 20), 5));
                out.push_back(discoveryReply("AP-ONE", addr(192, 168, 1, 21), 0));
            } else if (discoverySends == 2) {
                out.push_back(discoveryReply("AP-TWO", addr(192, 168, 1, 22), 1));
            }
            return out;
        };
        CDeviceListDlg dlg(rig.link, rig.state, healthyEndpoint());
        whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QTRY_VERIFY(!d->timers().isActive(CDeviceListDlg::TIMER_DISCOVERY));
            QCOMPARE(discoverySends, 3); // two that found someone, one that did not
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
        QCOMPARE(dlg.exec(), -1);
        QCOMPARE(rig.state.endpointOpened, 1);
    }

    void emptyNetworkDisablesConfigAndSweepsAgainAfterFiveSeconds() {
        LinkRig rig;
        int sends = 0;
        rig.port.answer = [&](const varn::fakes::SentDatagram& d) {
            std::vector<Bytes> out;
            if (d.data[6] == varn::kDiscover && ++sends == 2) {
                out.push_back(discoveryReply("LATE", addr(192, 168, 1, 30)));
            }
            return out;
        };
        CDeviceListDlg dlg(rig.link, rig.state, healthyEndpoint());
        whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QVERIFY(d->button(1016)->isEnabled()); // enabled until a sweep ends empty
            QTRY_VERIFY(!d->button(1016)->isEnabled());
            QVERIFY(!d->button(1017)->isEnabled());
            QCOMPARE(d->focusWidget(), d->button(1002));
            QCOMPARE(d->timers().interval(CDeviceListDlg::TIMER_EMPTY_SWEEP), 5000);
            QTest::qWait(4500);
            QCOMPARE(sends, 1);
            QTRY_COMPARE_WITH_TIMEOUT(sends, 2, 1500);
            QTRY_VERIFY(d->button(1016)->isEnabled());
            QVERIFY(d->button(1017)->isEnabled());
            QCOMPARE(d->list()->count(), 1);
        });
        dlg.exec();
    }

    void fiftyFirstApplianceIsLeftOut() {
        LinkRig rig;
        std::vector<Bytes> replies;
        for (int i = 0; i < 51; ++i) {
            replies.push_back(
                discoveryReply("AP" + std::to_string(i), addr(192, 168, 1, std::uint8_t(100 + i))));
        }
        answerDiscovery(rig.port, replies);
        CDeviceListDlg dlg(rig.link, rig.state, healthyEndpoint());
        whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QTRY_VERIFY(!d->timers().isActive(CDeviceListDlg::TIMER_DISCOVERY));
            QCOMPARE(d->list()->count(), 50);
            QVERIFY(line(d->list(), 49).startsWith("AP49"));
        });
        dlg.exec();
    }

    // A paint refills the list and returns the selection to the first line,
    // except while the Status Monitor is open.
    void paintingRefillsUnlessTheMonitorIsOpen() {
        LinkRig rig;
        answerDiscovery(rig.port, {discoveryReply("A", addr(192, 168, 1, 2)),
                                   discoveryReply("B", addr(192, 168, 1, 3))});
        CDeviceListDlg dlg(rig.link, rig.state, healthyEndpoint());
        whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QTRY_COMPARE(d->list()->count(), 2);
            d->list()->setCurrentRow(1);
            d->update(); // the dialog uncovered
            QTRY_COMPARE(d->list()->currentRow(), 0);

            d->list()->setCurrentRow(1);
            d->button(1017)->setFocus();
            rig.state.monitorOpen = 1;
            rig.link.devices.deviceCount = 1;
            d->applyPaint();
            d->update();
            QTest::qWait(50);
            QCOMPARE(d->list()->count(), 2);
            QCOMPARE(d->list()->currentRow(), 1);
            QCOMPARE(d->focusWidget(), d->button(1017));
            rig.state.monitorOpen = 0;
        });
        dlg.exec();
    }

    void configWithoutSelectionSendsNothing() {
        LinkRig rig;
        CDeviceListDlg dlg(rig.link, rig.state, healthyEndpoint());
        whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QCOMPARE(d->list()->count(), 0);
            QTest::mouseClick(d->button(1016), Qt::LeftButton); // still enabled
            QTest::qWait(250);
            for (int type : rig.port.sentTypes()) {
                QCOMPARE(type, int(varn::kDiscover));
            }
        });
        dlg.exec();
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
        LinkRig rig;
        MessageRecorder messages;
        CDeviceListDlg dlg(rig.link, rig.state, healthyEndpoint());
        std::vector<int> versionsWaits, readWaits;
        rig.port.answer = [&](const varn::fakes::SentDatagram& d) {
            std::vector<Bytes> out;
            switch (d.data[6]) {
            case varn::kDiscover:
                if (rig.port.count(varn::kDiscover) == 1) {
                    out.push_back(discoveryReply("AP", addr(192, 168, 1, 20)));
                }
                break;
            case varn::kVersions:
                if (rig.port.count(varn::kVersions) > 1) {
                    versionsWaits.push_back(dlg.timers().interval(CDeviceListDlg::TIMER_VERSIONS));
                }
                if (versionsAnswered) {
                    out.push_back(ack(varn::kVersions, 56));
                }
                break;
            case varn::kReadConfig:
                if (rig.port.count(varn::kReadConfig) > 1) {
                    readWaits.push_back(dlg.timers().interval(CDeviceListDlg::TIMER_READ_CONFIG));
                }
                break;
            }
            return out;
        };
        whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QTRY_VERIFY(d->button(1016)->isEnabled() &&
                        !d->timers().isActive(CDeviceListDlg::TIMER_DISCOVERY));
            QTest::mouseClick(d->button(1016), Qt::LeftButton);
            QCOMPARE(rig.link.targetAddress, addr(192, 168, 1, 20));
            QTRY_COMPARE_WITH_TIMEOUT(messages.texts.size(), 1, 3000);
            QCOMPARE(messages.texts.front(), QString(kFailed));
            QCOMPARE(messages.icons.front(), QMessageBox::Warning);
            if (versionsAnswered) {
                QCOMPARE(rig.port.count(varn::kVersions), 1);
                QCOMPARE(rig.port.count(varn::kReadConfig), 5);
                QCOMPARE(readWaits, (std::vector<int>{100, 200, 200, 200}));
                QCOMPARE(rig.port.sent.back().address, addr(192, 168, 1, 20));
            } else {
                QCOMPARE(rig.port.count(varn::kVersions), 3);
                QCOMPARE(versionsWaits, (std::vector<int>{100, 100}));
                QCOMPARE(rig.port.count(varn::kReadConfig), 0);
            }
            QTest::qWait(300); // nothing more follows
            QCOMPARE(messages.texts.size(), 1);
            QVERIFY(d->isVisible());
        });
        dlg.exec();
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
        LinkRig rig;
        MessageRecorder messages;
        varn::DeviceConfig block;
        block.setDeviceName("AP");
        block.data()[0] = 0x5A; // bytes nobody interprets come back as they were
        rig.port.answer = [&](const varn::fakes::SentDatagram& d) {
            std::vector<Bytes> out;
            switch (d.data[6]) {
            case varn::kDiscover:
                if (rig.port.count(varn::kDiscover) == 1) {
                    out.push_back(discoveryReply("AP", addr(192, 168, 1, 20)));
                }
                break;
            case varn::kVersions:
                out.push_back(ack(varn::kVersions, 56));
                break;
            case varn::kReadConfig:
                out.push_back(configReply(block));
                break;
            }
            return out;
        };
        CDeviceListDlg dlg(rig.link, rig.state, healthyEndpoint());
        whenModal<CConfigDlg>([&](CConfigDlg* config) {
            QCOMPARE(rig.port.sentTypes().back(), int(varn::kBeginConfig));
            QVERIFY(rig.state.savedConfig == block);
            QVERIFY(rig.config == block);
            rig.config.setDeviceName("EDITED");
            QTest::mouseClick(config->findChild<QPushButton*>(accepted ? "id1" : "id2"),
                              Qt::LeftButton);
        });
        whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QTRY_VERIFY(!d->timers().isActive(CDeviceListDlg::TIMER_DISCOVERY));
            QTest::mouseClick(d->button(1016), Qt::LeftButton);
            QTRY_VERIFY(d->timers().isActive(CDeviceListDlg::TIMER_AFTER_CONFIG));
            const int sweeps = rig.port.count(varn::kDiscover);
            const auto types = rig.port.sentTypes();
            QCOMPARE(types.back(), accepted ? int(varn::kReset) : int(varn::kAbandonConfig));
            QCOMPARE(rig.port.sent.back().address, addr(192, 168, 1, 20));
            QCOMPARE(rig.config.deviceName(), accepted ? std::string("EDITED") : "AP");
            if (!accepted) {
                QVERIFY(rig.config == block);
            }
            QTest::qWait(800);
            QCOMPARE(rig.port.count(varn::kDiscover), sweeps);
            QTRY_COMPARE_WITH_TIMEOUT(rig.port.count(varn::kDiscover), sweeps + 1, 1000);
        });
        dlg.exec();
        QVERIFY(messages.texts.isEmpty());
    }

    // A login counts for one opening of the Device List.
    void loginIsAskedOncePerOpening() {
        LinkRig rig;
        varn::DeviceConfig block;
        block.setDeviceName("AP");
        block.setDevicePassword("ab");
        rig.port.answer = [&](const varn::fakes::SentDatagram& d) {
            std::vector<Bytes> out;
            if (d.data[6] == varn::kDiscover) {
                out.push_back(discoveryReply("AP", addr(192, 168, 1, 20)));
            } else if (d.data[6] == varn::kVersions) {
                out.push_back(ack(varn::kVersions, 56));
            } else if (d.data[6] == varn::kReadConfig) {
                out.push_back(configReply(block));
            }
            return out;
        };
        int logins = 0;
        auto login = [&] {
            whenModal<CAdminLoginDlg>([&](CAdminLoginDlg* dialog) {
                ++logins;
                QTest::keyClicks(dialog->findChild<QLineEdit*>("id1001"), "ab");
                QTest::mouseClick(dialog->findChild<QPushButton*>("id1"), Qt::LeftButton);
            });
        };
        auto configure = [&](CDeviceListDlg* d) {
            int configs = 0;
            whenModal<CConfigDlg>([&](CConfigDlg* c) {
                ++configs;
                c->reject();
            });
            QTRY_VERIFY(!d->timers().isActive(CDeviceListDlg::TIMER_DISCOVERY) &&
                        d->list()->count() == 1);
            QTest::mouseClick(d->button(1016), Qt::LeftButton);
            QTRY_COMPARE(configs, 1);
        };

        for (int opening = 0; opening < 2; ++opening) {
            CDeviceListDlg dlg(rig.link, rig.state, healthyEndpoint());
            whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
                login();
                configure(d);
                QCOMPARE(logins, opening + 1);
                QTRY_VERIFY(!d->timers().isActive(CDeviceListDlg::TIMER_AFTER_CONFIG));
                configure(d); // no second login while this Device List stays open
                QCOMPARE(logins, opening + 1);
            });
            dlg.exec();
        }
        QCOMPARE(logins, 2);
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
        LinkRig rig;
        MessageRecorder messages;
        rig.port.answer = [&](const varn::fakes::SentDatagram& d) {
            std::vector<Bytes> out;
            if (d.data[6] == varn::kDiscover && rig.port.count(varn::kDiscover) == 1) {
                out.push_back(discoveryReply("FAR", addr(10, 0, 0, 5)));
            } else if (d.data[6] == varn::kSetIpAddress) {
                out.push_back(ack(varn::kSetIpAddress));
            }
            return out;
        };
        CDeviceListDlg dlg(rig.link, rig.state, healthyEndpoint());
        whenModal<CDeviceIpDlg>([&](CDeviceIpDlg* ip) {
            for (int type : rig.port.sentTypes()) {
                QCOMPARE(type, int(varn::kDiscover)); // nothing sent to the appliance yet
            }
            QCOMPARE(ip->octetField(0)->text(), QString("10"));
            QCOMPARE(ip->octetField(3)->text(), QString("5"));
            if (!save) {
                QTest::mouseClick(ip->findChild<QPushButton*>("id2"), Qt::LeftButton);
                return;
            }
            const char* octets[] = {"192", "168", "1", "77"};
            for (int i = 0; i < 4; ++i) {
                ip->octetField(i)->setText(octets[i]);
            }
            QTest::mouseClick(ip->findChild<QPushButton*>("id1"), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!ip->isVisible(), 3000);
        });
        whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QTRY_VERIFY(!d->timers().isActive(CDeviceListDlg::TIMER_DISCOVERY));
            QTest::mouseClick(d->button(1016), Qt::LeftButton);
            QTest::qWait(50);
            if (!save) {
                QVERIFY(messages.texts.isEmpty());
                QCOMPARE(rig.port.count(varn::kVersions), 0);
                return;
            }
            QCOMPARE(messages.texts, QStringList{"LAN IP Address is saved successfully !"});
            QCOMPARE(rig.link.targetAddress, addr(192, 168, 1, 77));
            QVERIFY(rig.port.count(varn::kVersions) >= 1);
            QCOMPARE(rig.port.count(varn::kSetIpAddress), 1);
            for (const auto& sent : rig.port.sent) {
                if (sent.data[6] == varn::kSetIpAddress) {
                    QCOMPARE(sent.address, varn::kBroadcastAddress);
                } else if (sent.data[6] == varn::kVersions) {
                    QCOMPARE(sent.address, addr(192, 168, 1, 77));
                }
            }
        });
        dlg.exec();
    }

    void monitorRunsOverTheListAndASweepFollows() {
        LinkRig rig;
        answerDiscovery(rig.port, {discoveryReply("AP", addr(192, 168, 1, 20))});
        CDeviceListDlg dlg(rig.link, rig.state, healthyEndpoint());
        whenModal<CStatusMonitorDlg>([&](CStatusMonitorDlg* monitor) {
            QCOMPARE(rig.state.monitorOpen, 1);
            QTest::mouseClick(monitor->findChild<QPushButton*>("id1"), Qt::LeftButton);
        });
        whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QTRY_VERIFY(!d->timers().isActive(CDeviceListDlg::TIMER_DISCOVERY));
            const int sweeps = rig.port.count(varn::kDiscover);
            QTest::mouseClick(d->button(1017), Qt::LeftButton);
            QCOMPARE(rig.state.monitorOpen, 0);
            QCOMPARE(rig.port.count(varn::kDiscover), sweeps + 1);
        });
        dlg.exec();
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
            CDeviceListDlg dlg(rig.link, rig.state, broken);
            QCOMPARE(dlg.exec(), int(QDialog::Accepted));
            QVERIFY(!dlg.isVisible());
        }
        QCOMPARE(messages.texts,
                 QStringList{"Can not open TCP/IP service, please install TCP/IP protocol before "
                             "running this program. Error Code: 97"});
        QCOMPARE(messages.icons.front(), QMessageBox::Warning);
        QCOMPARE(rig.state.endpointOpened, 1);
        QVERIFY(rig.port.sent.empty());

        CDeviceListDlg again(rig.link, rig.state, broken);
        QCOMPARE(again.exec(), int(QDialog::Accepted));
        QCOMPARE(opens, 1);
        QCOMPARE(messages.texts.size(), 1);
        QVERIFY(rig.port.sent.empty());
    }
};

QTEST_MAIN(TestDeviceList)
#include "tst_device_list.moc"
