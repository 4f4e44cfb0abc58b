#pragma once

#include <QList>
#include <QWidget>

class QLabel;

namespace rowsmith::gui {

// The wizard page "&5 Go!" (TabSheet3): a picture and the invitation to
// start the run with the Go button below.
//
// Threading: UI thread only.
class GoPage : public QWidget {
  Q_OBJECT

 public:
  explicit GoPage(QWidget* parent = nullptr);

  QList<QObject*> components() const;
  QLabel* text() const { return m_label8; }

 private:
  QLabel* m_image1;
  QLabel* m_label8;
};

}  // namespace rowsmith::gui
