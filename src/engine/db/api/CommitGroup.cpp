#include "engine/db/api/CommitGroup.h"

#include <utility>

namespace rowsmith::db {

namespace {

std::string rowsText(long long rows) {
  return rows == 1 ? std::string("the row") : "the " + std::to_string(rows) + " rows";
}

}  // namespace

void CommitGroup::rowWritten(std::string key) {
  m_lastWritten = std::move(key);
  ++m_openRows;
}

void CommitGroup::rowsWritten(long long rows, std::string lastKey) {
  if (rows <= 0) return;
  m_lastWritten = std::move(lastKey);
  m_openRows += rows;
}

void CommitGroup::committed() {
  if (m_openRows == 0) return;
  m_lastKept = m_lastWritten;
  m_anyKept = true;
  m_keptRows += m_openRows;
  m_openRows = 0;
}

std::string CommitGroup::rolledBack() {
  const long long rows = std::exchange(m_openRows, 0);
  if (rows == 0) return {};
  const char* verb = rows == 1 ? " was" : " were";
  if (!m_anyKept)
    return "; no row was kept: " + rowsText(rows) + " written" + verb + " rolled back";
  return "; the last row kept is key " + m_lastKept + ": " + rowsText(rows) + " written after it" +
         verb + " rolled back";
}

std::string CommitGroup::unconfirmed() {
  const long long rows = std::exchange(m_openRows, 0);
  if (rows == 0) return {};
  const std::string what = "the connection was lost before the database confirmed the commit of " +
                           rowsText(rows) + " written";
  if (!m_anyKept) return "; no row is known to be kept: " + what;
  return "; the last row known to be kept is key " + m_lastKept + ": " + what + " after it";
}

}  // namespace rowsmith::db
