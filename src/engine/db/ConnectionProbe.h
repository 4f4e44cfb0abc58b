#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace rowsmith::db {

// Tries a connection string on a thread of its own: connects, notes what
// it reached or the error, and closes the connection again. Nothing is read
// or written. The caller polls state(); the thread that made the probe is
// never held up, however long the database takes to answer.
//
// A probe that has not ended within its time limit reports TimedOut. A
// database that does not answer at all cannot be interrupted, so the worker
// may outlive the probe: it shares only a small state block with it, and
// when the probe is destroyed first the worker ends on its own and its
// outcome is dropped.
//
// A worker may even outlive everything else, and the process must not run
// its exit handlers and static destructors while a worker is still inside
// a database's client library. Every worker is therefore counted until it
// has ended, process-wide: the program's exit path calls
// waitForAllWorkers(), and ends the process at once (std::_Exit) when some
// are still connecting (see ProcessExit.h).
//
// Threading: the probe belongs to the thread that made it; its worker
// touches only the shared state block, under that block's mutex, and the
// process-wide list of workers, under that list's mutex.
// waitForAllWorkers() may be called from any thread.
class ConnectionProbe {
 public:
  enum class State { Connecting, Succeeded, Failed, TimedOut };
  static constexpr std::chrono::seconds kDefaultTimeLimit{30};

  explicit ConnectionProbe(const std::string& connectionString,
                           std::chrono::milliseconds timeLimit = kDefaultTimeLimit);
  ~ConnectionProbe();
  ConnectionProbe(const ConnectionProbe&) = delete;
  ConnectionProbe& operator=(const ConnectionProbe&) = delete;

  // The outcome when there is one (even after the time limit), else
  // TimedOut once the limit has passed, else Connecting.
  State state() const;
  // Succeeded: what the connection reached ("SQLite database "/x.db"");
  // Failed: the error's message; TimedOut: that the database did not answer
  // in time.
  std::string message() const;

  // Waits at most `limit` for the worker to end; whether it did. For tests
  // and for callers that must not leave a worker behind.
  bool waitForWorker(std::chrono::milliseconds limit) const;

  // Waits at most `limit` for the workers of every probe, dropped ones too,
  // to end; whether they all did. For the program's exit path.
  static bool waitForAllWorkers(std::chrono::milliseconds limit);

 private:
  struct Shared;
  std::shared_ptr<Shared> m_shared;
  std::chrono::steady_clock::time_point m_deadline;
  std::chrono::milliseconds m_timeLimit;
};

}  // namespace rowsmith::db
