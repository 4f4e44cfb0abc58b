#include "shell/RecentFilesMenu.h"

#include <QAction>
#include <QMenu>

#include "document/RecentStrings.h"

namespace rowsmith::gui {

RecentFilesMenu::RecentFilesMenu(QMenu& menu, const TRecentStrings& list, Chosen chosen)
    : QObject(&menu), m_menu(menu), m_list(list), m_chosen(std::move(chosen)) {}

QString RecentFilesMenu::caption(int number, const std::string& path) {
  const QString key = number <= 9 ? QString::number(number) : QString(QChar('A' + number - 10));
  return QStringLiteral("&%1\t%2").arg(key, QString::fromStdString(path));
}

void RecentFilesMenu::rebuild() {
  m_menu.clear();
  int number = 0;
  for (const std::string& path : m_list.entries()) {
    QAction* item = m_menu.addAction(caption(++number, path));
    item->setStatusTip(QString::fromStdString(path));
    connect(item, &QAction::triggered, this, [this, path] { m_chosen(path); });
  }
  m_menu.setEnabled(!m_menu.isEmpty());
}

}  // namespace rowsmith::gui
