#pragma once

#include <array>

namespace rowsmith {

// A text that code fetches by number through LangString: its number in the
// language file's "global" section and its built-in English text, which is
// also the default written into the file. Texts with "%s" are patterns
// (formatPattern); a translation keeps the same placeholders in the same order.
struct NumberedText {
  int number;
  const char* text;
};

namespace texts {

// The About box's title; "%s" is the product name.
inline constexpr NumberedText kAboutTitle{190, "About %s"};
// The update dialog's status line while the server is asked.
inline constexpr NumberedText kCheckingForUpdate{300, "Checking for update...please wait"};
// The update dialog's status line when the server could not be reached.
inline constexpr NumberedText kErrorConnecting{310, "Error connecting to web site"};
// The server's stamp is not a number: the product name, then the stamp as received.
inline constexpr NumberedText kInvalidStamp{320, "%s date information found in invalid format %s"};
// A newer release exists; a question with Yes, No and Cancel. "%s" is the product name.
inline constexpr NumberedText kUpdateAvailable{
    330, "A %s update is available - would you like to download it now?"};
// The release is the newest. "%s" is the product name.
inline constexpr NumberedText kUpToDate{
    340, "You already have the latest version of %s - no download is necessary"};
// The server's answer has no line for the product. "%s" is the product name.
inline constexpr NumberedText kUpdateNotFound{350, "%s update information not found"};

// Every numbered text, in the order of their numbers.
inline constexpr std::array kAll{kAboutTitle,    kCheckingForUpdate, kErrorConnecting,
                                 kInvalidStamp,  kUpdateAvailable,   kUpToDate,
                                 kUpdateNotFound};

}  // namespace texts

}  // namespace rowsmith
