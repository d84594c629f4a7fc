#pragma once
// Shared pieces of the dialog tests that run against the appliance simulator over
// real UDP sockets on loopback: starting it with a scenario, the endpoint's
// settings for it, and the dispatch of one reply per read notification.

#include "link/endpoint.h"
#include "link/link.h"
#include "sim_launcher.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTemporaryFile>
#include <QtTest>
#include <arpa/inet.h>
#include <memory>

namespace guitest {

// Dispatches one reply per read notification, as the main frame does.
class NotifierWatcher : public varn::SocketWatcher {
  public:
    explicit NotifierWatcher(varn::Link& link) : link_(link) {}
    bool watchSocket(int fd) override {
        notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated,
                         [this] { link_.dispatchReply(); });
        return notifier_->isValid();
    }
    void unwatchSocket() override { notifier_.reset(); }

  private:
    varn::Link& link_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

inline QString simulatorPath() {
    const QByteArray given = qgetenv("VARN_APPLIANCE_SIM");
    if (!given.isEmpty()) {
        return QString::fromLocal8Bit(given);
    }
    return QCoreApplication::applicationDirPath() + "/../tools/appliance-sim/appliance-sim";
}

// The simulator on a free port with the appliances of a scenario (127.0.0.2, ...).
struct SimulatorRun {
    simlaunch::SimProcess sim;
    QTemporaryFile scenario;

    // Call with QVERIFY-style checks from initTestCase.
    void start(const char* scenarioJson) {
        const QString path = simulatorPath();
        QVERIFY2(QFileInfo(path).isExecutable(), qPrintable("no simulator at " + path));
        QVERIFY(scenario.open());
        scenario.write(scenarioJson);
        scenario.flush();
        std::string error;
        QVERIFY2(
            simlaunch::startSimulator(path.toStdString(),
                                      {"--port", "0", "--scenario",
                                       scenario.fileName().toStdString(), "--log", "/dev/null"},
                                      sim, &error),
            error.c_str());
    }
    void stop() { simlaunch::stopSimulator(sim); }

    // Our endpoint on another free port, broadcasting to 127.255.255.255.
    varn::EndpointSettings endpointSettings() const {
        varn::EndpointSettings settings;
        settings.devicePort = sim.port;
        settings.localPort = simlaunch::freeUdpPort(sim.port);
        settings.broadcastAddress = htonl(0x7FFFFFFF); // 127.255.255.255
        settings.probeAddress = htonl(0x7FFFFFFF);
        return settings;
    }
};

} // namespace guitest
