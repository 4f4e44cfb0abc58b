#include "engine/db/odbc/OdbcConnection.h"

#include <sqlext.h>

#include "common/Error.h"
#include "engine/db/api/ReadOnlyStatement.h"
#include "engine/db/odbc/OdbcError.h"
#include "engine/db/odbc/OdbcRecordSet.h"
#include "engine/db/odbc/OdbcSession.h"
#include "engine/db/odbc/OdbcStatement.h"
#include "engine/db/odbc/OdbcUpdatePlan.h"

namespace rowsmith::db::odbc {

namespace {

// The statement as messages show it: whole when short.
std::string quoted(const std::string& sql) {
  constexpr std::size_t kLongest = 200;
  return "\"" + (sql.size() <= kLongest ? sql : sql.substr(0, kLongest) + "...") + "\"";
}

}  // namespace

OdbcConnection::OdbcConnection(std::shared_ptr<OdbcSession> session)
    : m_session(std::move(session)) {}

OdbcConnection::~OdbcConnection() = default;

std::vector<std::string> OdbcConnection::tableNames() {
  const std::string context = "Couldn't list the tables of " + m_session->description();
  OdbcStatement statement(m_session);
  std::string types = "TABLE,VIEW";
  const SQLRETURN rc =
      SQLTables(statement.handle(), nullptr, 0, nullptr, 0, nullptr, 0,
                reinterpret_cast<SQLCHAR*>(types.data()), static_cast<SQLSMALLINT>(types.size()));
  if (!SQL_SUCCEEDED(rc)) statement.fail(context);
  std::vector<std::string> names;
  while (statement.fetch(context)) {
    const std::string type = catalogTextAt(statement.handle(), 4);
    if (type == "TABLE" || type == "VIEW") names.push_back(catalogTextAt(statement.handle(), 3));
  }
  return names;
}

std::unique_ptr<RecordSet> OdbcConnection::open(const std::string& sql, const OpenOptions&) {
  // Every option asks for what this record set is anyway: prepared,
  // updatable where the result allows it, read as it goes.
  const std::string context = "Couldn't open " + quoted(sql);
  auto reader = std::make_unique<OdbcStatement>(m_session);
  reader->prepare(sql, context);
  // Known before anything runs, so a statement that changes data is not
  // executed by mistake.
  if (reader->resultColumnCount(context) == 0)
    throw Error("CommandText does not return a result set");
  // A driver may run more than one statement, or ignore the read-only
  // access mode: only a single SELECT goes to it.
  ReadOnlyStatement::requireSingleSelect(sql);
  auto columns = reader->describeColumns(context);
  auto plan = OdbcUpdatePlan::make(m_session, *reader, sql, columns);
  // Read-only until the record set's cursor is closed (OdbcRecordSet).
  m_session->setReadOnly(true);
  try {
    reader->execute(context);
    return std::make_unique<OdbcRecordSet>(m_session, std::move(reader), std::move(columns),
                                           std::move(plan),
                                           "Couldn't read the rows of " + quoted(sql));
  } catch (const Error&) {
    try {
      m_session->setReadOnly(false);
    } catch (const Error&) {
      // The first error is the one to report.
    }
    throw;
  }
}

void OdbcConnection::cancel() noexcept { m_session->cancel(); }

void OdbcConnection::execute(const std::string& sql) {
  OdbcStatement statement(m_session);
  statement.executeDirect(sql, "Couldn't run " + quoted(sql));
}

std::string OdbcConnection::describe() const { return m_session->description(); }

std::string OdbcConnection::quoteIdentifier(const std::string& name) const {
  return m_session->quoteIdentifier(name);
}

}  // namespace rowsmith::db::odbc

namespace rowsmith::db {

std::unique_ptr<Connection> openOdbcConnection(const std::string& rawConnectionString) {
  return std::make_unique<odbc::OdbcConnection>(
      std::make_shared<odbc::OdbcSession>(rawConnectionString));
}

}  // namespace rowsmith::db
