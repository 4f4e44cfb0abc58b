#pragma once

#include <QString>

class QPushButton;
class QWidget;

namespace rowsmith::gui {

// A push button of the connection dialogs: named for tests and the
// language file, never default by itself, and at least 75 by 25 pixels
// with room around a longer caption.
//
// Threading: UI thread only.
QPushButton* makeDialogButton(const QString& caption, const char* name, QWidget* parent);

}  // namespace rowsmith::gui
