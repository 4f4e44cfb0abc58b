#pragma once

#include <QList>
#include <QWidget>

class QTableView;

namespace rowsmith::gui {

class TextGridModel;

// The wizard page "&4 Preview changes" (previewChangesSheet): the sample
// rows as the filters would change them. Nothing is written.
//
// Threading: UI thread only.
class PreviewPage : public QWidget {
  Q_OBJECT

 public:
  explicit PreviewPage(QWidget* parent = nullptr);

  QList<QObject*> components() const;
  QTableView* previewTest() const { return m_previewTest; }
  TextGridModel* model() const { return m_model; }

 private:
  QTableView* m_previewTest;
  TextGridModel* m_model;
};

}  // namespace rowsmith::gui
