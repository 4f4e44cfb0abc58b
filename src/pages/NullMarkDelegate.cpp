#include "pages/NullMarkDelegate.h"

#include <QPainter>

#include "pages/TextGridModel.h"

namespace rowsmith::gui {

void NullMarkDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
  QStyledItemDelegate::paint(painter, option, index);
  if (!index.data(TextGridModel::NullRole).toBool()) return;
  painter->save();
  QFont font = option.font;
  font.setItalic(true);
  painter->setFont(font);
  painter->setPen(option.palette.color(QPalette::Disabled, QPalette::Text));
  painter->drawText(option.rect.adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft,
                    QStringLiteral("NULL"));
  painter->restore();
}

}  // namespace rowsmith::gui
