#pragma once

#include <QObject>
#include <functional>
#include <string>

class QMenu;

namespace rowsmith {
class TRecentStrings;
}

namespace rowsmith::gui {

// The "Recent files" submenu: one item per entry of the list, most recent
// first, captioned "&1" … "&9", "&A", a tab and the path, with the path as
// its hint. The submenu is enabled exactly when it has items.
//
// Threading: UI thread only.
class RecentFilesMenu : public QObject {
  Q_OBJECT

 public:
  using Chosen = std::function<void(const std::string& path)>;

  RecentFilesMenu(QMenu& menu, const TRecentStrings& list, Chosen chosen);

  // Rebuilds the items from the list.
  void rebuild();
  // The caption of item n (from 1).
  static QString caption(int number, const std::string& path);

 private:
  QMenu& m_menu;
  const TRecentStrings& m_list;
  Chosen m_chosen;
};

}  // namespace rowsmith::gui
