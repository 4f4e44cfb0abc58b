#pragma once

#include <QList>
#include <QWidget>

class QGroupBox;

namespace rowsmith::gui {

// The hidden page "optionsTab": cursor choices kept for old jobs' sake;
// nothing reads them.
//
// Threading: UI thread only.
class OptionsPage : public QWidget {
  Q_OBJECT

 public:
  explicit OptionsPage(QWidget* parent = nullptr);

  QList<QObject*> components() const;

 private:
  QGroupBox* m_cursorType;
  QGroupBox* m_cursorLocation;
};

}  // namespace rowsmith::gui
