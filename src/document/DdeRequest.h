#pragma once

#include <optional>
#include <string>

namespace rowsmith {

// The execute requests another program can send to a running desktop
// program: the text [FileOpen("PATH")] opens the settings file PATH.
//
// Threading: pure functions.
struct DdeRequest {
  // The prefix every request starts with, compared with its case.
  static constexpr const char* kFileOpenPrefix = "[FileOpen(\"";

  // The path named by a request text, or nothing when the text does not
  // start with the prefix. The path runs from after the prefix to the next
  // double quote, or to the end of the text when no quote follows; what
  // comes after the quote is not looked at. The whole path is used, however
  // long: a shortened path would name another file.
  static std::optional<std::string> fileOpenPath(const std::string& text);

  // The message shown for a request that is not understood.
  static std::string invalidMessage(const std::string& text);
};

}  // namespace rowsmith
