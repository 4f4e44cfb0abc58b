#pragma once

#include <QObject>

class QMainWindow;
class QWidget;

namespace rowsmith::gui {

// F1 anywhere in the program opens the help page of what the user is
// looking at: in an open menu, the highlighted item's topic or that of the
// nearest menu above it that has one; in the main window, the current
// wizard page's topic; in any other window, the topic of the focused
// control or the nearest widget above it that carries a "helpContext"
// property (a window without one, such as the About box, shows nothing).
//
// Threading: UI thread only.
class HelpKeyFilter : public QObject {
  Q_OBJECT

 public:
  // Installs the filter on the application for the life of mainWindow.
  static void install(QMainWindow& mainWindow);

  // The topic F1 shows for a key press on `target`; 0 for none, -1 when
  // F1 does nothing there.
  static int contextFor(QObject* target, QMainWindow& mainWindow);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  explicit HelpKeyFilter(QMainWindow& mainWindow);
  QMainWindow& m_mainWindow;
};

}  // namespace rowsmith::gui
