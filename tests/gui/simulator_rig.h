#pragma once
// The utility's real link over a real UDP endpoint on loopback, talking to an
// appliance simulator started for the test: what the dialog tests against the
// simulator share.

#include "gui_test_support.h"
#include "real_utility.h"

#include "e2e/traffic.h"
#include "gui/devices/device_list_dlg.h"
#include "protocol/endpoint.h"
#include "sim_launcher.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryFile>
#include <arpa/inet.h>

using namespace varn;

namespace guitest {

inline QString simulatorPath() {
    const QByteArray given = qgetenv("VARN_APPLIANCE_SIM");
    if (!given.isEmpty()) {
        return QString::fromLocal8Bit(given);
    }
    return QCoreApplication::applicationDirPath() + "/../tools/appliance-sim/appliance-sim";
}

// Starts the simulator on a free loopback port with `args` added, its
// appliances from `scenario` (JSON; empty: its built-in ones). Empty on
// success, else what went wrong.
inline QString startSimulator(simlaunch::SimProcess& sim, QTemporaryFile& scenarioFile,
                              const char* scenario, std::vector<std::string> args = {}) {
    const QString path = simulatorPath();
    if (!QFileInfo(path).isExecutable()) {
        return "no simulator at " + path;
    }
    args.insert(args.end(), {"--port", "0", "--log", "/dev/null"});
    if (scenario != nullptr) {
        if (!scenarioFile.open()) {
            return "no scenario file";
        }
        scenarioFile.write(scenario);
        scenarioFile.flush();
        args.insert(args.end(), {"--scenario", scenarioFile.fileName().toStdString()});
    }
    std::string error;
    if (!simlaunch::startSimulator(path.toStdString(), args, sim, &error)) {
        return QString::fromStdString(error);
    }
    return {};
}

// One simulator for a whole test binary: started by its initTestCase, stopped
// when the test object goes.
struct SimulatorFixture {
    simlaunch::SimProcess process;
    QTemporaryFile scenarioFile;
    std::uint16_t port = 0;

    // Empty on success, else what went wrong.
    QString start(const char* scenario, std::vector<std::string> args = {}) {
        const QString error = startSimulator(process, scenarioFile, scenario, std::move(args));
        port = process.port;
        return error;
    }
    ~SimulatorFixture() { simlaunch::stopSimulator(process); }
};

// The utility's side, wired as runSetup wires it, over loopback: it broadcasts
// to 127.255.255.255 on the simulator's port from a free port of its own.
struct LoopbackUtility : RealUtility {
    explicit LoopbackUtility(std::uint16_t simulatorPort)
        : RealUtility(settingsFor(simulatorPort)) {}

    static varn::EndpointSettings settingsFor(std::uint16_t simulatorPort) {
        varn::EndpointSettings settings;
        settings.devicePort = simulatorPort;
        settings.localPort = simlaunch::freeUdpPort(simulatorPort);
        settings.broadcastAddress = htonl(0x7FFFFFFF); // 127.255.255.255
        settings.probeAddress = htonl(0x7FFFFFFF);
        return settings;
    }

    // Discovers the simulator's `appliances` and reads the block of the one
    // named, as the Device List does before the configuration dialog opens.
    void readConfigOf(const std::string& name, int appliances) {
        QCOMPARE(endpoint.openEndpoint(&watcher), 0);
        link.clearDevices();
        link.sendRequest(varn::kDiscover);
        QTRY_COMPARE_WITH_TIMEOUT(link.devices().deviceCount(), appliances, 3000);
        int row = -1;
        for (int i = 0; i < link.devices().deviceCount(); ++i) {
            if (std::string(link.devices().entry(i).name.data(), 12).starts_with(name + " ")) {
                row = i;
            }
        }
        QVERIFY(row >= 0);
        link.chooseDevice(row);
        link.setTargetAddress(link.devices().entry(row).address);
        link.sendRequest(varn::kReadConfig);
        QTRY_VERIFY_WITH_TIMEOUT(link.configReceived(), 3000);
        QCOMPARE(config.deviceName(), name);
    }
};

} // namespace guitest
