#include "gui/devices/device_list_dlg.h"

#include "devices/devices_state.h"
#include "devices/login_check.h"
#include "devices/same_network.h"
#include "gui/common/dialog_support.h"
#include "gui/common/field_support.h"
#include "gui/common/message_box.h"
#include "gui/common/window_timers.h"
#include "gui/config/config_dlg.h"
#include "gui/devices/admin_login_dlg.h"
#include "gui/devices/device_ip_dlg.h"
#include "gui/devices/status_monitor_dlg.h"
#include "link/link.h"
#include "protocol/datagram_port.h"
#include "ui_device_list_dlg.h"

#include <QListWidget>
#include <QScopeGuard>

namespace varn {

CDeviceListDlg::CDeviceListDlg(Link& link, DevicesState& state, EndpointAccess endpoint,
                               QWidget* parent)
    : SetupDialog(parent), link_(link), state_(state), endpoint_(std::move(endpoint)),
      ui_(std::make_unique<Ui::CDeviceListDlg>()),
      versions_(timers(), TIMER_VERSIONS, link, state.retriesLeft),
      readConfig_(timers(), TIMER_READ_CONFIG, link, state.retriesLeft) {
    ui_->setupUi(this);
    finishSetup();
    connect(ui_->id1002, &QPushButton::clicked, this, &CDeviceListDlg::sweep);
    connect(ui_->id1016, &QPushButton::clicked, this, &CDeviceListDlg::onConfig);
    connect(ui_->id1017, &QPushButton::clicked, this, &CDeviceListDlg::onMonitor);
    connect(ui_->id2, &QPushButton::clicked, this, &CDeviceListDlg::reject);
    connect(ui_->id1000, &QListWidget::itemDoubleClicked, this, &CDeviceListDlg::onConfig);
    const qreal address = unitsToPixelsX(kAddressTabUnits);
    const qreal stateColumn = unitsToPixelsX(kAddressTabUnits + kStateTabUnits);
    ui_->id1000->setItemDelegate(new TabStopDelegate({address, stateColumn}, 0, ui_->id1000));
}

CDeviceListDlg::~CDeviceListDlg() = default;

QListWidget* CDeviceListDlg::list() const {
    return ui_->id1000;
}

void CDeviceListDlg::initDialog() {
    if (!state_.endpointOpened && endpoint_.open() != 0) {
        showMessageBox(QStringLiteral("Can not open TCP/IP service, please install TCP/IP "
                                      "protocol before running this program. Error Code: %1")
                           .arg(endpoint_.error()),
                       QMessageBox::Warning);
        done(Accepted);
    }
    state_.endpointOpened = true; // never tried again in this run
    state_.passwordCache.clear();
    sweep();
}

void CDeviceListDlg::sweep() {
    if (endpoint_.error() != 0) {
        // The network could not be opened: the program is ending.
        done(Accepted);
        return;
    }
    timers().kill(TIMER_EMPTY_SWEEP);
    timers().kill(TIMER_RECHECK);
    link_.devices.clear();
    link_.sendRequest(kDiscover);
    timers().set(TIMER_DISCOVERY, kDiscoveryInterval);
    firstRowsTicks_ = kFirstRowsTicks;
    timers().set(TIMER_ROWS, kFirstRowsInterval);
}

void CDeviceListDlg::endSweep() {
    timers().kill(TIMER_DISCOVERY);
    const bool empty = link_.devices.deviceCount == 0;
    ui_->id1016->setEnabled(!empty);
    ui_->id1017->setEnabled(!empty);
    if (empty) {
        timers().set(TIMER_EMPTY_SWEEP, kEmptySweepDelay);
    }
    if (!linkBusy()) {
        rechecksLeft_ = kRechecks;
        timers().set(TIMER_RECHECK, kRecheckInterval);
    }
    applyPaint();
}

// One more broadcast after the sweep, without clearing the table: whoever
// answers now is added to the list by showNewRows.
void CDeviceListDlg::recheck() {
    if (rechecksLeft_ <= 0 || linkBusy()) {
        timers().kill(TIMER_RECHECK);
        return;
    }
    link_.sendRequest(kDiscover);
    if (--rechecksLeft_ == 0) {
        timers().kill(TIMER_RECHECK);
    }
}

bool CDeviceListDlg::linkBusy() const {
    return versions_.active() || readConfig_.active() || configuring_ || state_.monitorOpen;
}

void CDeviceListDlg::paintRule() {
    if (state_.monitorOpen) {
        return;
    }
    const int count = std::clamp(link_.devices.deviceCount, 0, kTableRows);
    if (count > 0) {
        ui_->id1000->setFocus(Qt::OtherFocusReason);
    } else {
        ui_->id1002->setFocus(Qt::OtherFocusReason);
    }
    QListWidget* list = ui_->id1000;
    list->clear();
    for (int i = 0; i < count; ++i) {
        list->addItem(fromDeviceText(link_.devices.rowText(i)));
    }
    if (count > 0) {
        list->setCurrentRow(0);
    }
}

// Rows the dispatch added since the list was last filled are shown as they come,
// during a sweep and after it, without moving the user's selection.
void CDeviceListDlg::showNewRows() {
    if (state_.monitorOpen) {
        return;
    }
    QListWidget* list = ui_->id1000;
    const int count = std::clamp(link_.devices.deviceCount, 0, kTableRows);
    const bool wasEmpty = list->count() == 0;
    bool added = false;
    for (int i = 0; i < count; ++i) {
        const QString text = fromDeviceText(link_.devices.rowText(i));
        if (i < list->count()) {
            if (list->item(i)->text() != text) {
                list->item(i)->setText(text);
            }
        } else {
            list->addItem(text);
            added = true;
        }
    }
    if (!added) {
        return;
    }
    if (wasEmpty) {
        // The list's first fill, as the painting rule does it.
        list->setCurrentRow(0);
        list->setFocus(Qt::OtherFocusReason);
    }
    if (!timers().isActive(TIMER_DISCOVERY)) {
        // A late answer to a sweep that had ended empty: the network is not empty.
        timers().kill(TIMER_EMPTY_SWEEP);
        ui_->id1016->setEnabled(true);
        ui_->id1017->setEnabled(true);
    }
}

std::uint32_t CDeviceListDlg::rowAddress(int row) const {
    const std::string text = link_.devices.addressText(row);
    return parseDotted(text.c_str(), text.size());
}

void CDeviceListDlg::onConfig() {
    timers().kill(TIMER_RECHECK);
    int row = ui_->id1000->currentRow();
    if (row < 0 || row >= kTableRows) {
        return; // no appliance chosen: nothing to configure
    }
    DeviceTable& devices = link_.devices;
    devices.selectedIndex = row;
    link_.targetAddress = rowAddress(row);
    if (!sameNetwork(link_.targetAddress, link_.port().localAddress)) {
        // Out of reach by unicast: give it an address on our network first.
        CDeviceIpDlg ipDialog(link_);
        row = ui_->id1000->currentRow();
        if (row >= 0 && row < kTableRows) {
            devices.selectedIndex = row;
        }
        if (ipDialog.exec() == Accepted) {
            link_.targetAddress = link_.config().lanIpAddress();
        }
    }
    if (!sameNetwork(link_.targetAddress, link_.port().localAddress)) {
        return;
    }
    // The versions query also shows whether the appliance answers at all.
    versions_.start(
        versionsPlan(), [this] { readConfiguration(); }, [this] { failChain(); });
}

void CDeviceListDlg::readConfiguration() {
    readConfig_.start(
        readConfigPlan(), [this] { configurationStep(); }, [this] { failChain(); });
}

void CDeviceListDlg::failChain() {
    showMessageBox(QStringLiteral("Get Configuration of selected device failed, check if "
                                  "connection was lost or IP Address need be set"),
                   QMessageBox::Warning);
}

void CDeviceListDlg::onTimer(int id) {
    if (versions_.expire(id) || readConfig_.expire(id)) {
        return;
    }
    switch (id) {
    case TIMER_DISCOVERY:
        if (link_.newDeviceSeen && !linkBusy()) {
            // Someone new answered in the last 100 ms: ask once more.
            link_.sendRequest(kDiscover);
            return;
        }
        // Quiet, or Config was given during the sweep: its chain now waits on
        // the awaited-reply marker, which another broadcast would overwrite.
        endSweep();
        return;
    case TIMER_ROWS:
        showNewRows();
        if (firstRowsTicks_ > 0 && --firstRowsTicks_ == 0) {
            timers().set(TIMER_ROWS, kRowsInterval);
        }
        if (timers().interval(TIMER_ROWS) == kRowsInterval && !timers().isActive(TIMER_DISCOVERY) &&
            !timers().isActive(TIMER_RECHECK)) {
            timers().set(TIMER_ROWS, kLateRowsInterval);
        }
        return;
    case TIMER_RECHECK:
        recheck();
        return;
    case TIMER_EMPTY_SWEEP:
    case TIMER_AFTER_CONFIG:
        timers().kill(id);
        sweep();
        return;
    default:
        return;
    }
}

void CDeviceListDlg::configurationStep() {
    configuring_ = true;
    const auto done = qScopeGuard([this] { configuring_ = false; });
    if (loginCheck(link_.config(), state_.passwordCache, adminLoginPrompt(), link_.ui()) != 0) {
        return;
    }
    link_.sendRequest(kBeginConfig);
    state_.savedConfig = link_.config();
    CConfigDlg configDialog(link_);
    if (configDialog.exec() == Rejected) {
        link_.config() = state_.savedConfig;
        link_.sendRequest(kAbandonConfig);
    } else {
        link_.sendRequest(kReset);
    }
    timers().set(TIMER_AFTER_CONFIG, kAfterConfigDelay);
}

void CDeviceListDlg::onMonitor() {
    timers().kill(TIMER_RECHECK);
    {
        CStatusMonitorDlg monitor(link_, state_);
        monitor.exec();
    }
    sweep();
}

} // namespace varn
