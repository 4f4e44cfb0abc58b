#pragma once

#include <memory>
#include <string>

namespace rowsmith {

class TDataThread;
class TSettings;

// An error that ended a run, as the worker reports it: the kind of error,
// its message, and the whole report text ("Exception %s in module %s at
// %p." and the message on a second line) that a person is shown.
struct RunErrorReport {
  std::string className;
  std::string message;
  std::string text;
};

// Whoever shows a run to the user: the runner's progress display, the
// desktop program's progress window. The worker reports every step through
// it and goes on only when a call has returned.
//
// Threading: every call comes from the worker's thread. An observer that
// shows things on another thread (a UI thread) hands each call over and
// waits for it, as a synchronous call would; status that comes faster than
// a person can read may be coalesced there (the last text wins; the final
// texts of a run are always shown). An observer must not keep the worker
// waiting on a repaint: the run's speed must not depend on it.
class RunObserver {
 public:
  virtual ~RunObserver() = default;

  // A status text: the step the run is in, or the row it has just handled.
  virtual void showStatus(const std::string& text) = 0;
  // The percentage of rows applied (see rowDone), when the total is known.
  // May exceed 100 when more rows turn up than were announced.
  virtual void showProgress(int percent) = 0;
  // The worker has compiled its filters and can now be cancelled through
  // `thread` (Terminate). The reference keeps the worker object alive; it
  // stays valid after the run has ended.
  virtual void attachThread(const std::shared_ptr<TDataThread>& thread) = 0;
  // A remark on the outcome that the user should read, such as values a
  // filter left as they were. Comes after the rows, before setFinished.
  virtual void showNotice(const std::string& text) { (void)text; }
  // The run kept an undo journal at `path` with `rows` rows in it. Comes
  // after the rows (also after an error, before showError), before
  // setFinished.
  virtual void showJournal(const std::string& path, long long rows) {
    (void)path;
    (void)rows;
  }
  // The run has ended normally or after a cancel; its last status text is
  // the completion or termination text. Not called after an error.
  virtual void setFinished() = 0;
  // The run has ended with an error. Not called for a silent abort.
  virtual void showError(const RunErrorReport& report) = 0;
  // The run no longer needs its job; the observer may keep or drop it.
  virtual void releaseSettings(std::unique_ptr<TSettings> settings) = 0;
  // Called after each handled row, before its status text, with how many
  // rows are applied and the announced total (below 1 when unknown). A row
  // is applied once the database holds its changes (their group is
  // committed) or when it needed none, so the count may lag the row in hand
  // by a group, never run ahead of the database. showProgress follows the
  // same count. A display that shows counts and rates uses it instead of
  // reading the status text.
  virtual void rowDone(long long applied, long long total) {
    (void)applied;
    (void)total;
  }
};

}  // namespace rowsmith
