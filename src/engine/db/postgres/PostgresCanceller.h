#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "engine/db/postgres/PostgresHandles.h"

namespace rowsmith::db {

// Interrupts, from another thread, the statement that a connection or one of
// its record sets waits on (a Cancel button, Ctrl+C): cancel() sends the
// server a cancel request (PQcancel) for the statement of the open Window,
// if there is one, and is remembered, so that the owning thread asks
// requested() before it starts the next statement and gives up instead.
//
// Only statements inside a Window are ever interrupted: a reading statement,
// or a row's write once it has kept the server busy for a moment (waiting
// for a lock), when its savepoint is long set. BEGIN, COMMIT and ROLLBACK
// never are, but those of groups of rows in a pipeline, whose rows are then
// written again one by one; so a cancel undoes no more than the row in hand.
//
// Threading: cancel() and requested() may be called from any thread; windows
// are opened only by the thread that owns the connections.
class PostgresCanceller {
 public:
  PostgresCanceller() = default;
  PostgresCanceller(const PostgresCanceller&) = delete;
  PostgresCanceller& operator=(const PostgresCanceller&) = delete;

  // While a window lives, cancel() interrupts what runs on `connection`. A
  // cancel asked for before the window opened is sent as it opens (for a
  // statement already sent; before sending one, ask requested()). A null
  // canceller makes an inert window.
  class Window {
   public:
    Window(PostgresCanceller* canceller, PGconn* connection);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

   private:
    PostgresCanceller* m_canceller;
  };

  void cancel() noexcept;
  bool requested() const noexcept { return m_requested.load(); }
  // Whether `result` is the failure of a statement that cancel() interrupted.
  bool interrupted(const PGresult* result) const;

 private:
  void sendLocked() noexcept;

  std::atomic<bool> m_requested{false};
  std::mutex m_mutex;
  // The open window's cancel object; guarded by m_mutex.
  PGcancel* m_open = nullptr;
};

}  // namespace rowsmith::db
