#pragma once

#include <QObject>
#include <functional>

class QModelIndex;
class QWidget;

namespace rowsmith {
class TRecentStrings;
namespace wordmill {
class FilterApplication;
}
}  // namespace rowsmith

namespace rowsmith::gui {

class FileDialogComponent;
class TransformsPage;

// What the transforms page does: Browse and Edit for a row, Clear, Copy to
// all, and the recent filter files that the grid's drop-down lists offer.
// Every change marks the job modified; so does moving the current cell, and
// entering a filter cell puts its text first in the recent filter files.
//
// Threading: UI thread only.
class TransformCommands : public QObject {
  Q_OBJECT

 public:
  using Changed = std::function<void()>;
  using Server = std::function<wordmill::FilterApplication*()>;

  TransformCommands(QWidget& window, TransformsPage& page, TRecentStrings& filterFiles,
                    FileDialogComponent& browseFilter, Server server, Changed changed);

  void browse(int row);
  void edit(int row);
  void clearAllClick();
  void copyToAllClick();
  void transformGridCellChanged(const QModelIndex& current, const QModelIndex& previous);

 private:
  QWidget& m_window;
  TransformsPage& m_page;
  TRecentStrings& m_filterFiles;
  FileDialogComponent& m_browseFilter;
  Server m_server;
  Changed m_changed;
};

}  // namespace rowsmith::gui
