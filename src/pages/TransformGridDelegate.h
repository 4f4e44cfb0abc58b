#pragma once

#include <QStyledItemDelegate>
#include <functional>
#include <string>
#include <vector>

namespace rowsmith::gui {

// The cells of the transforms grid: the filter file is edited in an
// editable drop-down list of the recent filter files; the Browse and Edit
// columns are push buttons, drawn for the rows in sight, that report their
// row when clicked.
//
// Threading: UI thread only.
class TransformGridDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using RecentFilters = std::function<std::vector<std::string>()>;

  TransformGridDelegate(RecentFilters recentFilters, QObject* parent);

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 signals:
  void buttonClicked(int row, int column);

 protected:
  bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

 private:
  RecentFilters m_recentFilters;
};

}  // namespace rowsmith::gui
