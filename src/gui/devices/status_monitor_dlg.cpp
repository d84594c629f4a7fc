#include "gui/devices/status_monitor_dlg.h"

#include "devices/devices_state.h"
#include "gui/common/dialog_support.h"
#include "gui/common/field_support.h"
#include "gui/common/window_timers.h"
#include "link/device_state.h"
#include "link/link.h"
#include "ui_status_monitor_dlg.h"

#include <QLabel>
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

// The widest text each column can show, at the list's font: a name of 12
// characters, every state and result text, a dotted address, a 16-bit speed;
// and each heading. The left edges of the columns, gap apart.
QList<int> columnsFor(const QFontMetrics& font, const QList<QLabel*>& headings) {
    int widestCharacter = 0;
    for (int c = 0x20; c <= 0xFF; ++c) {
        if (c < 0x7F || c >= 0xA0) {
            widestCharacter = std::max(widestCharacter, font.horizontalAdvance(QChar(c)));
        }
    }
    int widestState = font.horizontalAdvance(QStringLiteral("Unknown"));
    for (const char* name : stateNames) {
        widestState = std::max(widestState, font.horizontalAdvance(QString::fromLatin1(name)));
    }
    for (int state = kStateDialResult; state <= 20; ++state) {
        for (int code = 0; code <= 20; ++code) {
            const std::string text = statusText(std::uint8_t(state), std::uint8_t(code));
            widestState = std::max(widestState, font.horizontalAdvance(fromDeviceText(text)));
        }
    }
    const int widths[] = {int(ShownName().size()) * widestCharacter, widestState,
                          font.horizontalAdvance(QStringLiteral("255.255.255.255")),
                          font.horizontalAdvance(QStringLiteral("65535"))};
    QList<int> lefts;
    int left = 0;
    for (int i = 0; i < 4; ++i) {
        lefts << left;
        const int heading =
            headings[i]->fontMetrics().horizontalAdvance(headings[i]->text().remove('&'));
        left += std::max(widths[i], heading) + CStatusMonitorDlg::kColumnGap;
    }
    lefts << left - CStatusMonitorDlg::kColumnGap; // where the last column ends
    return lefts;
}

} // namespace

CStatusMonitorDlg::CStatusMonitorDlg(Link& link, DevicesState& state, QWidget* parent)
    : SetupDialog(parent), link_(link), state_(state),
      ui_(std::make_unique<Ui::CStatusMonitorDlg>()) {
    ui_->setupUi(this);
    finishSetup();
    connect(ui_->id1, &QPushButton::clicked, this, &CStatusMonitorDlg::accept);
    // Columns wide enough for whatever they show, so that no text is cut: the
    // list, and the dialog with it, grows to hold them, each heading over its
    // column and OK in the middle.
    QListWidget* list = ui_->id1200;
    const QList<QLabel*> headings = {ui_->labelName, ui_->labelStatus, ui_->labelWan,
                                     ui_->labelSpeed};
    columns_ = columnsFor(list->fontMetrics(), headings);
    for (int i = 1; i < 4; ++i) {
        headings[i]->move(list->x() + columns_[i], headings[i]->y());
        headings[i]->resize(headings[i]->sizeHint().width(), headings[i]->height());
    }
    // Room beside the text: the frame, the scroll bar, and the item's margins
    // (the style's and the delegate's) on either side.
    const QStyle* style = list->style();
    const int itemMargin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1 +
                           ColumnDelegate::kInset;
    const int chrome = 2 * list->frameWidth() +
                       style->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list) +
                       2 * itemMargin;
    list->resize(std::max(list->width(), columns_.back() + chrome), list->height());
    setFixedSize(std::max(width(), list->geometry().right() + 1 + list->x()), height());
    ui_->id1->move((width() - ui_->id1->width()) / 2, ui_->id1->y());
    list->setItemDelegate(new ColumnDelegate(columns_.mid(0, 4), list));
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
