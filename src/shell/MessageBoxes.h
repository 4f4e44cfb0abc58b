#pragma once

#include <QString>
#include <functional>
#include <string>

#include "shell/DialogService.h"

class QWidget;

namespace rowsmith::gui {

// The program's standard boxes, shown through DialogService. Their caption
// is the application title, which the main window keeps equal to its own
// title ("Rowsmith" until it has one).
//
// Threading: UI thread only.
class MessageBoxes {
 public:
  static QString applicationTitle();
  static void setApplicationTitle(const QString& title);

  // The standard error box: the message with a full stop added when its
  // last character sorts after the full stop, an error icon, OK.
  static void showError(QWidget* parent, const std::string& message);
  // A plain box: no icon, OK.
  static void showPlain(QWidget* parent, const std::string& text);
  // "Save current settings?" with Yes, No and Cancel.
  static DialogService::Answer askSaveCurrentSettings(QWidget* parent);

  // Runs a command; an error it raises is shown in the standard error box
  // (a silent abort is not shown). Returns whether it ended without error.
  static bool runGuarded(QWidget* parent, const std::function<void()>& command);
};

}  // namespace rowsmith::gui
