#pragma once

#include <QString>

class QObject;

namespace rowsmith::gui {

// The string properties a component shows, by the names the language file
// uses: "Caption" (a window's or tab page's title, a button's, label's,
// group box's, menu's or action's text), "Title" and "Filter" (file
// dialogs), "Hint" (status bar and tool tip text) and "Text" (the contents
// of an edit field or editable drop-down). Line breaks read as CR LF, as
// the language file stores them. A property a component does not have
// reads as empty text, and setting it does nothing.
//
// Threading: UI thread only.
class ComponentText {
 public:
  static QString read(const QObject* component, const QString& property);
  static void write(QObject* component, const QString& property, const QString& text);
};

}  // namespace rowsmith::gui
