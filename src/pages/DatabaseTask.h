#pragma once

#include <QObject>
#include <QPointer>
#include <chrono>
#include <functional>
#include <memory>

namespace rowsmith::gui {

// Runs one piece of database work on a thread of its own, so that the
// window keeps painting and answering while a database connects or
// answers, and hands the result back on the UI thread. A wait cursor shows
// meanwhile. When `context` is destroyed before the work ends, the result
// is dropped.
//
// Each task opens and closes its own connection: a connection belongs to
// the thread that made it.
//
// Threading: start() on the UI thread; the work runs on its own thread and
// must not touch any window; `done` runs on the UI thread.
class DatabaseTask {
 public:
  template <typename Result>
  static void start(QObject* context, std::function<Result()> work,
                    std::function<void(Result&)> done) {
    auto result = std::make_shared<Result>();
    startRaw([work, result] { *result = work(); }, context, [done, result] { done(*result); });
  }

  // Number of tasks still running.
  static int running();
  // Waits at most `limit` for every task to end (at program exit); whether
  // they all did. A task still running hands its result to the application
  // object when it ends: the process must then end before that object goes
  // (a task stuck on a database that does not answer is left behind).
  static bool waitForAll(std::chrono::milliseconds limit);

 private:
  static void startRaw(std::function<void()> work, QObject* context, std::function<void()> done);
};

}  // namespace rowsmith::gui
