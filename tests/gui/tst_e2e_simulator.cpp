// The dialogs against the appliance simulator over real UDP sockets on loopback:
// discovery, the Config chain up to the configuration dialog, the Status Monitor
// and moving an appliance from another network onto ours.

#include "simulator_rig.h"

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

const char kScenario[] = R"({
  "appliances": [
    { "name": "E2E-Office", "password": "pw", "state": 5,
      "wan_address": "198.51.100.7", "line_speed": 28800, "ppp_user": "office" },
    { "name": "E2E-Lab", "state": 0, "phone_number": "5550100", "login_mode": 2,
      "ppp_user": "lab-user", "ppp_password": "lab-secret-password", "filler_seed": 7 },
    { "name": "E2E-Far", "address": "10.1.2.3" }
  ]
})";

// Types text over a field's whole text.
void retype(QLineEdit* field, const char* text) {
    field->selectAll();
    QTest::keyClicks(field, text);
}

// A sweep of the Device List has ended with `count` appliances listed.
bool sweepEndedWith(CDeviceListDlg* d, int count) {
    return d->list()->count() == count && d->button(1016)->isEnabled() &&
           !d->timers().isActive(CDeviceListDlg::TIMER_AFTER_CONFIG) &&
           !d->timers().isActive(CDeviceListDlg::TIMER_DISCOVERY);
}

} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT

    SimulatorFixture sim;

  private slots:
    void initTestCase() {
        const QString error = sim.start(kScenario);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    void discoverConfigureMonitorAndMove() {
        LoopbackUtility utility(sim.port);
        varn::DeviceConfig& config = utility.config;
        varn::Link& link = utility.link;
        MessageRecorder messages;

        CDeviceListDlg dlg(link, utility.config, utility.test, utility.state, utility.ui,
                           utility.access);
        auto script = whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QListWidget* list = d->list();
            QTRY_VERIFY_WITH_TIMEOUT(list->count() == 3 && d->button(1016)->isEnabled(), 5000);
            QCOMPARE(utility.endpoint.localAddress, addr(127, 0, 0, 1));
            const int office = rowOf(list, "E2E-Office  ");
            QVERIFY(office >= 0);
            QVERIFY(list->item(office)->text().contains("\t127.0.0.2"));
            QVERIFY(list->item(office)->text().contains("ISP Connected"));
            QVERIFY(rowOf(list, "E2E-Lab     ") >= 0);
            QVERIFY(list->item(rowOf(list, "E2E-Far"))->text().contains("\t10.1.2.3"));

            // The Status Monitor shows every appliance, sorted by name.
            auto monitor = whenModal<CStatusMonitorDlg>([&](CStatusMonitorDlg* m) {
                QTRY_VERIFY_WITH_TIMEOUT(m->list()->count() == 3, 3000);
                QVERIFY(m->list()->item(0)->text().startsWith("E2E-Far"));
                QVERIFY(m->list()->item(1)->text().startsWith("E2E-Lab      \tReady"));
                const QString officeRow = m->list()->item(2)->text();
                QVERIFY2(officeRow.startsWith("E2E-Office   \tISP Connected  "),
                         qPrintable(officeRow));
                QVERIFY(officeRow.contains("198.51.100.7"));
                QVERIFY(officeRow.contains("\t28800"));
                QTest::mouseClick(m->button(1), Qt::LeftButton);
            });
            QTest::mouseClick(d->button(1017), Qt::LeftButton);
            QVERIFY(monitor.ran());
            QTRY_VERIFY_WITH_TIMEOUT(list->count() == 3 && d->button(1016)->isEnabled() &&
                                         !d->timers().isActive(CDeviceListDlg::TIMER_DISCOVERY),
                                     5000);

            // Config: login, then the configuration of the appliance chosen.
            auto login = whenModal<CAdminLoginDlg>([](CAdminLoginDlg* l) {
                QTest::keyClicks(l->findChild<QLineEdit*>("id1001"), "pw");
                QTest::mouseClick(l->button(1), Qt::LeftButton);
            });
            auto configure = whenModal<CConfigDlg>([&](CConfigDlg* c) {
                QCOMPARE(config.deviceName(), std::string("E2E-Office"));
                QCOMPARE(config.lanIpAddress(), addr(127, 0, 0, 2));
                QVERIFY(link.proxyFirmwareVersion()[0] != '\0');
                // Save, once something was typed; the appliance acknowledges it.
                retype(c->field(1010), "E2E-Office");
                QTest::mouseClick(c->button(1050), Qt::LeftButton);
                QTRY_VERIFY_WITH_TIMEOUT(!c->isVisible(), 3000);
                QCOMPARE(c->result(), int(QDialog::Accepted));
            });
            list->setCurrentRow(office);
            QTest::mouseClick(d->button(1016), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(configure.ran(), 5000);
            // An acknowledged save sends the reset, which the appliance acknowledges.
            QTRY_VERIFY_WITH_TIMEOUT(messages.texts.count("VARN : Device is resetting now.") == 1,
                                     3000);
            // A sweep follows one second later; the next Config waits for its end,
            // since its broadcasts would take the place of the awaited answer.
            QTRY_VERIFY_WITH_TIMEOUT(sweepEndedWith(d, 3), 5000);

            // The appliance on another network is moved onto ours first.
            auto ip = whenModal<CDeviceIpDlg>([&](CDeviceIpDlg* i) {
                QCOMPARE(i->octetField(0)->text(), QString("10"));
                const char* octets[] = {"127", "0", "0", "9"};
                for (int k = 0; k < 4; ++k) {
                    i->octetField(k)->setText(octets[k]);
                }
                QTest::mouseClick(i->button(1), Qt::LeftButton);
                QTRY_VERIFY_WITH_TIMEOUT(!i->isVisible(), 4000);
            });
            auto moved = whenModal<CConfigDlg>([&](CConfigDlg* c) {
                QCOMPARE(config.deviceName(), std::string("E2E-Far"));
                QCOMPARE(config.lanIpAddress(), addr(127, 0, 0, 9));
                QTest::mouseClick(c->button(2), Qt::LeftButton);
            });
            list->setCurrentRow(rowOf(list, "E2E-Far"));
            QTest::mouseClick(d->button(1016), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(moved.ran(), 6000);
            QVERIFY2(messages.texts.contains("LAN IP Address is saved successfully !"),
                     qPrintable(messages.texts.join(" | ")));
            QCOMPARE(link.targetAddress(), addr(127, 0, 0, 9));
            // The next sweep lists it at its new address.
            QTRY_VERIFY_WITH_TIMEOUT(
                rowOf(list, "E2E-Far") >= 0 &&
                    list->item(rowOf(list, "E2E-Far"))->text().contains("\t127.0.0.9"),
                5000);
            d->reject();
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QVERIFY2(!messages.texts.contains(
                     "Get Configuration of selected device failed, check if connection was "
                     "lost or IP Address need be set"),
                 qPrintable(messages.texts.join(" | ")));
    }

    // Log in, change the name, the address, the phone number and the account,
    // Save: the block the appliance stores differs from the one it served in those
    // fields only (read back through a second Config); then it is reset.
    void saveStoresOnlyTheEditedFields() {
        LoopbackUtility utility(sim.port);
        MessageRecorder messages;
        varn::DeviceConfig served, stored;
        CDeviceListDlg dlg(utility.link, utility.config, utility.test, utility.state, utility.ui,
                           utility.access);
        auto script = whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QTRY_VERIFY_WITH_TIMEOUT(sweepEndedWith(d, 3), 5000);
            auto edit = whenModal<CConfigDlg>([&](CConfigDlg* c) {
                served = utility.config;
                QCOMPARE(served.pppUserName(), std::string("lab-user"));
                retype(c->field(1010), "E2E-Saved");
                retype(c->field(1026), "77");
                retype(c->field(1012), "5550199");
                retype(c->field(1013), "new-user");
                retype(c->field(1001), "pw2");
                QTest::mouseClick(c->button(1050), Qt::LeftButton);
                QTRY_VERIFY_WITH_TIMEOUT(!c->isVisible(), 3000);
                QCOMPARE(c->result(), int(QDialog::Accepted));
            });
            d->list()->setCurrentRow(rowOf(d->list(), "E2E-Lab "));
            QTest::mouseClick(d->button(1016), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(edit.ran(), 5000);
            QTRY_VERIFY_WITH_TIMEOUT(messages.texts.count("VARN : Device is resetting now.") == 1,
                                     3000);

            QTRY_VERIFY_WITH_TIMEOUT(sweepEndedWith(d, 3) && rowOf(d->list(), "E2E-Saved ") >= 0,
                                     5000);
            auto readBack = whenModal<CConfigDlg>([&](CConfigDlg* c) {
                stored = utility.config;
                QCOMPARE(c->field(1010)->text(), QString("E2E-Saved"));
                QCOMPARE(c->field(1026)->text(), QString("77"));
                QCOMPARE(c->field(1013)->text(), QString("new-user"));
                QTest::mouseClick(c->button(2), Qt::LeftButton);
            });
            d->list()->setCurrentRow(rowOf(d->list(), "E2E-Saved "));
            QTest::mouseClick(d->button(1016), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(readBack.ran(), 5000);
            d->reject();
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));

        // Every byte that changed lies in an edited field.
        const std::pair<std::size_t, std::size_t> edited[] = {
            {2, 14}, {18, 22}, {74, 90}, {132, 217}}; // name, address, phone, account
        for (std::size_t i = 0; i < varn::DeviceConfig::kSize; ++i) {
            const bool inField = std::any_of(std::begin(edited), std::end(edited),
                                             [i](auto r) { return i >= r.first && i < r.second; });
            QVERIFY2(inField || stored.bytes[i] == served.bytes[i],
                     qPrintable(QString("byte %1 changed").arg(i)));
        }
        // And they hold the new values: texts NUL-padded, the account followed by a
        // NUL with the old bytes after it.
        varn::DeviceConfig expected = served;
        auto put = [&expected](std::size_t at, std::size_t width, std::string text) {
            text.resize(width, '\0');
            std::memcpy(expected.data() + at, text.data(), width);
        };
        put(2, 12, "E2E-Saved");
        expected.bytes[21] = 77;
        put(74, 16, "5550199");
        put(132, 9, std::string("new-user") + '\0');
        put(164, 4, std::string("pw2") + '\0');
        QVERIFY(stored == expected);
        // The appliance was told to reset after the save, and of the cancelled look.
        const std::vector<int>& sent = utility.endpoint.sentTypes;
        const auto write = std::find(sent.begin(), sent.end(), int(varn::kWriteConfig));
        QVERIFY(write != sent.end() && write + 1 != sent.end());
        QCOMPARE(*(write + 1), int(varn::kReset));
        QCOMPARE(std::count(sent.begin(), sent.end(), int(varn::kWriteConfig)), 1);
        QCOMPARE(sent.back(), int(varn::kAbandonConfig));
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_e2e_simulator.moc"

using namespace varn;
