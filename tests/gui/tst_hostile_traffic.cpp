// The open Device List under a flood of replies nobody asked for, over real
// sockets on loopback against the appliance simulator: the utility sends
// nothing but its own sweeps, shows nothing, keeps its record, its memory and
// its list, and still answers the keyboard at once. And Save, while the
// appliance ignores the write and another host acknowledges it.

#include "simulator_rig.h"

#include "gui/common/window_timers.h"
#include "gui/config/config_dlg.h"
#include "gui/devices/device_list_dlg.h"
#include "texts.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

using namespace guitest;

namespace {

// Notes when the first key press reaches a widget, on a clock started by the test.
class KeyClock : public QObject {
  public:
    explicit KeyClock(QWidget* target) : target_(target) { target_->installEventFilter(this); }
    ~KeyClock() override { target_->removeEventFilter(this); }
    QElapsedTimer clock;
    qint64 arrivedAfter = -1;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && arrivedAfter < 0) {
            arrivedAfter = clock.elapsed();
        }
        return false;
    }

  private:
    QWidget* target_;
};

QStringList rows(QListWidget* list) {
    QStringList all;
    for (int i = 0; i < list->count(); ++i) {
        all << list->item(i)->text();
    }
    all.sort();
    return all;
}

} // namespace

class TestHostileTraffic : public QObject {
    Q_OBJECT

    SimulatorFixture sim;
    SimulatorFixture ignoringWrites;

  private slots:
    void initTestCase() {
        QString error = sim.start(nullptr);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        error = ignoringWrites.start(nullptr, {"--ignore", "7"});
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    // Acknowledgements of the write from 127.0.0.66 all through the save: the
    // dialog says the appliance did not answer and stays open.
    void forgedAcknowledgementDoesNotSave() {
        LoopbackUtility utility(ignoringWrites.port);
        MessageRecorder messages;
        utility.readConfigOf("VARN-Office", 3);
        utility.endpoint.sentTypes.clear();
        CConfigDlg dlg(utility.link, utility.config, utility.test);
        bool stayed = false;
        auto script = whenModal<CConfigDlg>([&](CConfigDlg* c) {
            traffic::FloodPlan plan;
            plan.sources = {addr(127, 0, 0, 66)};
            plan.target = addr(127, 0, 0, 1);
            plan.targetPort = utility.endpoint.settings.localPort;
            plan.perSecond = 200;
            plan.milliseconds = 4000;
            plan.replies = {traffic::forged(varn::kWriteConfig, 8),
                            traffic::forged(varn::kWriteConfig, 7)};
            traffic::Flooder flood(plan);
            c->field(1012)->setText("5559999");
            QTest::mouseClick(c->button(1050), Qt::LeftButton); // Save
            QTRY_VERIFY_WITH_TIMEOUT(!c->isVisible() || c->button(2)->isEnabled(), 5000);
            stayed = c->isVisible();
            QCOMPARE(flood.error(), std::string());
            c->reject();
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QVERIFY(script.ran());
        QVERIFY(stayed);
        QVERIFY(messages.texts.contains(QString::fromLatin1(varn::texts::kNotSaved)));
        QVERIFY(std::count(utility.endpoint.sentTypes.begin(), utility.endpoint.sentTypes.end(),
                           int(varn::kReset)) == 0);
    }

    void floodWhileTheDeviceListIsOpen() {
        LoopbackUtility utility(sim.port);
        MessageRecorder messages;
        CDeviceListDlg dlg(utility.link, utility.config, utility.test, utility.state, utility.ui,
                           utility.access);
        auto script = whenModal<CDeviceListDlg>([&](CDeviceListDlg* d) {
            QListWidget* list = d->list();
            QTRY_VERIFY_WITH_TIMEOUT(
                list->count() == 3 && !d->timers().isActive(CDeviceListDlg::TIMER_DISCOVERY), 5000);
            const QStringList listed = rows(list);
            // The record of an appliance read earlier.
            utility.config.setDeviceName("VARN-Office");
            utility.config.setDevicePassword("pw");
            const varn::DeviceConfig record = utility.config;
            utility.endpoint.sentTypes.clear();
            const long before = traffic::residentKiB();

            long sent = 0;
            traffic::FloodPlan plan;
            // A stranger, and one posing as an appliance.
            plan.sources = {addr(127, 0, 0, 66), addr(127, 0, 0, 2)};
            plan.target = addr(127, 0, 0, 1);
            plan.targetPort = utility.endpoint.settings.localPort;
            {
                traffic::Flooder flood(plan);
                QTest::qWait(plan.milliseconds / 3);
                QTest::mouseClick(d->button(1002), Qt::LeftButton); // Refresh amid the flood
                QTRY_VERIFY_WITH_TIMEOUT(flood.done(), 3 * plan.milliseconds);
                QCOMPARE(flood.error(), std::string());
                QVERIFY2(flood.sent() > 10000, "the flood was too thin to show anything");
                sent = flood.sent();
            }

            // A key right after the flood is handled at once.
            const int row = list->currentRow();
            KeyClock key(list);
            key.clock.start();
            QCoreApplication::postEvent(
                list, new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
            QTRY_VERIFY_WITH_TIMEOUT(key.arrivedAfter >= 0, 2000);
            QVERIFY2(key.arrivedAfter < 100,
                     qPrintable(QString("the key waited %1 ms").arg(key.arrivedAfter)));
            QTRY_COMPARE(list->currentRow(), row + 1);

            const long grown = traffic::residentKiB() - before;
            qInfo("%ld forged replies in %d ms; the key arrived after %lld ms; resident memory "
                  "%+ld KiB",
                  sent, plan.milliseconds, key.arrivedAfter, grown);
            QVERIFY2(!traffic::kResidentMemoryMeaningful || grown < 8192,
                     qPrintable(QString("resident memory grew by %1 KiB").arg(grown)));
            QTRY_VERIFY_WITH_TIMEOUT(!d->timers().isActive(CDeviceListDlg::TIMER_DISCOVERY), 2000);
            QCOMPARE(rows(list), listed);
            for (int type : utility.endpoint.sentTypes) {
                QCOMPARE(type, int(varn::kDiscover));
            }
            QVERIFY(!utility.endpoint.sentTypes.empty()); // the Refresh went out
            QVERIFY(utility.config == record);
            QCOMPARE(utility.selfTest.loginKind, varn::kLoginUndecided);
            d->reject();
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QVERIFY2(messages.texts.isEmpty(), qPrintable(messages.texts.join(" | ")));
    }
};

QTEST_MAIN(TestHostileTraffic)
#include "tst_hostile_traffic.moc"

using namespace varn;
