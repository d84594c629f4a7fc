#include "gui/devices/status_monitor_dlg.h"

#include "devices/devices_state.h"
#include "gui/common/dialog_support.h"
#include "gui/common/field_support.h"
#include "gui/common/window_timers.h"
#include "link/link.h"
#include "ui_status_monitor_dlg.h"

#include <QListWidget>

namespace varn {

namespace {

// Sorted as the list box sorts its lines: by their text, whatever the case.
class MonitorItem : public QListWidgetItem {
  public:
    using QListWidgetItem::QListWidgetItem;
    bool operator<(const QListWidgetItem& other) const override {
        return text().compare(other.text(), Qt::CaseInsensitive) < 0;
    }
};

} // namespace

CStatusMonitorDlg::CStatusMonitorDlg(Link& link, DevicesState& state, QWidget* parent)
    : SetupDialog(parent), link_(link), state_(state),
      ui_(std::make_unique<Ui::CStatusMonitorDlg>()) {
    ui_->setupUi(this);
    finishSetup();
    connect(ui_->id1, &QPushButton::clicked, this, &CStatusMonitorDlg::accept);
    // The columns under the headings: Status at the tab stop, WAN IP and the speed
    // where their headings stand.
    ui_->id1200->setItemDelegate(
        new ColumnDelegate({0, unitsToPixelsX(kTabStopUnits), unitsToPixelsX(kWanColumnUnits),
                            unitsToPixelsX(kSpeedColumnUnits)},
                           ui_->id1200));
}

CStatusMonitorDlg::~CStatusMonitorDlg() {
    state_.monitorOpen = false;
}

QListWidget* CStatusMonitorDlg::list() const {
    return ui_->id1200;
}

void CStatusMonitorDlg::initDialog() {
    link_.clearMonitor(); // the table starts empty at each opening
    state_.monitorOpen = true;
    link_.sendRequest(kStatusPoll);
    timers().set(TIMER_STATUS_POLL, kFirstPoll);
}

void CStatusMonitorDlg::paintRule() {
    QListWidget* list = ui_->id1200;
    list->clear();
    for (int i = 0; i < link_.monitor().monitorCount(); ++i) {
        const MonitorEntry& entry = link_.monitor().entry(i);
        const MonitorColumns columns = entry.columns();
        auto* item = new MonitorItem(fromDeviceText(entry.rowText()));
        item->setData(ColumnDelegate::kColumnsRole,
                      QStringList{fromDeviceText(columns.name), fromDeviceText(columns.state),
                                  fromDeviceText(columns.wan), fromDeviceText(columns.speed)});
        item->setToolTip(fromDeviceText(columns.state));
        list->addItem(item);
    }
    if (list->count() > 0) {
        list->setCurrentRow(0);
    }
}

void CStatusMonitorDlg::onTimer(int id) {
    if (id != TIMER_STATUS_POLL) {
        return;
    }
    applyPaint();
    // Until its next answer, each appliance of the last discovery reads "Unknown".
    link_.markMonitorUnknown(link_.devices().deviceCount());
    link_.sendRequest(kStatusPoll);
    timers().kill(TIMER_STATUS_POLL);
    timers().set(TIMER_STATUS_POLL, kPollInterval);
}

void CStatusMonitorDlg::done(int result) {
    state_.monitorOpen = false;
    SetupDialog::done(result);
}

} // namespace varn
