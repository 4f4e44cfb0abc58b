#pragma once

#include <QString>

namespace rowsmith::gui {

// Help contexts: the topic numbers that windows, pages and menus carry, and
// the help page each one opens. 0 means no context of its own.
//
// Threading: constants and a pure function.
struct HelpContexts {
  static constexpr int kNone = 0;
  static constexpr int kHelpMenu = 280;
  static constexpr int kFileMenu = 290;
  static constexpr int kQueryPage = 300;
  static constexpr int kSamplePage = 310;
  static constexpr int kTransformsPage = 320;
  static constexpr int kPreviewPage = 330;
  static constexpr int kGoPage = 340;
  static constexpr int kProgressWindow = 1130;
  static constexpr int kUpdateDialog = 1350;
  static constexpr int kConnectionBuilder = 27260;
  static constexpr int kConnectionSource = 27270;
  static constexpr int kFilterEditor = 27280;

  static constexpr const char* kContentsPage = "index.html";
  static constexpr const char* kIndexPage = "keywords.html";

  // The page of a context, relative to the help folder; the contents page
  // for a context that has no page of its own.
  static QString pageOf(int context);
};

}  // namespace rowsmith::gui
