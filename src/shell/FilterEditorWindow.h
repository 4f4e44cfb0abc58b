#pragma once

#include <QString>
#include <QWidget>
#include <memory>
#include <vector>

class QLabel;
class QPushButton;
class QStackedWidget;
class QTabWidget;

namespace rowsmith::wordmill {
class FilterApplication;
class FilterWindow;
}  // namespace rowsmith::wordmill

namespace rowsmith::gui {

class FileDialogComponent;
class FilterEditorLink;
class FilterEditorTab;

// The filter editor: the window of the built-in filter server ("Wordmill
// Pro"), with one tab for each filter window of the server that the user
// works in. It reaches the server only through the server interface.
//
// The main window makes the link once its server exists; the server's calls
// then drive the editor: show shows and raises it, findWindow(path) opens or
// raises the tab of that file, newWindow while the editor is in sight gives
// an empty, unsaved tab. Closing the editor only hides it; its tabs stay
// until they are closed one by one.
//
// Threading: UI thread only, the thread of the server it serves.
class FilterEditorWindow : public QWidget {
  Q_OBJECT

 public:
  // Serves `server` for the life of `owner` (the main window), which owns
  // the link and, once it is first needed, the editor. Before owner closes,
  // the editor offers to save each filter with unsaved changes; Cancel
  // keeps owner open.
  static FilterEditorLink* attach(std::shared_ptr<wordmill::FilterApplication> server,
                                  QWidget& owner);

  FilterEditorWindow(std::weak_ptr<wordmill::FilterApplication> server, QWidget* owner);

  QTabWidget* tabs() const { return m_tabs; }
  int tabCount() const;
  FilterEditorTab* tab(int index) const;
  FilterEditorTab* currentTab() const;
  QPushButton* newButton() const { return m_new; }
  QPushButton* openButton() const { return m_open; }

  void showAndRaise();
  // Opens the file in a tab of its own, or brings its tab to the front when
  // it is open already. A file that does not exist yet gets an empty tab
  // that Save creates. Throws rowsmith::Error when the file cannot be read.
  void openFile(const QString& path);
  // A new, empty, unsaved filter in a tab of its own.
  void newFilter();
  // A window that the server made for another caller: it gets a tab when
  // control comes back to the event loop, unless it has been closed by then
  // (filters compiled for a preview or a run are closed before that).
  void adoptLater(const std::shared_ptr<wordmill::FilterWindow>& window);
  // Closes a tab, asking first when it has unsaved changes; false when it
  // stays.
  bool closeTab(int index);
  // Offers to save each filter with unsaved changes; false on Cancel (or a
  // save that failed), and the rest are not asked.
  bool saveChangesFirst();

 private:
  void buildControls();
  FilterEditorTab* addTab(const std::shared_ptr<wordmill::FilterWindow>& window,
                          const QString& path);
  void adoptPending();
  void openClick();
  void updateTitles();
  bool hasTabFor(const wordmill::FilterWindow* window) const;
  std::shared_ptr<wordmill::FilterApplication> server() const;

  std::weak_ptr<wordmill::FilterApplication> m_server;
  std::vector<std::shared_ptr<wordmill::FilterWindow>> m_pending;
  QStackedWidget* m_stack = nullptr;
  QTabWidget* m_tabs = nullptr;
  QLabel* m_empty = nullptr;
  QPushButton* m_new = nullptr;
  QPushButton* m_open = nullptr;
  FileDialogComponent* m_openDialog = nullptr;
};

}  // namespace rowsmith::gui
