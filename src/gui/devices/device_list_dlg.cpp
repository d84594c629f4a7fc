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
#include "link/device_state.h"
#include "link/link.h"
#include "texts.h"
#include "ui_device_list_dlg.h"

#include <QListWidget>
#include <QScopeGuard>

namespace varn {

CDeviceListDlg::CDeviceListDlg(Link& link, DeviceConfig& config, SelfTest& selfTest,
                               DevicesState& state, UserInterface& ui, EndpointAccess endpoint,
                               QWidget* parent)
    : SetupDialog(parent), link_(link), config_(config), selfTest_(selfTest), state_(state),
      ui_(ui), endpoint_(std::move(endpoint)), form_(std::make_unique<Ui::CDeviceListDlg>()),
      sweep_(link), chain_(link, config, state),
      versions_(timers(), TIMER_VERSIONS, link, state.retriesLeft),
      readConfig_(timers(), TIMER_READ_CONFIG, link, state.retriesLeft) {
    form_->setupUi(this);
    finishSetup();
    connect(form_->id1002, &QPushButton::clicked, this, &CDeviceListDlg::sweep);
    connect(form_->id1016, &QPushButton::clicked, this, &CDeviceListDlg::onConfig);
    connect(form_->id1017, &QPushButton::clicked, this, &CDeviceListDlg::onMonitor);
    connect(form_->id2, &QPushButton::clicked, this, &CDeviceListDlg::reject);
    connect(form_->id1000, &QListWidget::itemDoubleClicked, this, &CDeviceListDlg::onConfig);
    const int address = unitsToPixelsX(kAddressTabUnits);
    const int stateColumn = unitsToPixelsX(kAddressTabUnits + kStateTabUnits);
    form_->id1000->setItemDelegate(new ColumnDelegate({0, address, stateColumn}, form_->id1000));
}

CDeviceListDlg::~CDeviceListDlg() = default;

QListWidget* CDeviceListDlg::list() const {
    return form_->id1000;
}

void CDeviceListDlg::initDialog() {
    if (!state_.endpointOpened && endpoint_.open() != 0) {
        showMessageBox(QString::fromLatin1(texts::kCannotOpenNetwork).arg(endpoint_.error()),
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
    sweep_.start();
    timers().set(TIMER_DISCOVERY, kDiscoveryInterval);
    firstRowsTicks_ = kFirstRowsTicks;
    timers().set(TIMER_ROWS, kFirstRowsInterval);
}

void CDeviceListDlg::endSweep() {
    timers().kill(TIMER_DISCOVERY);
    const bool empty = link_.devices().deviceCount() == 0;
    form_->id1016->setEnabled(!empty);
    form_->id1017->setEnabled(!empty);
    if (empty) {
        timers().set(TIMER_EMPTY_SWEEP, kEmptySweepDelay);
    }
    if (!linkBusy()) {
        sweep_.startRechecks(kRechecks);
        timers().set(TIMER_RECHECK, kRecheckInterval);
    }
    applyPaint();
}

// One more broadcast after the sweep, without clearing the table: whoever
// answers now is added to the list by showNewRows.
void CDeviceListDlg::recheck() {
    if (linkBusy() || !sweep_.recheck() || !sweep_.rechecking()) {
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
    const int count = link_.devices().deviceCount();
    if (count > 0) {
        form_->id1000->setFocus(Qt::OtherFocusReason);
    } else {
        form_->id1002->setFocus(Qt::OtherFocusReason);
    }
    form_->id1000->clear();
    for (int i = 0; i < count; ++i) {
        showRow(i);
    }
    if (count > 0) {
        form_->id1000->setCurrentRow(0);
    }
}

void CDeviceListDlg::showRow(int i) {
    const DeviceEntry& entry = link_.devices().entry(i);
    QListWidget* list = form_->id1000;
    QListWidgetItem* item = i < list->count() ? list->item(i) : new QListWidgetItem(list);
    item->setText(fromDeviceText(entry.rowText()));
    item->setData(ColumnDelegate::kColumnsRole,
                  QStringList{fromDeviceText(entry.nameText()),
                              QString::fromStdString(dottedText(entry.address)),
                              QString::fromLatin1(listStateName(entry.state)).trimmed()});
}

// Rows the dispatch added since the list was last filled are shown as they come,
// during a sweep and after it, without moving the user's selection.
void CDeviceListDlg::showNewRows() {
    if (state_.monitorOpen) {
        return;
    }
    QListWidget* list = form_->id1000;
    const int count = link_.devices().deviceCount();
    const bool wasEmpty = list->count() == 0;
    bool added = false;
    for (int i = 0; i < count; ++i) {
        if (i >= list->count() ||
            list->item(i)->text() != fromDeviceText(link_.devices().entry(i).rowText())) {
            added = added || i >= list->count();
            showRow(i);
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
        form_->id1016->setEnabled(true);
        form_->id1017->setEnabled(true);
    }
}

void CDeviceListDlg::onConfig() {
    timers().kill(TIMER_RECHECK);
    int row = form_->id1000->currentRow();
    if (row < 0 || row >= kTableRows) {
        return; // no appliance chosen: nothing to configure
    }
    link_.chooseDevice(row);
    link_.setTargetAddress(link_.devices().entry(row).address);
    warnOfSameName(row);
    if (!sameNetwork(link_.targetAddress(), link_.localAddress())) {
        // Out of reach by unicast: give it an address on our network first.
        CDeviceIpDlg ipDialog(link_, config_);
        row = form_->id1000->currentRow();
        if (row >= 0 && row < kTableRows) {
            link_.chooseDevice(row);
        }
        if (ipDialog.exec() == Accepted) {
            link_.setTargetAddress(config_.lanIpAddress());
        }
    }
    if (!sameNetwork(link_.targetAddress(), link_.localAddress())) {
        return;
    }
    // The versions query also shows whether the appliance answers at all.
    versions_.start(
        ConfigChain::readPlans()[0], [this] { readConfiguration(); }, [this] { failChain(); });
}

// Another host may answer with a real appliance's name (and be listed first):
// the user hears of it before anything, the account included, goes to either.
void CDeviceListDlg::warnOfSameName(int row) {
    const DeviceTable& devices = link_.devices();
    const DeviceEntry& chosen = devices.entry(row);
    QStringList addresses;
    for (int i = 0; i < devices.deviceCount(); ++i) {
        if (devices.entry(i).name == chosen.name) {
            addresses << QString::fromStdString(dottedText(devices.entry(i).address));
        }
    }
    if (addresses.size() < 2) {
        return;
    }
    showMessageBox(QString::fromLatin1(texts::kSameName)
                       .arg(addresses.size())
                       .arg(fromDeviceText(chosen.nameText()), addresses.join(", "),
                            QString::fromStdString(dottedText(chosen.address))),
                   QMessageBox::Information);
}

void CDeviceListDlg::readConfiguration() {
    readConfig_.start(
        ConfigChain::readPlans()[1], [this] { configurationStep(); }, [this] { failChain(); });
}

void CDeviceListDlg::failChain() {
    showMessageBox(QString::fromLatin1(texts::kChainFailed), QMessageBox::Warning);
}

void CDeviceListDlg::onTimer(int id) {
    if (versions_.expire(id) || readConfig_.expire(id)) {
        return;
    }
    switch (id) {
    case TIMER_DISCOVERY:
        if (!linkBusy() && sweep_.continues()) {
            return; // someone new answered in the last 100 ms: asked once more
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
    if (loginCheck(config_, state_.passwordCache, adminLoginPrompt(), ui_) != 0) {
        return;
    }
    chain_.begin();
    CConfigDlg configDialog(link_, config_, selfTest_);
    chain_.end(configDialog.exec() != Rejected);
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
