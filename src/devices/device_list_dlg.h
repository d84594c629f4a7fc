#pragma once
// The hub of the utility: opens the UDP endpoint once, discovers the appliances,
// lists them, and runs the Config chain and the Status Monitor.

#include <QDialog>
#include <cstdint>
#include <functional>
#include <memory>

class QListWidget;
class QPushButton;
class WindowTimers;
struct DevicesState;
DevicesState& devicesState();
namespace Ui {
class CDeviceListDlg;
}
namespace varn {
class Link;
class UdpEndpoint;
Link& theLink();
UdpEndpoint& theEndpoint();
} // namespace varn

// How the Device List reaches the socket layer: it opens the endpoint once and
// reads the error a failed opening left.
struct EndpointAccess {
    std::function<int()> open;           // 0, or -1 on failure
    std::function<std::int32_t()> error; // the failed opening's error, else 0

    // The process's endpoint, opened for the main frame's window.
    static EndpointAccess of(varn::UdpEndpoint& endpoint);
};

// True when both addresses (network order) lie in the same classful network,
// each masked by the class of its own first octet.
bool sameNetwork(std::uint32_t a, std::uint32_t b);

class CDeviceListDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int TIMER_DISCOVERY = 257;    // 100 ms, repeating
    static constexpr int TIMER_EMPTY_SWEEP = 259;  // 5000 ms: try again after an empty sweep
    static constexpr int TIMER_VERSIONS = 8450;    // firmware-versions query
    static constexpr int TIMER_READ_CONFIG = 513;  // read-configuration request
    static constexpr int TIMER_AFTER_CONFIG = 521; // 1000 ms: new sweep after configuring
    static constexpr int kDiscoveryInterval = 100;
    static constexpr int kEmptySweepDelay = 5000;
    static constexpr int kVersionsTries = 3, kVersionsInterval = 100;
    static constexpr int kReadConfigTries = 5, kReadConfigFirstWait = 100,
                         kReadConfigInterval = 200;
    static constexpr int kAfterConfigDelay = 1000;
    // Tab stops of the list, in dialog units: the address, then the state 60 further.
    static constexpr int kAddressTabUnits = 100, kStateTabUnits = 60;

    explicit CDeviceListDlg(varn::Link& link = varn::theLink(),
                            DevicesState& state = devicesState(),
                            EndpointAccess endpoint = EndpointAccess::of(varn::theEndpoint()),
                            QWidget* parent = nullptr);
    ~CDeviceListDlg() override;

    // Opens the endpoint the first time, empties the password cache and starts
    // discovery before the dialog shows; ends at once when the network is unusable.
    int exec() override;
    void done(int result) override;

    // Puts the focus where it belongs and refills the list, as every paint does
    // (nothing while the Status Monitor is open).
    void applyPaint();

    QListWidget* list() const;
    QPushButton* button(int id) const;
    WindowTimers& timers() { return *timers_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void sweep();
    void onTimer(int id);
    void onConfig();
    void onMonitor();
    void configurationStep();
    void failChain();
    void endDialog(int result);
    std::uint32_t rowAddress(int row) const;

    varn::Link& link_;
    DevicesState& state_;
    EndpointAccess endpoint_;
    std::unique_ptr<Ui::CDeviceListDlg> ui_;
    WindowTimers* timers_;
    bool running_ = false;    // inside exec's loop
    bool endedEarly_ = false; // ended while opening, before the loop
    bool painting_ = false;
};
