#pragma once

#include <QList>
#include <QWidget>

class QPushButton;
class QTableView;

namespace rowsmith::gui {

class TransformGridModel;

// The wizard page "&3 Transforms" (transformPage): which filter file goes
// with which column of the result.
//
// Threading: UI thread only.
class TransformsPage : public QWidget {
  Q_OBJECT

 public:
  explicit TransformsPage(QWidget* parent = nullptr);

  QList<QObject*> components() const;

  QTableView* transformGrid() const { return m_transformGrid; }
  TransformGridModel* model() const { return m_model; }
  QPushButton* previewButton() const { return m_preview; }
  QPushButton* clearAll() const { return m_clearAll; }
  QPushButton* copyToAll() const { return m_copyToAll; }

 signals:
  void changed();

 private:
  QTableView* m_transformGrid;
  TransformGridModel* m_model;
  QPushButton* m_clearAll;
  QPushButton* m_copyToAll;
  QPushButton* m_preview;
};

}  // namespace rowsmith::gui
