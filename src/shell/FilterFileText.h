#pragma once

#include <QString>
#include <string>

namespace rowsmith::gui {

// The bytes of a filter file as the editor shows them, and back: line
// breaks become "\n" while editing and are written back as the file had
// them (CR LF when it had any), a byte-order mark is kept, and a file that
// is not UTF-8 text (or holds NUL bytes) is marked so that the editor shows
// it without letting it be changed, since writing it back would alter its
// bytes.
//
// Threading: a value; any thread.
struct FilterFileText {
  static FilterFileText fromBytes(const std::string& bytes);
  // The file's bytes for an edited text.
  std::string toBytes(const QString& edited) const;

  QString text;
  bool byteOrderMark = false;
  bool crLf = false;
  bool editable = true;
};

}  // namespace rowsmith::gui
