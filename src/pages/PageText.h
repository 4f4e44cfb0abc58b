#pragma once

#include <QString>
#include <string>

class QWidget;

namespace rowsmith::gui {

// Small helpers the pages share.
//
// Threading: UI thread only (setHint); the others are pure functions.

// Gives a control its hint: the status bar text and the tool tip.
void setHint(QWidget* widget, const char* hint);
// A multi-line text as a job stores it: every line break as CR LF.
std::string storedLineBreaks(const QString& text);
// A stored text for a text box: CR LF and lone CR as line breaks.
QString shownLineBreaks(const std::string& text);

}  // namespace rowsmith::gui
