#pragma once

#include <QString>

namespace rowsmith::gui {

// A text document that ships with the program (the release notes, the
// licence), as the About box shows it. It is read afresh on every call, so
// an edited file shows its new text: from the current folder when the file
// is there, else the program's own copy (see resourcePath), since a program
// started from the desktop runs in the home folder. RTF is shown as its
// plain text (RtfText), anything else as UTF-8 text.
//
// Threading: safe from any thread (it only reads files).
class ShippedDocument {
 public:
  // The document's text, or "Cannot open file NAME" when no copy of it can
  // be read.
  static QString read(const QString& name);
};

}  // namespace rowsmith::gui
