#include "gui/devices/status_monitor_dlg.h"

#include "devices/devices_state.h"
#include "gui/common/dialog_support.h"
#include "gui/common/field_support.h"
#include "gui/common/window_timers.h"
#include "link/link.h"
#include "ui_status_monitor_dlg.h"

#include <QApplication>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>

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

// Draws a row in the columns under the headings (name, status, WAN IP, speed),
// each cut to its column so that a long state text does not run under the next.
class MonitorRowDelegate : public QStyledItemDelegate {
  public:
    MonitorRowDelegate(QList<int> columns, QObject* parent)
        : QStyledItemDelegate(parent), columns_(std::move(columns)) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const MonitorColumns row = splitMonitorRow(opt.text.toStdString());
        opt.text.clear();
        const QWidget* widget = opt.widget;
        QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

        const QRect area =
            style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget).adjusted(2, 0, -2, 0);
        const bool selected = (opt.state & QStyle::State_Selected) != 0;
        painter->save();
        painter->setPen(opt.palette.color(QPalette::Normal,
                                          selected ? QPalette::HighlightedText : QPalette::Text));
        painter->setFont(opt.font);
        const std::string* texts[] = {&row.name, &row.state, &row.wan, &row.speed};
        for (int i = 0; i < 4; ++i) {
            const int left = area.left() + columns_.value(i);
            const int right =
                i + 1 < columns_.size() ? area.left() + columns_[i + 1] - 4 : area.right();
            const QRect cell(left, area.top(), std::max(0, right - left), area.height());
            const QString text = QString::fromLatin1(texts[i]->c_str());
            painter->drawText(cell, Qt::AlignLeft | Qt::AlignVCenter,
                              opt.fontMetrics.elidedText(text, Qt::ElideRight, cell.width()));
        }
        painter->restore();
    }

  private:
    QList<int> columns_; // left edges, pixels from the text's left edge
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
        new MonitorRowDelegate({0, unitsToPixelsX(kTabStopUnits), unitsToPixelsX(kWanColumnUnits),
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
    link_.monitor.monitorCount = 0; // the table starts empty at each opening
    state_.monitorOpen = true;
    link_.sendRequest(kStatusPoll);
    timers().set(TIMER_STATUS_POLL, kFirstPoll);
}

void CStatusMonitorDlg::paintRule() {
    QListWidget* list = ui_->id1200;
    list->clear();
    const int count = std::clamp(link_.monitor.monitorCount, 0, kTableRows);
    for (int i = 0; i < count; ++i) {
        const std::string row = link_.monitor.rowText(i);
        auto* item = new MonitorItem(fromDeviceText(row));
        item->setToolTip(QString::fromLatin1(splitMonitorRow(row).state.c_str()));
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
    markMonitorUnknown(link_.monitor, link_.devices.deviceCount);
    link_.sendRequest(kStatusPoll);
    timers().kill(TIMER_STATUS_POLL);
    timers().set(TIMER_STATUS_POLL, kPollInterval);
}

void CStatusMonitorDlg::done(int result) {
    state_.monitorOpen = false;
    SetupDialog::done(result);
}

} // namespace varn
