#include "gui/common/dialog_support.h"

#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QStyle>
#include <QTextOption>
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

TabStopDelegate::TabStopDelegate(QList<qreal> stops, qreal repeat, QObject* parent)
    : QStyledItemDelegate(parent), stops_(std::move(stops)) {
    // A line is at most 128 characters, so a few dozen stops cover any of them.
    qreal last = stops_.isEmpty() ? 0 : stops_.last();
    if (repeat > 0) {
        while (stops_.size() < 64) {
            last += repeat;
            stops_.append(last);
        }
    }
}

void TabStopDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const QRect textRect =
        style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget).adjusted(2, 0, -2, 0);
    QTextOption textOption(Qt::AlignLeft | Qt::AlignVCenter);
    textOption.setWrapMode(QTextOption::NoWrap);
    textOption.setTabArray(stops_);
    painter->save();
    const bool selected = (opt.state & QStyle::State_Selected) != 0;
    painter->setPen(
        opt.palette.color(QPalette::Normal, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(opt.font);
    painter->drawText(QRectF(textRect), text, textOption);
    painter->restore();
}

} // namespace varn
