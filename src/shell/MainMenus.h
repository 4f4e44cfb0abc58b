#pragma once

#include <QList>
#include <QObject>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;
class QToolButton;

namespace rowsmith::gui {

// The main window's menus, tool bar and their actions, made once in one
// place. Every item carries the name the language file knows it by; items
// that lead to help carry their "tag" (what the help dispatch does) and
// "helpContext" (the topic F1 shows while the item is highlighted) as
// properties.
//
// Threading: UI thread only.
class MainMenus : public QObject {
  Q_OBJECT

 public:
  explicit MainMenus(QMainWindow& window);

  // Tool bar, tool buttons, then menus and items, in creation order.
  QList<QObject*> components() const { return m_components; }

  QToolBar* toolBar1 = nullptr;
  QToolButton* openButton = nullptr;     // ToolButton2
  QToolButton* saveButton = nullptr;     // ToolButton3
  QToolButton* refreshButton = nullptr;  // refreshButton
  QToolButton* helpButton = nullptr;     // ToolButton5

  QMenu* file1 = nullptr;
  QAction* open1 = nullptr;
  QAction* save1 = nullptr;
  QAction* saveas1 = nullptr;
  QMenu* recentfiles1 = nullptr;
  QAction* exit1 = nullptr;
  QMenu* tools1 = nullptr;
  QAction* refresh1 = nullptr;
  QAction* showWordmillPro1 = nullptr;
  QMenu* help1 = nullptr;
  QAction* contents1 = nullptr;
  QAction* index1 = nullptr;
  QAction* productHomePage1 = nullptr;
  QAction* morvaneSoftwareHomePage1 = nullptr;
  QAction* checkWebForUpdates1 = nullptr;
  QAction* subscribeToUpdateList1 = nullptr;
  QAction* technicalsupport1 = nullptr;
  QAction* about1 = nullptr;

  // The help items whose "tag" property selects what the dispatch opens.
  QList<QObject*> helpSenders() const;

 private:
  QToolButton* toolButton(const char* name, const char* caption, const char* hint,
                          const char* icon);
  QAction* separatorButton(const char* name);
  QMenu* menu(QMenu* parent, const char* name, const char* caption, int helpContext);
  QAction* item(QMenu* menu, const char* name, const char* caption, int helpContext);
  QAction* separator(QMenu* menu, const char* name, int helpContext);

  QMainWindow& m_window;
  QList<QObject*> m_components;
};

}  // namespace rowsmith::gui
