#pragma once
// Small pieces shared by the dialogs: dialog-unit conversion, the test that tells
// a paint of the dialog's own surface from one caused by a child, and a list item
// delegate that honours tab stops.

#include <QList>
#include <QStyledItemDelegate>
#include <cmath>

class QPaintEvent;
class QWidget;

namespace varn {

// Pixels of a dialog unit for the 8-point dialog font.
inline constexpr double kPixelsPerUnitX = 1.5;
inline constexpr double kPixelsPerUnitY = 1.625;
inline int unitsToPixelsX(double units) {
    return int(std::lround(units * kPixelsPerUnitX));
}

// True when a paint event of dialog touches the dialog's own surface. A child
// that repaints itself (a button taking the focus, a list scrolling) makes Qt
// repaint the part of the parent behind it too; that is no paint of the dialog.
bool isOwnPaint(const QWidget* dialog, const QPaintEvent* event);

// Draws each list line as columns whose left edges are given (pixels from the
// left edge of the text): the item's texts under kColumnsRole, each cut to its
// column. The item's own text stays the whole line, for sorting and reading.
class ColumnDelegate : public QStyledItemDelegate {
  public:
    static constexpr int kColumnsRole = Qt::UserRole + 1;

    ColumnDelegate(QList<int> columns, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

  private:
    QList<int> columns_;
};

} // namespace varn
