#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/RunObserver.h"

namespace rowsmith::cli {

// The runner's view of a run. The worker's calls only store what they
// bring (the latest status wins); the thread that waits for the run draws
// it at most ten times a second: on a terminal a progress bar with rows,
// rate and time left, otherwise a plain status line at most twice a second.
// So a slow terminal never slows the run down.
//
// Threading: the RunObserver calls come from the worker's thread; every
// other member is for the one thread that waits for the run.
class ProgressDisplay : public RunObserver {
 public:
  // Draws on file descriptor `fd`; `terminal` picks the progress bar.
  ProgressDisplay(int fd, bool terminal);

  void showStatus(const std::string& text) override;
  void showProgress(int percent) override;
  void attachThread(const std::shared_ptr<TDataThread>& thread) override;
  void showNotice(const std::string& text) override;
  void setFinished() override;
  void showError(const RunErrorReport& report) override;
  void releaseSettings(std::unique_ptr<TSettings> settings) override;
  void rowDone(long long applied, long long total) override;
  void showJournal(const std::string& path, long long rows) override;

  // Waits up to `timeout` for the run to end (its clean-up has begun);
  // true when it has.
  bool waitForEnd(std::chrono::milliseconds timeout);
  // Draws the current state if it is time to.
  void draw();
  // Clears the progress bar, leaving the line for the final text.
  void clear();

  bool finished() const;
  std::optional<RunErrorReport> error() const;
  std::string lastStatus() const;
  std::vector<std::string> notices() const;
  // The run's undo journal and its rows; empty when it kept none.
  std::string journalPath() const;
  long long journalRows() const;

 private:
  std::string barLine(const std::string& status, long long row, long long total) const;
  void writeOut(const std::string& text) const;

  const int m_fd;
  const bool m_terminal;
  const std::chrono::steady_clock::time_point m_started;

  mutable std::mutex m_mutex;
  std::condition_variable m_ended;
  // Guarded by m_mutex.
  std::string m_status;
  std::optional<RunErrorReport> m_error;
  std::vector<std::string> m_notices;
  std::string m_journalPath;
  long long m_journalRows = 0;
  bool m_finished = false;
  bool m_over = false;

  std::atomic<long long> m_row{0};
  std::atomic<long long> m_total{0};
  std::atomic<int> m_percent{-1};
  // steady_clock ticks when the first row was done.
  std::atomic<long long> m_firstRowTicks{0};

  // Used by the drawing thread only.
  std::string m_shownStatus;
  std::chrono::steady_clock::time_point m_lastDrawn{};
  bool m_barShown = false;
};

}  // namespace rowsmith::cli
