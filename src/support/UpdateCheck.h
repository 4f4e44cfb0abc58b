#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "common/DayNumber.h"

namespace rowsmith {

class PreferenceStore;
class THTTPGet;

// What the update server's answer means for the user, with the message the
// update dialog shows for it.
struct UpdateVerdict {
  enum class Kind {
    UpdateAvailable,  // the server's stamp is greater than the build stamp
    UpToDate,         // equal or smaller
    InvalidStamp,     // the product's line holds no number
    NotFound,         // no line for the product
  };

  Kind kind;
  // The text of the message box: for UpdateAvailable a question (Yes, No,
  // Cancel; Yes opens UpdateCheck::homePageURL()), otherwise plain information.
  std::string message;

  // Whether the message is shown while the dialog is hidden (the start-up
  // check): only the news of an update. A visible dialog shows every verdict.
  bool shownWhenHidden() const { return kind == Kind::UpdateAvailable; }
};

// The update check without its window: asks the update server for the list
// of current releases and judges the product's line against the build stamp,
// and keeps the date of the next automatic check.
//
// The server's address is the text value "updateServer" under the program's
// key in the machine store: a host name with an optional ":port"
// ("updates.example.com:8080", asked with http), or an address that begins
// with "http://" or "https://" (then encrypted, with the certificate
// checked), optionally with a folder after it. Without the value the address
// names a reserved domain that does not exist, so an unconfigured program
// fails quietly and sends nothing to anyone. The request is
// ADDRESS/versions.txt?application=Rowsmith&ver=2.2.
//
// The next-check date is a day number held in memory (0: never set), stored
// as the whole day nearest to it in the integer value "updateDate" of the same
// key, together with the text value "rootDir", the program's folder.
//
// How the update dialog uses it:
//  - start-up: if isDue(), create the dialog hidden and fetchPage();
//  - creation: captions through withProductName(); the date picker at
//    initialPickerDate();
//  - OK with "Don't ask me again until": postponeUntil(the picked day), close;
//  - OK with "Check web for updates now": status checkingText(), fetchPage();
//  - the getter's OnDoneString, handed to the UI thread: answerArrived(text)
//    gives the verdict to show (see UpdateVerdict::shownWhenHidden);
//  - its OnError, handed to the UI thread: status connectionErrorText() when
//    visible, otherwise close the hidden dialog.
// The main window calls loadNextCheckDate() at start-up and
// saveNextCheckDate() at its end.
//
// Threading: UI thread only (the texts come through LangString).
class UpdateCheck {
 public:
  // Today's whole day number.
  using Clock = std::function<double()>;

  static constexpr const char* kServerValue = "updateServer";
  static constexpr const char* kDateValue = "updateDate";
  static constexpr const char* kRootDirValue = "rootDir";
  static constexpr const char* kDefaultServer = "updates.example.invalid";
  // An answer puts the next automatic check off by this many days.
  static constexpr int kDaysAfterAnswer = 3;
  // The date picker starts this many days ahead when no date was set.
  static constexpr int kDaysAheadInPicker = 30;
  // The time of day the dialog's date picker holds, 22:07:28, which a picked
  // date keeps. It makes the stored next-check date the day after the date
  // picked, so the check runs again from that day.
  static constexpr double kPickerTimeOfDay = (22 * 3600 + 7 * 60 + 28) / 86400.0;

  // store must outlive the check.
  explicit UpdateCheck(PreferenceStore& store, Clock today = todayDayNumber);

  double nextCheckDate() const { return m_nextCheckDate; }
  void setNextCheckDate(double dayNumber) { m_nextCheckDate = dayNumber; }
  // Reads the stored date; 0 when the key or value is missing or not an integer.
  void loadNextCheckDate();
  // Stores the date and rootDir. A store that cannot be written is passed
  // over in silence.
  void saveNextCheckDate();

  // Whether the automatic check is due: today is the next-check date or later.
  bool isDue() const;
  // The date the dialog's picker starts with: the next-check date's day, or
  // today plus kDaysAheadInPicker when none is set.
  double initialPickerDate() const;
  // The user picked a day to be left alone until: the next-check date becomes
  // that day at the picker's time of day, and is stored at once.
  void postponeUntil(double pickedDay);

  // The server's address with its scheme and without a trailing "/".
  std::string serverAddress() const;
  std::string requestURL() const;
  // The root of the server's site, which the user is sent to for an update.
  std::string homePageURL() const;
  // Points getter at requestURL() with the product name as agent and starts
  // the transfer (nothing new while one is still running).
  void fetchPage(THTTPGet& getter) const;

  // The server's answer arrived: its verdict. Whatever it says, the next
  // automatic check is put off until today plus kDaysAfterAnswer (in memory;
  // saveNextCheckDate() stores it).
  UpdateVerdict answerArrived(std::string_view answer);
  // The verdict on the field after the product's name in the answer.
  static UpdateVerdict checkVersion(std::string_view field);

  // A query value encoded for a URL: a blank becomes "+"; letters, digits and
  // "*-._" stay; every other byte becomes "%" and two upper-case hex digits.
  static std::string URLEncode(std::string_view text);
  // A pattern of the user interface with the product name for its "%s".
  static std::string withProductName(std::string_view pattern);
  // The dialog's status line while the server is asked, and after a failure.
  static std::string checkingText();
  static std::string connectionErrorText();

 private:
  PreferenceStore& m_store;
  Clock m_today;
  double m_nextCheckDate = 0;
};

}  // namespace rowsmith
