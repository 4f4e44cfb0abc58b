// Database work on a thread of its own: the program's exit waits for it only
// so long.
#include <QTest>
#include <chrono>
#include <future>

#include "pages/DatabaseTask.h"

using namespace std::chrono_literals;
using rowsmith::gui::DatabaseTask;

class DatabaseTaskTest : public QObject {
  Q_OBJECT

 private slots:
  void theWaitForTasksEndsAtItsLimit();
};

// Work stuck on a database is not waited for past the limit; once it ends,
// the wait succeeds and its result still reaches the window.
void DatabaseTaskTest::theWaitForTasksEndsAtItsLimit() {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  QObject window;
  int result = 0;
  DatabaseTask::start<int>(
      &window,
      [released] {
        released.wait();
        return 42;
      },
      [&result](int& value) { result = value; });
  QCOMPARE(DatabaseTask::running(), 1);
  QVERIFY(!DatabaseTask::waitForAll(100ms));

  release.set_value();
  QVERIFY(DatabaseTask::waitForAll(30s));
  QCOMPARE(DatabaseTask::running(), 0);
  QTRY_COMPARE(result, 42);
}

QTEST_MAIN(DatabaseTaskTest)
#include "DatabaseTaskTest.moc"
