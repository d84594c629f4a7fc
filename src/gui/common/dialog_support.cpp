#include "gui/common/dialog_support.h"

#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QStyle>
#include <QWidget>

namespace varn {

bool isOwnPaint(const QWidget* dialog, const QPaintEvent* event) {
    QRegion own = event->region();
    for (const QObject* object : dialog->children()) {
        const auto* child = qobject_cast<const QWidget*>(object);
        if (child != nullptr && child->isVisible() && !child->isWindow()) {
            own -= child->geometry();
        }
    }
    return !own.isEmpty();
}

ColumnDelegate::ColumnDelegate(QList<int> columns, QObject* parent)
    : QStyledItemDelegate(parent), columns_(std::move(columns)) {}

void ColumnDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const QRect area =
        style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget).adjusted(2, 0, -2, 0);
    const QStringList texts = index.data(kColumnsRole).toStringList();
    const bool selected = (opt.state & QStyle::State_Selected) != 0;
    painter->save();
    painter->setPen(
        opt.palette.color(QPalette::Normal, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(opt.font);
    for (int i = 0; i < texts.size() && i < columns_.size(); ++i) {
        const int left = area.left() + columns_[i];
        const int right =
            i + 1 < columns_.size() ? area.left() + columns_[i + 1] - 4 : area.right();
        const QRect cell(left, area.top(), std::max(0, right - left), area.height());
        painter->drawText(cell, Qt::AlignLeft | Qt::AlignVCenter,
                          opt.fontMetrics.elidedText(texts[i], Qt::ElideRight, cell.width()));
    }
    painter->restore();
}

} // namespace varn
