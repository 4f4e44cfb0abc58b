#include "engine/db/postgres/PostgresRecordSet.h"

#include <cstdlib>
#include <exception>
#include <set>
#include <utility>

#include "common/Error.h"
#include "engine/db/api/StatementTableReads.h"
#include "engine/db/postgres/PostgresError.h"
#include "engine/db/postgres/PostgresStatementText.h"
#include "engine/db/postgres/PostgresTableInfo.h"
#include "engine/db/postgres/PostgresTypes.h"

namespace rowsmith::db {

namespace {

constexpr int kBatchRows = 2000;
constexpr const char* kCursor = "rowsmith_rows";
// System columns that identify a row when a table has no primary key.
constexpr int kTableOidColumn = -6;
constexpr int kCtidColumn = -1;
// The reading transaction: one snapshot for the whole result, and read-only,
// so the user's statement cannot write (a function it calls that writes, a
// locking FOR UPDATE, a data-modifying WITH all fail).
const std::string kBeginReading = "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY";

std::string quoteIdentifier(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

// The prepared, described form of a statement: its columns and their origin.
struct Description {
  struct Column {
    std::string name;
    Oid type;
    Oid table;
    int tableColumn;
  };
  std::vector<Column> columns;
};

// Prepares `sql` as the unnamed statement on `connection` and describes its
// result; nothing is run. Empty when preparing fails and `failQuietly`.
// Preparing waits for the locks of the tables read: `canceller` may
// interrupt it.
std::optional<Description> describeStatement(PGconn* connection, const std::string& sql,
                                             bool failQuietly, PostgresCanceller* canceller) {
  PostgresCanceller::Window window(canceller, connection);
  PgResultPtr prepared(PQprepare(connection, "", sql.c_str(), 0, nullptr));
  if (!prepared || PQresultStatus(prepared.get()) != PGRES_COMMAND_OK) {
    if (failQuietly) return std::nullopt;
    throwPostgresError("Cannot open the query", connection, prepared.get());
  }
  PgResultPtr described(PQdescribePrepared(connection, ""));
  if (!described || PQresultStatus(described.get()) != PGRES_COMMAND_OK) {
    if (failQuietly) return std::nullopt;
    throwPostgresError("Cannot open the query", connection, described.get());
  }
  Description out;
  for (int i = 0; i < PQnfields(described.get()); ++i)
    out.columns.push_back({PQfname(described.get(), i), PQftype(described.get(), i),
                           PQftable(described.get(), i), PQftablecol(described.get(), i)});
  return out;
}

}  // namespace

PostgresRecordSet::PostgresRecordSet(PGconn* writer, PgConnectionPtr reader, const std::string& sql,
                                     bool countRecords,
                                     std::shared_ptr<PostgresCanceller> canceller)
    : m_reader(std::move(reader)), m_canceller(std::move(canceller)), m_countRecords(countRecords) {
  try {
    refuseIfCancelled("Cancelled before the query was opened");
    execPostgres(m_reader.get(), kBeginReading, "Cannot open the query");
    describe(writer, PostgresStatementText::trimmed(sql));
    startReading();
  } catch (const Error&) {
    // A statement that the cancel interrupted fails in its own words.
    refuseIfCancelled("Cancelled while the query was opened");
    throw;
  }
}

void PostgresRecordSet::refuseIfCancelled(const std::string& context) const {
  if (m_canceller && m_canceller->requested()) throw Cancelled(context);
}

PgResultPtr PostgresRecordSet::read(const std::string& sql, const std::string& context) {
  refuseIfCancelled("Cancelled: " + context);
  PostgresCanceller::Window window(m_canceller.get(), m_reader.get());
  return checked(PgResultPtr(PQexec(m_reader.get(), sql.c_str())), context);
}

PgResultPtr PostgresRecordSet::checked(PgResultPtr result, const std::string& context) {
  const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return result;
  if (m_canceller && m_canceller->interrupted(result.get()))
    throw Cancelled("Cancelled: " + context);
  throwPostgresError(context, m_reader.get(), result.get());
}

PostgresRecordSet::~PostgresRecordSet() {
  try {
    close();
  } catch (const std::exception&) {
    // A destructor cannot report; close() explicitly to see commit errors.
  }
}

void PostgresRecordSet::describe(PGconn* writer, const std::string& sql) {
  const Description description = *describeStatement(m_reader.get(), sql, false, m_canceller.get());
  if (description.columns.empty()) throw Error("CommandText does not return a result set");
  m_statement = sql;

  std::set<Oid> tables;
  for (const auto& column : description.columns) {
    Field field;
    field.name = column.name;
    field.type = column.type;
    field.dataType = PostgresTypes::dataType(column.type);
    if (column.table == 0)
      field.readOnlyReason = "it is computed";
    else
      tables.insert(column.table);
    m_fields.push_back(std::move(field));
  }
  m_values.resize(m_fields.size());
  m_valueRead.assign(m_fields.size(), 0);
  m_pending.resize(m_fields.size());
  m_pendingSet.assign(m_fields.size(), 0);

  if (tables.empty()) {
    m_whyReadOnly = "its columns are not columns of a table";
    return;
  }
  if (tables.size() > 1) {
    m_whyReadOnly = "its columns come from more than one table";
    return;
  }
  const Oid tableOid = *tables.begin();
  PostgresTableInfo table = PostgresTableInfo::load(m_reader.get(), tableOid);
  for (std::size_t i = 0; i < m_fields.size(); ++i) {
    const auto& column = description.columns[i];
    Field& field = m_fields[i];
    if (column.table != tableOid) continue;
    const auto found = table.columns().find(column.tableColumn);
    if (column.tableColumn <= 0 || found == table.columns().end())
      field.readOnlyReason = "it is a system column";
    else if (found->second.generated)
      field.readOnlyReason = "it is a generated column";
    else
      field.column = column.tableColumn;
    if (found != table.columns().end()) field.baseName = found->second.name;
  }

  switch (table.kind()) {
    case 'r':
    case 'p':
      break;
    case 'v':
      m_whyReadOnly = "view " + table.displayName() + " has no key";
      return;
    case 'm':
      m_whyReadOnly = table.displayName() + " is a materialized view";
      return;
    default:
      m_whyReadOnly = table.displayName() + " is not a table";
      return;
  }
  // The columns name their table but not the alias it was read through: a
  // table read twice could have its rows mixed up. (Views are no concern:
  // their columns name the view.)
  m_whyReadOnly = StatementTableReads::whyNotUpdatable(
      StatementTableReads::count(sql, table.name(), {}, StatementTableReads::Reads::ColumnSources),
      table.displayName());
  if (!m_whyReadOnly.empty()) return;
  if (PostgresStatementText::locksRows(sql)) {
    m_whyReadOnly = "the query locks its rows (FOR UPDATE or FOR SHARE)";
    return;
  }

  // The row key: the primary key's columns when the result has them all.
  std::vector<int> wanted = table.primaryKey();
  if (wanted.empty()) wanted = {kTableOidColumn, kCtidColumn};
  for (int attnum : wanted)
    for (std::size_t i = 0; i < description.columns.size(); ++i)
      if (description.columns[i].table == tableOid &&
          description.columns[i].tableColumn == attnum) {
        m_keyOrdinals.push_back(static_cast<int>(i));
        break;
      }

  // Otherwise add them to the statement, after the user's columns, and make
  // sure the database reads them from that table.
  if (m_keyOrdinals.size() != wanted.size()) {
    m_keyOrdinals.clear();
    std::string extra;
    for (int attnum : wanted) {
      if (!extra.empty()) extra += ", ";
      extra += attnum == kTableOidColumn ? "tableoid"
               : attnum == kCtidColumn   ? "ctid"
                                         : quoteIdentifier(table.columns().at(attnum).name);
    }
    const auto extended = PostgresStatementText::withExtraColumns(sql, extra);
    refuseIfCancelled("Cancelled while the query was opened");
    const auto check = extended
                           ? describeStatement(m_reader.get(), *extended, true, m_canceller.get())
                           : std::nullopt;
    refuseIfCancelled("Cancelled while the query was opened");
    bool usable = check && check->columns.size() == description.columns.size() + wanted.size();
    for (std::size_t i = 0; usable && i < description.columns.size(); ++i)
      usable = check->columns[i].table == description.columns[i].table &&
               check->columns[i].tableColumn == description.columns[i].tableColumn &&
               check->columns[i].type == description.columns[i].type;
    for (std::size_t k = 0; usable && k < wanted.size(); ++k) {
      const auto& column = check->columns[description.columns.size() + k];
      usable = column.table == tableOid && column.tableColumn == wanted[k];
      m_keyOrdinals.push_back(static_cast<int>(description.columns.size() + k));
    }
    if (!usable) {
      // A failed prepare leaves the reading transaction aborted; start over.
      execPostgres(m_reader.get(), "ROLLBACK; " + kBeginReading, "Cannot open the query");
      m_keyOrdinals.clear();
      m_whyReadOnly = "the key of table " + table.displayName() +
                      (table.primaryKey().empty() ? " (its row identity)" : "") +
                      " is not part of the result";
      return;
    }
    m_statement = *extended;
  }
  if (wanted.front() == kTableOidColumn) wanted.clear();
  m_tableSqlName = table.sqlName();
  for (int attnum : wanted) m_keyNames.push_back(table.columns().at(attnum).name);
  m_writer = std::make_unique<PostgresRowWriter>(writer, std::move(table), std::move(wanted),
                                                 m_canceller.get());
}

void PostgresRecordSet::countRows() {
  m_count = -1;
  PGconn* reader = m_reader.get();
  auto run = [reader](const char* sql, ExecStatusType expected) {
    PgResultPtr result(PQexec(reader, sql));
    return result && PQresultStatus(result.get()) == expected ? std::move(result) : PgResultPtr();
  };
  // A failed count must leave the reading transaction usable.
  if (!run("SAVEPOINT rowsmith_count", PGRES_COMMAND_OK)) return;
  const std::string sql = "SELECT count(*) FROM (" + m_statement + "\n) AS q";
  refuseIfCancelled("Cancelled while the rows were counted");
  const PgResultPtr counted = [&] {
    PostgresCanceller::Window window(m_canceller.get(), reader);
    return run(sql.c_str(), PGRES_TUPLES_OK);
  }();
  refuseIfCancelled("Cancelled while the rows were counted");
  if (counted && PQntuples(counted.get()) == 1 && PQnfields(counted.get()) == 1 &&
      !PQgetisnull(counted.get(), 0, 0)) {
    m_count = std::strtoll(PQgetvalue(counted.get(), 0, 0), nullptr, 10);
    run("RELEASE SAVEPOINT rowsmith_count", PGRES_COMMAND_OK);
  } else {
    run("ROLLBACK TO SAVEPOINT rowsmith_count; RELEASE SAVEPOINT rowsmith_count", PGRES_COMMAND_OK);
  }
}

void PostgresRecordSet::startReading() {
  // In the same snapshot as the cursor below.
  if (m_countRecords)
    countRows();
  else
    m_count = -1;
  read("DECLARE " + std::string(kCursor) + " NO SCROLL CURSOR FOR " + m_statement,
       "Cannot open the query");
  m_open = true;
  m_rowNumber = 0;
  fetchBatch();
}

void PostgresRecordSet::fetchBatch() {
  m_batch.reset();
  const std::string sql = "FETCH FORWARD " + std::to_string(kBatchRows) + " FROM " + kCursor;
  const std::string context = "Cannot read the query's rows";
  if (m_fetchSent) {
    // Sent when the batch before arrived: the server has read it meanwhile.
    m_fetchSent = false;
    refuseIfCancelled("Cancelled: " + context);
    PostgresCanceller::Window window(m_canceller.get(), m_reader.get());
    PgResultPtr result;
    while (PGresult* raw = PQgetResult(m_reader.get())) {
      if (!result)
        result.reset(raw);
      else
        PQclear(raw);
    }
    m_batch = checked(std::move(result), context);
  } else {
    m_batch = read(sql, context);
  }
  m_batchRows = PQntuples(m_batch.get());
  m_batchRow = 0;
  m_lastBatch = m_batchRows < kBatchRows;
  m_eof = m_batchRows == 0;
  // The next batch is read while this one is worked on; a send that fails
  // is tried again, and reported, by the next fetch.
  if (!m_lastBatch) m_fetchSent = PQsendQuery(m_reader.get(), sql.c_str()) != 0;
  clearRow();
}

void PostgresRecordSet::clearRow() {
  std::fill(m_valueRead.begin(), m_valueRead.end(), 0);
  if (m_hasPending) {
    std::fill(m_pendingSet.begin(), m_pendingSet.end(), 0);
    m_hasPending = false;
  }
}

void PostgresRecordSet::checkRow(const char* operation) const {
  if (!m_open) throw Error(std::string("Cannot ") + operation + ": the record set is closed");
  if (m_eof) throw Error(std::string("Cannot ") + operation + ": there is no current row");
}

void PostgresRecordSet::checkOrdinal(int ordinal) const {
  if (ordinal < 0 || ordinal >= fieldCount())
    throw Error("Field " + std::to_string(ordinal) + " does not exist: the record set has " +
                std::to_string(fieldCount()) + " fields");
}

const std::string& PostgresRecordSet::fieldName(int ordinal) const {
  checkOrdinal(ordinal);
  return m_fields[ordinal].name;
}

DataType PostgresRecordSet::fieldType(int ordinal) const {
  checkOrdinal(ordinal);
  return m_fields[ordinal].dataType;
}

bool PostgresRecordSet::locateRow(RowLocation& where) {
  checkRow("locate a row");
  if (!m_writer || m_keyNames.empty()) {
    where = {};
    where.table = m_writer ? "table " + m_tableSqlName +
                                 " has no primary key, and the place where a row is stored (its "
                                 "ctid) changes whenever the row is written"
                           : m_whyReadOnly;
    return false;
  }
  // Called for every row written while a journal is kept: the caller's
  // strings are reused.
  where.table.assign(m_tableSqlName);
  where.keyColumns.resize(m_keyNames.size());
  where.keyValues.resize(m_keyOrdinals.size());
  for (std::size_t k = 0; k < m_keyNames.size(); ++k) where.keyColumns[k].assign(m_keyNames[k]);
  for (std::size_t k = 0; k < m_keyOrdinals.size(); ++k)
    where.keyValues[k].assign(
        PQgetvalue(m_batch.get(), m_batchRow, m_keyOrdinals[k]),
        static_cast<std::size_t>(PQgetlength(m_batch.get(), m_batchRow, m_keyOrdinals[k])));
  return true;
}

std::string PostgresRecordSet::baseColumnName(int ordinal) const {
  checkOrdinal(ordinal);
  const Field& field = m_fields[ordinal];
  return field.baseName.empty() ? field.name : field.baseName;
}

void PostgresRecordSet::setBeforeCommit(std::function<void()> hook) {
  if (m_writer) m_writer->setBeforeCommit(std::move(hook));
}

const Value& PostgresRecordSet::value(int ordinal) {
  checkOrdinal(ordinal);
  checkRow("read a field");
  Value& out = m_values[ordinal];
  if (!m_valueRead[ordinal]) {
    PGresult* batch = m_batch.get();
    if (PQgetisnull(batch, m_batchRow, ordinal)) {
      out.kind = Value::Kind::Null;
      out.text.clear();
    } else {
      PostgresTypes::decode(m_fields[ordinal].type, PQgetvalue(batch, m_batchRow, ordinal),
                            PQgetlength(batch, m_batchRow, ordinal), out);
    }
    m_valueRead[ordinal] = 1;
  }
  return out;
}

void PostgresRecordSet::setValue(int ordinal, std::optional<std::string_view> value) {
  checkOrdinal(ordinal);
  const Field& field = m_fields[ordinal];
  if (!m_writer) throw Error("The record set cannot be updated: " + m_whyReadOnly);
  if (field.column == 0)
    throw Error("Column \"" + field.name + "\" cannot be updated: " + field.readOnlyReason);
  checkRow("write a field");
  if (value)
    m_pending[ordinal].emplace(*value);
  else
    m_pending[ordinal].reset();
  m_pendingSet[ordinal] = 1;
  m_hasPending = true;
}

void PostgresRecordSet::writeCurrentRow() {
  if (!m_hasPending) return;
  PGresult* batch = m_batch.get();
  std::vector<PostgresRowWriter::Change> changes;
  for (std::size_t i = 0; i < m_fields.size(); ++i) {
    if (!m_pendingSet[i]) continue;
    const int row = m_batchRow, column = static_cast<int>(i);
    PostgresRowWriter::Change change{m_fields[i].column, std::move(m_pending[i]), std::nullopt};
    if (!PQgetisnull(batch, row, column))
      change.oldValue.emplace(PQgetvalue(batch, row, column), PQgetlength(batch, row, column));
    // Two fields showing the same column: the later write wins.
    std::erase_if(changes, [&](const auto& c) { return c.column == change.column; });
    changes.push_back(std::move(change));
  }
  std::vector<std::string> key;
  for (int ordinal : m_keyOrdinals) key.emplace_back(PQgetvalue(batch, m_batchRow, ordinal));
  // Whatever happens, these writes are done with: a failed row keeps its old values.
  std::fill(m_pendingSet.begin(), m_pendingSet.end(), 0);
  m_hasPending = false;
  m_writer->write(std::move(key), std::move(changes));
}

void PostgresRecordSet::moveNext() {
  checkRow("move to the next row");
  writeCurrentRow();
  ++m_rowNumber;
  if (++m_batchRow < m_batchRows) {
    clearRow();
  } else if (m_lastBatch) {
    m_eof = true;
    clearRow();
  } else {
    fetchBatch();
  }
  // The writes of the last rows are made now, so that their errors come
  // from moving past them, as for every other row.
  if (m_eof && m_writer) m_writer->flush();
}

void PostgresRecordSet::moveFirst() {
  if (!m_open) throw Error("Cannot move to the first row: the record set is closed");
  if (m_rowNumber == 0) return;
  if (!m_eof) writeCurrentRow();
  // Read again from a fresh snapshot that sees the rows written so far.
  if (m_writer) m_writer->commit();
  m_batch.reset();
  m_fetchSent = false;  // its answer is dropped by the next statement
  execPostgres(m_reader.get(), "CLOSE " + std::string(kCursor) + "; COMMIT; " + kBeginReading,
               "Cannot read the query again");
  startReading();
}

void PostgresRecordSet::close() {
  if (!m_open) return;
  m_open = false;
  m_eof = true;
  clearRow();  // the current row's writes are discarded
  std::exception_ptr failure;
  try {
    if (m_writer) m_writer->commit();
  } catch (...) {
    failure = std::current_exception();
  }
  m_writer.reset();
  m_batch.reset();
  m_reader.reset();  // ends the reading transaction
  if (failure) std::rethrow_exception(failure);
}

}  // namespace rowsmith::db
