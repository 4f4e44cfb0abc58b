#pragma once

#include <QString>

namespace rowsmith::gui {

// The web pages the program opens in the user's browser, all in one place.
// The maker's site lives under a reserved example domain until the project
// has a real one, so no request ever reaches a stranger's server.
//
// Threading: pure functions.
struct WebAddresses {
  static QString site();
  // The product page and the maker's home page carry a "referrer" tag that
  // names this program.
  static QString productPage();
  static QString homePage();
  static QString supportPage();
  static QString subscribePage();
  // Where start-up sends a user whose filter engine cannot be reached.
  static QString filterEnginePage();
};

}  // namespace rowsmith::gui
