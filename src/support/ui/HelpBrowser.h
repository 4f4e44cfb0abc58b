#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;
class QPushButton;

namespace rowsmith::gui {

// The help window: shows the program's HTML help pages, with buttons for
// the contents, the index, back and forward. One window serves every help
// request; a page that is missing is named in the window instead.
//
// Threading: UI thread only.
class HelpBrowser : public QWidget {
  Q_OBJECT

 public:
  // folder: where the help pages are.
  explicit HelpBrowser(const QString& folder, QWidget* parent = nullptr);

  // Shows a page given relative to the help folder ("page-go.html",
  // "main-window.html#file-menu") and raises the window.
  void showPage(const QString& page);
  // The page shown, relative to the help folder, without its anchor.
  QString currentPage() const;
  QTextBrowser* view() const { return m_view; }

 private:
  QString m_folder;
  QTextBrowser* m_view;
  QPushButton* m_back;
  QPushButton* m_forward;
};

}  // namespace rowsmith::gui
