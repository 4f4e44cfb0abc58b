#include "shell/MainMenus.h"

#include <QAction>
#include <QIcon>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

#include "support/ui/HelpContexts.h"

namespace rowsmith::gui {

namespace {

void setTag(QObject* object, int tag) { object->setProperty("tag", tag); }

}  // namespace

MainMenus::MainMenus(QMainWindow& window) : QObject(&window), m_window(window) {
  toolBar1 = new QToolBar(QStringLiteral("Tool bar"), &window);
  toolBar1->setObjectName(QStringLiteral("ToolBar1"));
  toolBar1->setMovable(false);
  toolBar1->setIconSize(QSize(16, 16));
  window.addToolBar(Qt::TopToolBarArea, toolBar1);
  m_components << toolBar1;

  openButton = toolButton("ToolButton2", "Open", "Open a settings file", "document-open");
  saveButton = toolButton("ToolButton3", "Save", "Save the current settings", "document-save");
  separatorButton("ToolButton6");
  refreshButton = toolButton("refreshButton", "Refresh", "Refresh the view", "view-refresh");
  separatorButton("ToolButton4");
  helpButton = toolButton("ToolButton5", "Help", "Help", "help-contents");
  setTag(helpButton, 0);

  QMenuBar* bar = window.menuBar();
  file1 = menu(nullptr, "File1", "&File", HelpContexts::kFileMenu);
  open1 = item(file1, "Open1", "&Open...", HelpContexts::kFileMenu);
  open1->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
  save1 = item(file1, "Save1", "&Save", HelpContexts::kFileMenu);
  save1->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
  saveas1 = item(file1, "Saveas1", "Save as...", HelpContexts::kFileMenu);
  separator(file1, "N4", 0);
  recentfiles1 = menu(file1, "Recentfiles1", "Recent files", 0);
  recentfiles1->setEnabled(false);
  separator(file1, "N2", HelpContexts::kFileMenu);
  exit1 = item(file1, "Exit1", "E&xit", HelpContexts::kFileMenu);
  exit1->setShortcut(QKeySequence(QStringLiteral("Alt+F4")));
  exit1->setStatusTip(QStringLiteral("Close this program"));

  tools1 = menu(nullptr, "Tools1", "&Tools", 0);
  refresh1 = item(tools1, "Refresh1", "&Refresh", 0);
  refresh1->setShortcut(QKeySequence(Qt::Key_F5));
  showWordmillPro1 = item(tools1, "ShowWordmillPro1", "Show Wordmill Pro", 0);

  help1 = menu(nullptr, "Help1", "&Help", HelpContexts::kHelpMenu);
  contents1 = item(help1, "Contents1", "&Contents", HelpContexts::kHelpMenu);
  contents1->setShortcut(QKeySequence(Qt::Key_F1));
  contents1->setStatusTip(QStringLiteral("Help information"));
  setTag(contents1, 0);
  index1 = item(help1, "Index1", "&Index", HelpContexts::kHelpMenu);
  setTag(index1, 9);
  separator(help1, "N3", HelpContexts::kHelpMenu);
  productHomePage1 = item(help1, "ProductHomePage1", "Rowsmith home page", HelpContexts::kHelpMenu);
  setTag(productHomePage1, 6);
  morvaneSoftwareHomePage1 = item(help1, "MorvaneSoftwareHomePage1", "Morvane Software home page",
                                  HelpContexts::kHelpMenu);
  setTag(morvaneSoftwareHomePage1, 7);
  checkWebForUpdates1 = item(help1, "CheckWebForUpdates1", "Check web for Rowsmith updates", 0);
  subscribeToUpdateList1 =
      item(help1, "SubscribeToUpdateList1", "Subscribe to Rowsmith update list", 0);
  setTag(subscribeToUpdateList1, 10);
  technicalsupport1 =
      item(help1, "Technicalsupport1", "Technical support", HelpContexts::kHelpMenu);
  setTag(technicalsupport1, 8);
  separator(help1, "N1", HelpContexts::kHelpMenu);
  about1 = item(help1, "About1", "&About...", HelpContexts::kHelpMenu);
  about1->setStatusTip(QStringLiteral("About Rowsmith"));

  for (QMenu* top : {file1, tools1, help1}) bar->addMenu(top);
}

QList<QObject*> MainMenus::helpSenders() const {
  return {helpButton,
          contents1,
          index1,
          productHomePage1,
          morvaneSoftwareHomePage1,
          subscribeToUpdateList1,
          technicalsupport1};
}

QToolButton* MainMenus::toolButton(const char* name, const char* caption, const char* hint,
                                   const char* icon) {
  auto* button = new QToolButton(toolBar1);
  button->setObjectName(QString::fromLatin1(name));
  button->setText(QString::fromLatin1(caption));
  button->setStatusTip(QString::fromLatin1(hint));
  button->setToolTip(QString::fromLatin1(hint));
  const QString theme = QString::fromLatin1(icon);
  button->setIcon(QIcon::fromTheme(theme, QIcon(QStringLiteral(":/toolbar/%1.png").arg(theme))));
  button->setToolButtonStyle(Qt::ToolButtonIconOnly);
  button->setAutoRaise(true);
  toolBar1->addWidget(button);
  m_components << button;
  return button;
}

QAction* MainMenus::separatorButton(const char* name) {
  QAction* action = toolBar1->addSeparator();
  action->setObjectName(QString::fromLatin1(name));
  action->setText(QString::fromLatin1(name));
  m_components << action;
  return action;
}

QMenu* MainMenus::menu(QMenu* parent, const char* name, const char* caption, int helpContext) {
  auto* result = new QMenu(QString::fromUtf8(caption), &m_window);
  result->setObjectName(QString::fromLatin1(name));
  result->setProperty("helpContext", helpContext);
  result->setToolTipsVisible(false);
  if (parent) parent->addMenu(result);
  m_components << result;
  return result;
}

QAction* MainMenus::item(QMenu* parent, const char* name, const char* caption, int helpContext) {
  auto* action = new QAction(QString::fromUtf8(caption), &m_window);
  action->setObjectName(QString::fromLatin1(name));
  action->setProperty("helpContext", helpContext);
  parent->addAction(action);
  m_components << action;
  return action;
}

QAction* MainMenus::separator(QMenu* parent, const char* name, int helpContext) {
  QAction* action = item(parent, name, "-", helpContext);
  action->setSeparator(true);
  return action;
}

}  // namespace rowsmith::gui
