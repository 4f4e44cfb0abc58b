#include "pages/TransformGridDelegate.h"

#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include "pages/TransformGridModel.h"

namespace rowsmith::gui {

namespace {

bool isButton(const QModelIndex& index) {
  return index.column() == TransformGridModel::BrowseColumn ||
         index.column() == TransformGridModel::EditColumn;
}

}  // namespace

TransformGridDelegate::TransformGridDelegate(RecentFilters recentFilters, QObject* parent)
    : QStyledItemDelegate(parent), m_recentFilters(std::move(recentFilters)) {}

QWidget* TransformGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                             const QModelIndex& index) const {
  if (index.column() != TransformGridModel::FilterColumn)
    return QStyledItemDelegate::createEditor(parent, option, index);
  auto* box = new QComboBox(parent);
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  for (const std::string& entry : m_recentFilters()) box->addItem(QString::fromStdString(entry));
  return box;
}

void TransformGridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
  if (auto* box = qobject_cast<QComboBox*>(editor)) {
    box->setEditText(index.data(Qt::EditRole).toString());
    return;
  }
  QStyledItemDelegate::setEditorData(editor, index);
}

void TransformGridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                         const QModelIndex& index) const {
  if (auto* box = qobject_cast<QComboBox*>(editor)) {
    if (box->currentText() != index.data(Qt::EditRole).toString())
      model->setData(index, box->currentText(), Qt::EditRole);
    return;
  }
  QStyledItemDelegate::setModelData(editor, model, index);
}

void TransformGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
  if (!isButton(index)) return QStyledItemDelegate::paint(painter, option, index);
  QStyleOptionButton button;
  button.rect = option.rect.adjusted(1, 1, -1, -1);
  button.text = index.data().toString();
  button.state = QStyle::State_Enabled | QStyle::State_Raised;
  button.fontMetrics = option.fontMetrics;
  const QWidget* widget = option.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_PushButton, &button, painter, widget);
}

QSize TransformGridDelegate::sizeHint(const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const {
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  if (isButton(index))
    size.setWidth(option.fontMetrics.horizontalAdvance(index.data().toString()) + 20);
  return size;
}

bool TransformGridDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                        const QStyleOptionViewItem& option,
                                        const QModelIndex& index) {
  if (isButton(index) && event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton && option.rect.contains(mouse->position().toPoint())) {
      emit buttonClicked(index.row(), index.column());
      return true;
    }
  }
  return QStyledItemDelegate::editorEvent(event, model, option, index);
}

}  // namespace rowsmith::gui
