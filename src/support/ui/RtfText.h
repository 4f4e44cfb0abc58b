#pragma once

#include <QByteArray>
#include <QString>

namespace rowsmith::gui {

// The text of an RTF document, for showing it in a plain text box: the
// paragraphs and line breaks of the document become line breaks; tabs,
// escaped characters (\\ \{ \}), hexadecimal bytes (\'e9, read as
// Windows-1252) and Unicode characters (\u233 with its fallback skipped)
// are kept; groups that hold no text of the document (font and colour
// tables, style sheets, document information, pictures, and every "\*"
// destination) are left out, as are formatting commands.
//
// Threading: pure functions; safe from any thread.
class RtfText {
 public:
  // Whether bytes are an RTF document: they begin with "{\rtf".
  static bool isRtf(const QByteArray& bytes);
  static QString toPlainText(const QByteArray& rtf);
};

}  // namespace rowsmith::gui
