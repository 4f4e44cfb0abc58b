#include "shell/StatusFormObserver.h"

#include <QApplication>
#include <QString>
#include <QTimer>
#include <mutex>
#include <optional>

#include "document/Settings.h"
#include "engine/DataThread.h"
#include "shell/MessageBoxes.h"
#include "shell/StatusForm.h"

namespace rowsmith::gui {

namespace {

constexpr int kShowIntervalMs = 50;

// Runs `call` on the UI thread and waits until it has run.
template <typename Call>
void onUiThread(Call call) {
  QMetaObject::invokeMethod(qApp, std::move(call), Qt::BlockingQueuedConnection);
}

}  // namespace

struct StatusFormObserver::Shared {
  QPointer<TTstatusForm> form;  // read and written on the UI thread only

  std::mutex mutex;
  // guarded by mutex: the latest values not yet shown
  std::optional<std::string> status;
  std::optional<int> percent;
  long long row = -1;
  long long total = 0;
  bool scheduled = false;

  // UI thread: shows what has come in since the last time.
  void flush() {
    std::optional<std::string> text;
    std::optional<int> shownPercent;
    long long rows = -1;
    long long all = 0;
    {
      std::lock_guard lock(mutex);
      text.swap(status);
      shownPercent.swap(percent);
      rows = row;
      all = total;
      row = -1;
    }
    if (!form) return;
    if (text) form->showStatus(QString::fromStdString(*text));
    if (shownPercent) form->showProgress(*shownPercent);
    if (rows >= 0) form->showRows(rows, all);
  }

  bool dirty() {
    std::lock_guard lock(mutex);
    return status || percent || row >= 0;
  }
};

StatusFormObserver::StatusFormObserver(TTstatusForm* form) : m_shared(std::make_shared<Shared>()) {
  m_shared->form = form;
}

StatusFormObserver::~StatusFormObserver() = default;

void StatusFormObserver::post() {
  {
    std::lock_guard lock(m_shared->mutex);
    if (m_shared->scheduled) return;
    m_shared->scheduled = true;
  }
  std::shared_ptr<Shared> shared = m_shared;
  // Not waited for: the worker goes on at once.
  QMetaObject::invokeMethod(
      qApp,
      [shared] {
        shared->flush();
        // Whatever arrives in the next moment is shown together.
        QTimer::singleShot(kShowIntervalMs, qApp, [shared] {
          {
            std::lock_guard lock(shared->mutex);
            shared->scheduled = false;
          }
          if (shared->dirty()) {
            shared->flush();
          }
        });
      },
      Qt::QueuedConnection);
}

void StatusFormObserver::showStatus(const std::string& text) {
  {
    std::lock_guard lock(m_shared->mutex);
    m_shared->status = text;
  }
  post();
}

void StatusFormObserver::showProgress(int percent) {
  {
    std::lock_guard lock(m_shared->mutex);
    m_shared->percent = percent;
  }
  post();
}

void StatusFormObserver::rowDone(long long applied, long long total) {
  std::lock_guard lock(m_shared->mutex);
  m_shared->row = applied;
  m_shared->total = total;
}

void StatusFormObserver::attachThread(const std::shared_ptr<TDataThread>& thread) {
  std::shared_ptr<Shared> shared = m_shared;
  onUiThread([shared, thread] {
    if (shared->form)
      shared->form->attachThread(thread);
    else
      thread->Terminate();  // the window was closed before the run began
  });
}

void StatusFormObserver::showNotice(const std::string& text) {
  std::shared_ptr<Shared> shared = m_shared;
  // Once a run at most: waiting for it costs nothing.
  onUiThread([shared, text] {
    if (shared->form) shared->form->showNotice(QString::fromStdString(text));
  });
}

void StatusFormObserver::showJournal(const std::string& path, long long rows) {
  std::shared_ptr<Shared> shared = m_shared;
  onUiThread([shared, path, rows] {
    if (shared->form) shared->form->showJournal(QString::fromStdString(path), rows);
  });
}

void StatusFormObserver::setFinished() {
  std::shared_ptr<Shared> shared = m_shared;
  onUiThread([shared] {
    shared->flush();
    if (shared->form) shared->form->setFinished();
  });
}

void StatusFormObserver::showError(const RunErrorReport& report) {
  std::shared_ptr<Shared> shared = m_shared;
  onUiThread([shared, report] {
    shared->flush();
    if (shared->form) shared->form->setFailed();
    DialogService::instance().showMessage(shared->form, DialogService::Kind::Error,
                                          MessageBoxes::applicationTitle(),
                                          QString::fromStdString(report.text));
  });
}

void StatusFormObserver::releaseSettings(std::unique_ptr<TSettings> settings) {
  // The run's own copy of the job is not needed afterwards.
  settings.reset();
}

}  // namespace rowsmith::gui
