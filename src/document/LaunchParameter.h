#pragma once

#include <string>
#include <vector>

namespace rowsmith {

// What one command-line argument, or one line of a list file, asks the
// desktop program to do.
//
// A switch is "/" followed by letters and then "=" or the end of the text
// ("/F=job.rsm", "/Z=list.txt", "/X"). An absolute path such as
// /home/me/job.rsm is not a switch: like any other text that is not one, it
// is ignored. "/F=" and "/Z=" are matched without regard to letter case; the
// rest of the text is used exactly as given, however long.
//
// Threading: plain values and pure functions.
struct LaunchParameter {
  enum class Kind {
    OpenFile,  // "/F=": open the settings file `text`
    ListFile,  // "/Z=" on the command line: run the lines of the file `text`
    Invalid,   // another switch, or "/Z=" inside a list file: report `text`
    Ignored,   // not a switch: nothing happens
  };
  Kind kind = Kind::Ignored;
  // The path for OpenFile and ListFile; the whole argument for Invalid.
  std::string text;

  // Classifies a command-line argument (fromListFile false) or a line of a
  // list file (fromListFile true, where "/Z=" does not nest).
  static LaunchParameter classify(const std::string& argument, bool fromListFile);

  // The message shown for an invalid switch.
  static std::string invalidMessage(const std::string& argument);

  // The non-empty lines of a list file (lines end at CR LF, CR or LF).
  // Raises rowsmith::Error "Cannot open file %s" when it cannot be read.
  static std::vector<std::string> readListFile(const std::string& path);
};

}  // namespace rowsmith
