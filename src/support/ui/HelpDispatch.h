#pragma once

#include <QString>
#include <QUrl>
#include <functional>

class QObject;

namespace rowsmith::gui {

class HelpBrowser;

// Every request for help ends here: topics by context, the contents and
// the index in the help window, and documents and web pages in the user's
// own viewer or browser. The Help menu's items, the help tool button and
// the About box's buttons say what they want by their "tag" property.
//
// Threading: UI thread only.
class HelpDispatch {
 public:
  // Opens a document or web page; the real one is QDesktopServices.
  using Opener = std::function<bool(const QUrl&)>;
  // Installs an opener (tests record what would be opened); an empty one
  // restores QDesktopServices.
  static void setOpener(Opener opener);

  static void ShowHelpContext(int context);
  static void ShowHelpContents();
  static void ShowHelpIndex();
  // By the sender's tag: 0 contents, 4 Products.Txt beside the program,
  // 6 the product page, 7 the maker's home page, 8 support, 9 the index,
  // 10 the update list; any other tag does nothing.
  static void Usermanual1Click(QObject* sender);
  // An About box button: 3 (web site) gives tag 7, 4 (other products) tag
  // 4, anything else tag 0; the tag is stored in the sender and dispatched.
  static void onAboutButton(QObject* sender, int code);
  // A local path or a web address, opened with the user's default program.
  static bool ShellOpen(const QString& target);

  // The help window, once a request has opened it.
  static HelpBrowser* browser();
  static QString helpFolder();
};

}  // namespace rowsmith::gui
