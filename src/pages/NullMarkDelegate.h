#pragma once

#include <QStyledItemDelegate>

namespace rowsmith::gui {

// Draws NULL cells of a value grid with a faint "NULL" mark, so that they
// can be told from empty text while the cell's own text stays empty.
//
// Threading: UI thread only.
class NullMarkDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
};

}  // namespace rowsmith::gui
