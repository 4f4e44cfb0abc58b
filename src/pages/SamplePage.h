#pragma once

#include <QList>
#include <QWidget>

class QLabel;
class QTableView;

namespace rowsmith::gui {

class RowsSpinBox;
class TextGridModel;

// The wizard page "&2 Sample data" (queryDataSheet): the first rows of the
// table or query, and how many of them to fetch.
//
// Threading: UI thread only.
class SamplePage : public QWidget {
  Q_OBJECT

 public:
  explicit SamplePage(QWidget* parent = nullptr);

  QList<QObject*> components() const;

  RowsSpinBox* previewRows() const { return m_previewRows; }
  QTableView* previewGrid() const { return m_previewGrid; }
  TextGridModel* sampleModel() const { return m_model; }
  QLabel* rowsReturned() const { return m_rowsReturned; }

 signals:
  void changed();

 private:
  QLabel* m_label3;
  QLabel* m_rowsReturned;
  RowsSpinBox* m_previewRows;
  QTableView* m_previewGrid;
  TextGridModel* m_model;
};

}  // namespace rowsmith::gui
