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

// Tab into a group of radio buttons lands on its checked button (on the first
// of the group when none is checked), so that Space there changes nothing; the
// arrow keys move within the group. Only that button keeps Tab focus. A group
// is what Qt makes exclusive: a button group, or the auto-exclusive buttons of
// one parent.
void keepTabOnCheckedRadios(QWidget* dialog);

// Draws each list line as columns whose left edges are given (pixels from the
// left edge of the text): the item's texts under kColumnsRole, each cut to its
// column. The item's own text stays the whole line, for sorting and reading.
class ColumnDelegate : public QStyledItemDelegate {
  public:
    static constexpr int kColumnsRole = Qt::UserRole + 1;
    static constexpr int kInset = 2; // pixels inside the style's text rectangle

    ColumnDelegate(QList<int> columns, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

  private:
    QList<int> columns_;
};

} // namespace varn
