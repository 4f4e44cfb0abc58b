#include "pages/DatabaseTask.h"

#include <QApplication>
#include <QCursor>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace rowsmith::gui {

namespace {

std::mutex g_mutex;
std::condition_variable g_ended;
int g_running = 0;  // guarded by g_mutex

}  // namespace

int DatabaseTask::running() {
  std::lock_guard lock(g_mutex);
  return g_running;
}

bool DatabaseTask::waitForAll(std::chrono::milliseconds limit) {
  std::unique_lock lock(g_mutex);
  return g_ended.wait_for(lock, limit, [] { return g_running == 0; });
}

void DatabaseTask::startRaw(std::function<void()> work, QObject* context,
                            std::function<void()> done) {
  {
    std::lock_guard lock(g_mutex);
    ++g_running;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QPointer<QObject> target(context);
  std::thread([work = std::move(work), done = std::move(done), target] {
    try {
      work();
    } catch (...) {
      // The work reports its errors in its result; nothing may escape a thread.
    }
    // Handed to the application object, which outlives every window; the
    // context is checked there, on the UI thread.
    QMetaObject::invokeMethod(
        qApp,
        [done, target] {
          QApplication::restoreOverrideCursor();
          if (target) done();
        },
        Qt::QueuedConnection);
    std::lock_guard lock(g_mutex);
    --g_running;
    g_ended.notify_all();
  }).detach();
}

}  // namespace rowsmith::gui
