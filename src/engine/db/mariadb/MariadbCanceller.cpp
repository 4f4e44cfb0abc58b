#include "engine/db/mariadb/MariadbCanceller.h"

#include <mysqld_error.h>

#include <string>

#include "common/Error.h"
#include "engine/db/mariadb/MariadbError.h"

namespace rowsmith::db {

MariadbCanceller::Window::Window(MariadbCanceller* canceller, MYSQL* connection)
    : m_canceller(canceller) {
  if (!m_canceller) return;
  std::lock_guard lock(m_canceller->m_mutex);
  m_canceller->m_open = mysql_thread_id(connection);
}

MariadbCanceller::Window::~Window() {
  if (!m_canceller) return;
  std::lock_guard lock(m_canceller->m_mutex);
  m_canceller->m_open = 0;
}

void MariadbCanceller::cancel() noexcept {
  m_requested = true;
  std::lock_guard lock(m_mutex);
  killLocked();
}

void MariadbCanceller::killLocked() noexcept {
  if (m_open == 0) return;
  try {
    MysqlPtr killer = m_info.open();
    execMariadb(killer.get(), "KILL QUERY " + std::to_string(m_open), "Cannot cancel");
  } catch (const std::exception&) {
    // The statement runs on; requested() still stops what would follow it.
  }
}

bool MariadbCanceller::interrupted(unsigned int error) const {
  return m_requested && (error == ER_QUERY_INTERRUPTED || error == ER_STATEMENT_TIMEOUT);
}

}  // namespace rowsmith::db
