#pragma once

#include <QObject>
#include <QPointer>
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
  // Waits until every task has ended (at program exit).
  static void waitForAll();

 private:
  static void startRaw(std::function<void()> work, QObject* context, std::function<void()> done);
};

}  // namespace rowsmith::gui
