#pragma once
// The hub of the utility: opens the UDP endpoint once, discovers the appliances,
// lists them, and runs the Config chain and the Status Monitor.

#include "devices/config_chain.h"
#include "gui/common/request_wait.h"
#include "gui/common/setup_dialog.h"
#include "link/discovery_sweep.h"
#include "link/request_plans.h"

#include <cstdint>
#include <functional>
#include <memory>

class QListWidget;
namespace Ui {
class CDeviceListDlg;
}

namespace varn {

class DeviceConfig;
struct DevicesState;
class Link;
class SelfTest;
class UserInterface;

// How the Device List reaches the socket layer: it opens the endpoint once and
// reads the error a failed opening left.
struct EndpointAccess {
    std::function<int()> open;           // 0, or -1 on failure
    std::function<std::int32_t()> error; // the failed opening's error, else 0
};

class CDeviceListDlg : public SetupDialog {
    Q_OBJECT
  public:
    static constexpr int TIMER_DISCOVERY = 257;    // 100 ms, repeating
    static constexpr int TIMER_ROWS = 258;         // shows rows as they arrive
    static constexpr int TIMER_EMPTY_SWEEP = 259;  // 5000 ms: try again after an empty sweep
    static constexpr int TIMER_RECHECK = 260;      // 100 ms: asks again after a sweep
    static constexpr int TIMER_VERSIONS = 8450;    // firmware-versions query
    static constexpr int TIMER_READ_CONFIG = 513;  // read-configuration request
    static constexpr int TIMER_AFTER_CONFIG = 521; // 1000 ms: new sweep after configuring
    static constexpr int kDiscoveryInterval = varn::kDiscoveryInterval;
    // Rows are looked for every 2 ms for the first 20 ms after a sweep's
    // broadcast (when a LAN's answers come), every 10 ms for the rest of the
    // sweep and its rechecks, and every 50 ms after them for answers that come late.
    static constexpr int kFirstRowsInterval = 2, kFirstRowsTicks = 10;
    static constexpr int kRowsInterval = 10, kLateRowsInterval = 50;
    static constexpr int kEmptySweepDelay = varn::kEmptySweepDelay;
    // After a sweep ends, this many more broadcasts this far apart find the
    // appliances whose answer (or our broadcast) was lost; their rows are added
    // as they come.
    static constexpr int kRechecks = 8, kRecheckInterval = 100;
    static constexpr int kAfterConfigDelay = 1000;
    // Tab stops of the list, in dialog units: the address, then the state 60 further.
    static constexpr int kAddressTabUnits = 100, kStateTabUnits = 60;

    CDeviceListDlg(Link& link, DeviceConfig& config, SelfTest& selfTest, DevicesState& state,
                   UserInterface& ui, EndpointAccess endpoint, QWidget* parent = nullptr);
    ~CDeviceListDlg() override;

    QListWidget* list() const;

  protected:
    // Opens the endpoint the first time, empties the password cache and starts
    // discovery; ends at once when the network is unusable.
    void initDialog() override;
    // Focus to the list (or Refresh) and the list refilled, first line selected;
    // nothing while the Status Monitor is open.
    void paintRule() override;
    void onTimer(int id) override;

  private:
    void sweep();
    void endSweep();
    void recheck();
    // Line i as the list shows it, rendered from the device table.
    void showRow(int i);
    // The Config chain or the Status Monitor is using the link: a broadcast now
    // would overwrite the awaited-reply marker they poll.
    bool linkBusy() const;
    void showNewRows();
    void onConfig();
    void warnOfSameName(int row);
    void onMonitor();
    void readConfiguration();
    void configurationStep();
    void failChain();

    Link& link_;
    DeviceConfig& config_;
    SelfTest& selfTest_;
    DevicesState& state_;
    UserInterface& ui_;
    EndpointAccess endpoint_;
    std::unique_ptr<Ui::CDeviceListDlg> form_;
    DiscoverySweep sweep_;
    ConfigChain chain_;
    RequestWait versions_;
    RequestWait readConfig_;
    int firstRowsTicks_ = 0;
    bool configuring_ = false; // the login and configuration dialogs are open
};

} // namespace varn
