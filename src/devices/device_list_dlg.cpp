#include "devices/device_list_dlg.h"

#include "app/app_state.h"
#include "app/message_box.h"
#include "app/window_timers.h"
#include "config/config_dlg.h"
#include "devices/admin_login_dlg.h"
#include "devices/device_ip_dlg.h"
#include "devices/devices_state.h"
#include "devices/dialog_support.h"
#include "devices/status_monitor_dlg.h"
#include "link/endpoint.h"
#include "link/link.h"
#include "ui_device_list_dlg.h"

#include <QListWidget>
#include <QPaintEvent>

namespace {
// The part of an address that names its classful network.
std::uint32_t classfulNetwork(std::uint32_t address) {
    const std::uint8_t first = varn::addressOctet(address, 0);
    const int octets = first < 128 ? 1 : first < 192 ? 2 : first < 224 ? 3 : 4;
    std::uint8_t kept[4] = {};
    for (int i = 0; i < octets; ++i) {
        kept[i] = varn::addressOctet(address, i);
    }
    return varn::makeAddress(kept[0], kept[1], kept[2], kept[3]);
}
} // namespace

bool sameNetwork(std::uint32_t a, std::uint32_t b) {
    return classfulNetwork(a) == classfulNetwork(b);
}

EndpointAccess EndpointAccess::of(varn::UdpEndpoint& endpoint) {
    return {[&endpoint] { return endpoint.openEndpoint(appState().notifyWindow); },
            [&endpoint] { return endpoint.socketError; }};
}

CDeviceListDlg::CDeviceListDlg(varn::Link& link, DevicesState& state, EndpointAccess endpoint,
                               QWidget* parent)
    : QDialog(parent), link_(link), state_(state), endpoint_(std::move(endpoint)),
      ui_(std::make_unique<Ui::CDeviceListDlg>()),
      timers_(new WindowTimers(this, [this](int id) { onTimer(id); })) {
    ui_->setupUi(this);
    setFixedSize(size());
    connect(ui_->id1002, &QPushButton::clicked, this, &CDeviceListDlg::sweep);
    connect(ui_->id1016, &QPushButton::clicked, this, &CDeviceListDlg::onConfig);
    connect(ui_->id1017, &QPushButton::clicked, this, &CDeviceListDlg::onMonitor);
    connect(ui_->id2, &QPushButton::clicked, this, &CDeviceListDlg::reject);
    connect(ui_->id1000, &QListWidget::itemDoubleClicked, this, &CDeviceListDlg::onConfig);
}

CDeviceListDlg::~CDeviceListDlg() = default;

QListWidget* CDeviceListDlg::list() const {
    return ui_->id1000;
}

QPushButton* CDeviceListDlg::button(int id) const {
    return findChild<QPushButton*>(QStringLiteral("id%1").arg(id));
}

int CDeviceListDlg::exec() {
    endedEarly_ = false;
    if (state_.endpointOpened == 0 && endpoint_.open() != 0) {
        showMessageBox(QStringLiteral("Can not open TCP/IP service, please install TCP/IP "
                                      "protocol before running this program. Error Code: %1")
                           .arg(endpoint_.error()),
                       QMessageBox::Warning);
        endDialog(Accepted);
    }
    state_.endpointOpened = 1; // never tried again in this run
    state_.passwordCache.clear();
    if (!endedEarly_) {
        sweep();
    }
    const qreal address = unitsToPixelsX(kAddressTabUnits);
    const qreal stateColumn = unitsToPixelsX(kAddressTabUnits + kStateTabUnits);
    ui_->id1000->setItemDelegate(new TabStopDelegate({address, stateColumn}, 0, ui_->id1000));
    if (endedEarly_) {
        return Accepted;
    }
    running_ = true;
    const int result = QDialog::exec();
    running_ = false;
    return result;
}

void CDeviceListDlg::endDialog(int result) {
    if (running_) {
        done(result);
    } else {
        endedEarly_ = true;
        setResult(result);
    }
}

void CDeviceListDlg::done(int result) {
    for (int id : {TIMER_DISCOVERY, TIMER_EMPTY_SWEEP, TIMER_VERSIONS, TIMER_READ_CONFIG,
                   TIMER_AFTER_CONFIG}) {
        timers_->kill(id);
    }
    QDialog::done(result);
}

void CDeviceListDlg::sweep() {
    if (endpoint_.error() != 0) {
        // The network could not be opened: the program is ending.
        endDialog(Accepted);
        return;
    }
    link_.devices.clear();
    link_.sendRequest(varn::kDiscover);
    timers_->set(TIMER_DISCOVERY, kDiscoveryInterval);
}

void CDeviceListDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (isOwnPaint(this, event)) {
        applyPaint();
    }
}

void CDeviceListDlg::applyPaint() {
    if (state_.monitorOpen != 0 || painting_) {
        return;
    }
    painting_ = true;
    const int count = std::clamp(link_.devices.deviceCount, 0, varn::kTableRows);
    if (count > 0) {
        ui_->id1000->setFocus(Qt::OtherFocusReason);
    } else {
        ui_->id1002->setFocus(Qt::OtherFocusReason);
    }
    QListWidget* list = ui_->id1000;
    list->clear();
    for (int i = 0; i < count; ++i) {
        const std::string row = link_.devices.rowText(i);
        list->addItem(QString::fromLatin1(row.data(), qsizetype(row.size())));
    }
    if (count > 0) {
        list->setCurrentRow(0);
    }
    painting_ = false;
}

std::uint32_t CDeviceListDlg::rowAddress(int row) const {
    const std::string text = link_.devices.addressText(row);
    return varn::parseDotted(text.c_str(), text.size());
}

void CDeviceListDlg::onConfig() {
    int row = ui_->id1000->currentRow();
    if (row < 0 || row >= varn::kTableRows) {
        return; // no appliance chosen: nothing to configure
    }
    varn::DeviceTable& devices = link_.devices;
    devices.selectedIndex = row;
    link_.targetAddress = rowAddress(row);
    if (!sameNetwork(link_.targetAddress, link_.port().localAddress)) {
        // Out of reach by unicast: give it an address on our network first.
        CDeviceIpDlg ipDialog(link_);
        row = ui_->id1000->currentRow();
        if (row >= 0 && row < varn::kTableRows) {
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
    link_.sendRequest(varn::kVersions);
    state_.retriesLeft = kVersionsTries;
    timers_->set(TIMER_VERSIONS, kVersionsInterval);
}

void CDeviceListDlg::failChain() {
    showMessageBox(QStringLiteral("Get Configuration of selected device failed, check if "
                                  "connection was lost or IP Address need be set"),
                   QMessageBox::Warning);
}

void CDeviceListDlg::onTimer(int id) {
    switch (id) {
    case TIMER_DISCOVERY:
        if (link_.newDeviceSeen != 0) {
            // Someone new answered in the last 100 ms: ask once more.
            link_.sendRequest(varn::kDiscover);
            return;
        }
        timers_->kill(TIMER_DISCOVERY);
        if (link_.devices.deviceCount == 0) {
            ui_->id1016->setEnabled(false);
            ui_->id1017->setEnabled(false);
            timers_->set(TIMER_EMPTY_SWEEP, kEmptySweepDelay);
        } else {
            ui_->id1016->setEnabled(true);
            ui_->id1017->setEnabled(true);
        }
        applyPaint();
        return;
    case TIMER_EMPTY_SWEEP:
    case TIMER_AFTER_CONFIG:
        timers_->kill(id);
        sweep();
        return;
    case TIMER_VERSIONS:
        timers_->kill(id);
        if (link_.awaitedReply != 0) {
            if (--state_.retriesLeft <= 0) {
                failChain();
                return;
            }
            link_.sendRequest(varn::kVersions);
            timers_->set(TIMER_VERSIONS, kVersionsInterval);
            return;
        }
        link_.sendRequest(varn::kReadConfig);
        state_.retriesLeft = kReadConfigTries;
        timers_->set(TIMER_READ_CONFIG, kReadConfigFirstWait);
        return;
    case TIMER_READ_CONFIG:
        timers_->kill(id);
        if (link_.awaitedReply != 0) {
            if (--state_.retriesLeft <= 0) {
                failChain();
                return;
            }
            link_.sendRequest(varn::kReadConfig);
            timers_->set(TIMER_READ_CONFIG, kReadConfigInterval);
            return;
        }
        configurationStep();
        return;
    default:
        return;
    }
}

void CDeviceListDlg::configurationStep() {
    if (loginCheck(link_.config(), state_.passwordCache) != 0) {
        return;
    }
    link_.sendRequest(varn::kBeginConfig);
    state_.savedConfig = link_.config();
    CConfigDlg configDialog(link_);
    if (configDialog.exec() == Rejected) {
        link_.config() = state_.savedConfig;
        link_.sendRequest(varn::kAbandonConfig);
    } else {
        link_.sendRequest(varn::kReset);
    }
    timers_->set(TIMER_AFTER_CONFIG, kAfterConfigDelay);
}

void CDeviceListDlg::onMonitor() {
    {
        CStatusMonitorDlg monitor(link_, state_);
        monitor.exec();
    }
    sweep();
}
