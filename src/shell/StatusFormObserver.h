#pragma once

#include <QPointer>
#include <memory>

#include "engine/RunObserver.h"

namespace rowsmith::gui {

class TTstatusForm;

// Shows a run in its progress window. The calls the worker must wait for
// (attaching, an error, the end) run on the UI thread while the worker
// waits. Status, progress and row counts are handed over without waiting:
// the latest values are kept and shown at most about twenty times a
// second, so the run's speed never depends on the screen; the last texts of
// a run are always shown. After the window has been closed nothing reaches
// it any more.
//
// Threading: the RunObserver calls come from the worker's thread; the
// constructor runs on the UI thread.
class StatusFormObserver : public RunObserver {
 public:
  explicit StatusFormObserver(TTstatusForm* form);
  ~StatusFormObserver() override;

  void showStatus(const std::string& text) override;
  void showProgress(int percent) override;
  void rowDone(long long applied, long long total) override;
  void attachThread(const std::shared_ptr<TDataThread>& thread) override;
  void showNotice(const std::string& text) override;
  void showJournal(const std::string& path, long long rows) override;
  void setFinished() override;
  void showError(const RunErrorReport& report) override;
  void releaseSettings(std::unique_ptr<TSettings> settings) override;

 private:
  struct Shared;
  void post();
  std::shared_ptr<Shared> m_shared;
};

}  // namespace rowsmith::gui
