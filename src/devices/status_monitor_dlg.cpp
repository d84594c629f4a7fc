#include "devices/status_monitor_dlg.h"

#include "app/window_timers.h"
#include "devices/devices_state.h"
#include "devices/dialog_support.h"
#include "link/link.h"
#include "ui_status_monitor_dlg.h"

#include <QListWidget>
#include <QPaintEvent>

CStatusMonitorDlg::CStatusMonitorDlg(varn::Link& link, DevicesState& state, QWidget* parent)
    : QDialog(parent), link_(link), state_(state), ui_(std::make_unique<Ui::CStatusMonitorDlg>()),
      timers_(new WindowTimers(this, [this](int id) { onTimer(id); })) {
    ui_->setupUi(this);
    setFixedSize(size());
    connect(ui_->id1, &QPushButton::clicked, this, &CStatusMonitorDlg::accept);

    link_.monitor.monitorCount = 0; // the table starts empty at each opening
    state_.monitorOpen = 1;
    link_.sendRequest(varn::kStatusPoll);
    timers_->set(TIMER_STATUS_POLL, kFirstPoll);
    // One tab stop; a tab advances to the next multiple of it.
    const qreal stop = unitsToPixelsX(kTabStopUnits);
    ui_->id1200->setItemDelegate(new TabStopDelegate({stop}, stop, ui_->id1200));
}

CStatusMonitorDlg::~CStatusMonitorDlg() {
    state_.monitorOpen = 0;
}

QListWidget* CStatusMonitorDlg::list() const {
    return ui_->id1200;
}

void CStatusMonitorDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (isOwnPaint(this, event)) {
        applyPaint();
    }
}

void CStatusMonitorDlg::applyPaint() {
    if (painting_) {
        return;
    }
    painting_ = true;
    QListWidget* list = ui_->id1200;
    list->clear();
    const int count = std::clamp(link_.monitor.monitorCount, 0, varn::kTableRows);
    for (int i = 0; i < count; ++i) {
        const std::string row = link_.monitor.rowText(i);
        list->addItem(QString::fromLatin1(row.data(), qsizetype(row.size())));
    }
    if (list->count() > 0) {
        list->setCurrentRow(0);
    }
    painting_ = false;
}

void CStatusMonitorDlg::onTimer(int id) {
    if (id != TIMER_STATUS_POLL) {
        return;
    }
    applyPaint();
    // Until its next answer, each appliance of the last discovery reads "Unknown".
    varn::markMonitorUnknown(link_.monitor, link_.devices.deviceCount);
    link_.sendRequest(varn::kStatusPoll);
    timers_->kill(TIMER_STATUS_POLL);
    timers_->set(TIMER_STATUS_POLL, kPollInterval);
}

void CStatusMonitorDlg::done(int result) {
    timers_->kill(TIMER_STATUS_POLL);
    state_.monitorOpen = 0;
    QDialog::done(result);
}
