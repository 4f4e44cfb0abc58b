#include "engine/db/postgres/PostgresCanceller.h"

#include <cstring>

namespace rowsmith::db {

namespace {

// SQLSTATE of "canceling statement due to user request".
constexpr const char* kQueryCanceled = "57014";

}  // namespace

PostgresCanceller::Window::Window(PostgresCanceller* canceller, PGconn* connection)
    : m_canceller(canceller) {
  if (!m_canceller) return;
  PGcancel* cancel = PQgetCancel(connection);
  std::lock_guard lock(m_canceller->m_mutex);
  m_canceller->m_open = cancel;
  if (m_canceller->requested()) m_canceller->sendLocked();
}

PostgresCanceller::Window::~Window() {
  if (!m_canceller) return;
  std::lock_guard lock(m_canceller->m_mutex);
  if (m_canceller->m_open) PQfreeCancel(m_canceller->m_open);
  m_canceller->m_open = nullptr;
}

void PostgresCanceller::cancel() noexcept {
  std::lock_guard lock(m_mutex);
  if (m_requested.exchange(true)) return;
  sendLocked();
}

void PostgresCanceller::sendLocked() noexcept {
  if (!m_open) return;
  char error[256];
  // A request that does not arrive leaves the statement to its lock timeout.
  PQcancel(m_open, error, sizeof error);
}

bool PostgresCanceller::interrupted(const PGresult* result) const {
  if (!requested() || !result) return false;
  const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
  return state && std::strcmp(state, kQueryCanceled) == 0;
}

}  // namespace rowsmith::db
