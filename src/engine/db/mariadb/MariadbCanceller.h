#pragma once

#include <atomic>
#include <mutex>

#include "engine/db/mariadb/MariadbConnectionInfo.h"
#include "engine/db/mariadb/MariadbHandles.h"

namespace rowsmith::db {

// Interrupts, from another thread, the statement that a connection or one of
// its record sets waits on (a Cancel button, Ctrl+C): cancel() opens a short
// connection of its own and sends KILL QUERY for the statement of the open
// Window, if there is one, and is remembered, so that the owning thread asks
// requested() before it starts the next statement and gives up instead.
//
// Only statements inside a Window are ever interrupted: a reading
// statement, or a row's UPDATE. START TRANSACTION and COMMIT never are, so a
// cancel undoes no more than the row in hand.
//
// Threading: cancel() and requested() may be called from any thread;
// windows are opened only by the thread that owns the connections.
class MariadbCanceller {
 public:
  explicit MariadbCanceller(MariadbConnectionInfo info) : m_info(std::move(info)) {}
  MariadbCanceller(const MariadbCanceller&) = delete;
  MariadbCanceller& operator=(const MariadbCanceller&) = delete;

  // While a window lives, cancel() interrupts what runs on `connection`. A
  // null canceller makes an inert window.
  class Window {
   public:
    Window(MariadbCanceller* canceller, MYSQL* connection);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

   private:
    MariadbCanceller* m_canceller;
  };

  void cancel() noexcept;
  bool requested() const noexcept { return m_requested.load(); }
  // Whether `error` is that of a statement that cancel() interrupted.
  bool interrupted(unsigned int error) const;

 private:
  void killLocked() noexcept;

  MariadbConnectionInfo m_info;
  std::atomic<bool> m_requested{false};
  std::mutex m_mutex;
  // The server's thread id of the open window's connection, or 0; guarded
  // by m_mutex.
  unsigned long m_open = 0;
};

}  // namespace rowsmith::db
