#include "gui/common/dialog_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QHash>
#include <QPaintEvent>
#include <QPainter>
#include <QRadioButton>
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

void keepTabOnCheckedRadios(QWidget* dialog) {
    // Groups in focus-chain order, so that "first" is the first Tab reaches.
    QHash<const QObject*, QList<QRadioButton*>> groups;
    QList<const QObject*> order;
    for (QWidget* w = dialog->nextInFocusChain(); w != dialog; w = w->nextInFocusChain()) {
        auto* radio = qobject_cast<QRadioButton*>(w);
        if (radio == nullptr || (radio->group() == nullptr && !radio->autoExclusive())) {
            continue;
        }
        const QObject* key = radio->group() != nullptr ? static_cast<const QObject*>(radio->group())
                                                       : radio->parentWidget();
        if (!groups.contains(key)) {
            order.append(key);
        }
        groups[key].append(radio);
    }
    for (const QObject* key : order) {
        const QList<QRadioButton*>& buttons = groups[key];
        QRadioButton* target = buttons.first();
        for (QRadioButton* b : buttons) {
            if (b->isChecked()) {
                target = b;
            }
        }
        for (QRadioButton* b : buttons) {
            const int policy =
                b == target ? b->focusPolicy() | Qt::TabFocus : b->focusPolicy() & ~Qt::TabFocus;
            b->setFocusPolicy(Qt::FocusPolicy(policy));
        }
    }
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
