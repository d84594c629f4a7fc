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

    const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget)
                           .adjusted(kInset, 0, -kInset, 0);
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
