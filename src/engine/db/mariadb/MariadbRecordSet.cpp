#include "engine/db/mariadb/MariadbRecordSet.h"

#include <strings.h>

#include <cctype>
#include <cstdlib>
#include <exception>
#include <map>
#include <set>
#include <utility>

#include "common/Error.h"
#include "engine/db/api/ReadOnlyStatement.h"
#include "engine/db/api/StatementTableReads.h"
#include "engine/db/mariadb/MariadbError.h"
#include "engine/db/mariadb/MariadbTableInfo.h"
#include "engine/db/mariadb/MariadbTypes.h"

namespace rowsmith::db {

namespace {

// One snapshot for the whole result, and read-only: the user's statement
// cannot write.
const std::string kBeginReading = "START TRANSACTION WITH CONSISTENT SNAPSHOT, READ ONLY";

std::string text(const char* value, unsigned int length) {
  return value ? std::string(value, length) : std::string();
}

bool sameName(const std::string& a, const std::string& b) {
  return strcasecmp(a.c_str(), b.c_str()) == 0;
}

// The statement without trailing blanks and semicolons.
std::string trimmed(const std::string& sql) {
  std::size_t end = sql.size();
  while (end > 0 && (sql[end - 1] == ';' || std::isspace(static_cast<unsigned char>(sql[end - 1]))))
    --end;
  return sql.substr(0, end);
}

// A field's type details without the pointers into its result.
MYSQL_FIELD typeOnly(const MYSQL_FIELD& field) {
  MYSQL_FIELD out{};
  out.type = field.type;
  out.flags = field.flags;
  out.charsetnr = field.charsetnr;
  out.length = field.length;
  out.decimals = field.decimals;
  return out;
}

}  // namespace

MariadbRecordSet::MariadbRecordSet(MYSQL* writer, MysqlPtr reader, const std::string& sql,
                                   bool countRecords, std::shared_ptr<MariadbCanceller> canceller)
    : m_reader(std::move(reader)),
      m_control(writer),
      m_canceller(std::move(canceller)),
      m_countRecords(countRecords) {
  try {
    refuseIfCancelled("Cancelled before the query was opened");
    prepare(writer, trimmed(sql));
    startReading();
  } catch (const Error&) {
    refuseIfCancelled("Cancelled while the query was opened");
    throw;
  }
}

MariadbRecordSet::~MariadbRecordSet() {
  try {
    close();
  } catch (const std::exception&) {
    // A destructor cannot report; close() explicitly to see commit errors.
  }
}

void MariadbRecordSet::refuseIfCancelled(const std::string& context) const {
  if (m_canceller && m_canceller->requested()) throw Cancelled(context);
}

void MariadbRecordSet::prepare(MYSQL* writer, const std::string& sql) {
  // Preparing runs nothing: it tells whether the statement returns rows and
  // where its columns come from.
  MysqlStatementPtr statement(mysql_stmt_init(m_reader.get()));
  if (!statement) throw Error("Cannot open the query: out of memory");
  // Preparing waits for the locks of the tables read (another session's
  // LOCK TABLES or ALTER TABLE): a cancel may interrupt it.
  const bool prepared = [&] {
    MariadbCanceller::Window window(m_canceller.get(), m_reader.get());
    return mysql_stmt_prepare(statement.get(), sql.data(), sql.size()) == 0;
  }();
  if (!prepared) {
    const std::string message = mariadbMessage(statement.get());
    // A second statement or a write is refused in Rowsmith's words.
    ReadOnlyStatement::requireSingleSelect(sql);
    throw Error("Cannot open the query: " + message);
  }
  if (mysql_stmt_field_count(statement.get()) == 0)
    throw Error("CommandText does not return a result set");
  ReadOnlyStatement::requireSingleSelect(sql);
  m_statement = sql;
  MysqlResultPtr metadata(mysql_stmt_result_metadata(statement.get()));
  if (!metadata) throw Error("Cannot open the query: " + mariadbMessage(statement.get()));
  const unsigned int count = mysql_num_fields(metadata.get());
  MYSQL_FIELD* fields = mysql_fetch_fields(metadata.get());
  for (unsigned int i = 0; i < count; ++i) {
    Field field;
    field.name = text(fields[i].name, fields[i].name_length);
    field.metadata = typeOnly(fields[i]);
    field.dataType = MariadbTypes::dataType(fields[i]);
    m_fields.push_back(std::move(field));
  }
  m_values.resize(m_fields.size());
  m_valueRead.assign(m_fields.size(), 0);
  m_pending.resize(m_fields.size());
  m_pendingSet.assign(m_fields.size(), 0);
  plan(writer, metadata.get());
}

void MariadbRecordSet::plan(MYSQL* writer, MYSQL_RES* metadata) {
  MYSQL_FIELD* fields = mysql_fetch_fields(metadata);
  auto computed = [&](std::size_t i) {
    return fields[i].org_table_length == 0 || fields[i].org_name_length == 0;
  };
  std::set<std::pair<std::string, std::string>> tables;
  for (std::size_t i = 0; i < m_fields.size(); ++i) {
    if (computed(i)) {
      m_fields[i].readOnlyMessage =
          "Column \"" + m_fields[i].name + "\" cannot be updated: it is computed";
      continue;
    }
    tables.emplace(text(fields[i].db, fields[i].db_length),
                   text(fields[i].org_table, fields[i].org_table_length));
  }
  if (tables.empty()) {
    m_whyReadOnly = "its columns are not columns of a table";
    return;
  }
  if (tables.size() > 1) {
    std::string names;
    for (const auto& [database, table] : tables) names += (names.empty() ? "" : ", ") + table;
    m_whyReadOnly = "its columns come from more than one table (" + names + ")";
    return;
  }
  const auto [database, tableName] = *tables.begin();
  MariadbTableInfo table = [&] {
    MariadbCanceller::Window window(m_canceller.get(), writer);
    return MariadbTableInfo::load(writer, database, tableName);
  }();
  if (!table.listed()) {
    m_whyReadOnly = "its columns come from " + tableName +
                    ", which is no table of the database (a derived table or a common table "
                    "expression)";
    return;
  }
  if (!table.isBaseTable()) {
    m_whyReadOnly = tableName + " is a view; write to its table instead";
    return;
  }
  if (table.key().empty()) {
    m_whyReadOnly =
        "table " + tableName + " has no primary key or unique key over NOT NULL columns";
    return;
  }

  // The alias each appearance of the table is read through, and those that
  // hold the whole key.
  std::map<std::string, std::vector<int>> keyOrdinals;
  std::set<std::string> aliases;
  for (std::size_t i = 0; i < m_fields.size(); ++i)
    if (!computed(i)) aliases.insert(text(fields[i].table, fields[i].table_length));
  auto ordinalOf = [&](const std::string& alias, const std::string& column) {
    for (std::size_t i = 0; i < m_fields.size(); ++i)
      if (!computed(i) && text(fields[i].table, fields[i].table_length) == alias &&
          sameName(text(fields[i].org_name, fields[i].org_name_length), column))
        return static_cast<int>(i);
    return -1;
  };
  std::vector<std::string> keyed;
  for (const auto& alias : aliases) {
    std::vector<int> ordinals;
    for (int column : table.key()) {
      const int ordinal = ordinalOf(alias, table.columns()[column].name);
      if (ordinal < 0) break;
      ordinals.push_back(ordinal);
    }
    if (ordinals.size() == table.key().size()) {
      keyed.push_back(alias);
      keyOrdinals[alias] = std::move(ordinals);
    }
  }
  std::string keyNames;
  for (int column : table.key())
    keyNames += (keyNames.empty() ? "" : ", ") + table.columns()[column].name;
  if (keyed.size() != 1) {
    if (aliases.size() > 1) {
      std::string names;
      for (const auto& alias : aliases) names += (names.empty() ? "" : ", ") + alias;
      m_whyReadOnly = "the query reads table " + tableName + " more than once (as " + names +
                      "), and its key does not pick out one of them";
    } else {
      m_whyReadOnly =
          "the key of table " + tableName + " (" + keyNames + ") is not part of the result";
    }
    return;
  }
  const std::string alias = keyed.front();
  m_keyOrdinals = keyOrdinals[alias];
  // A derived table or common table expression reports itself as the table
  // of its columns, under its own name: an appearance read without an alias
  // may be one that merely carries the table's name. Unless every appearance
  // has an alias of its own, the statement must read the table, by name,
  // exactly as often as the result shows it.
  if (aliases.count(tableName)) {
    const int reads = StatementTableReads::count(m_statement, tableName, {},
                                                 StatementTableReads::Reads::ColumnSources);
    if (reads != static_cast<int>(aliases.size())) {
      m_keyOrdinals.clear();
      m_whyReadOnly = aliases.size() == 1 ? StatementTableReads::whyNotUpdatable(reads, tableName)
                                          : "the query reads table " + tableName +
                                                " in a way its columns do not show";
      return;
    }
  }

  std::vector<bool> binary(table.columns().size(), false);
  for (std::size_t i = 0; i < m_fields.size(); ++i) {
    if (computed(i)) continue;
    Field& field = m_fields[i];
    const std::string fieldAlias = text(fields[i].table, fields[i].table_length);
    const int column = table.find(text(fields[i].org_name, fields[i].org_name_length));
    field.baseName = text(fields[i].org_name, fields[i].org_name_length);
    if (fieldAlias != alias)
      field.readOnlyMessage =
          "Column " + field.name + " comes from table " + tableName + " read as " + fieldAlias +
          ", but the rows written are those read as " + alias + "; it cannot be written";
    else if (column < 0)
      field.readOnlyMessage = "Column \"" + field.name + "\" cannot be updated: table " +
                              tableName + " does not list it";
    else if (table.columns()[column].generated)
      field.readOnlyMessage =
          "Column \"" + field.name + "\" cannot be updated: it is a generated column";
    else {
      field.column = column;
      binary[column] = MariadbTypes::isBinary(field.metadata);
    }
  }
  for (std::size_t k = 0; k < m_keyOrdinals.size(); ++k)
    binary[table.key()[k]] = MariadbTypes::isBinary(m_fields[m_keyOrdinals[k]].metadata);
  m_tableSqlName = table.sqlName();
  for (int k : table.key()) m_keyNames.push_back(table.columns()[k].name);
  m_writer = std::make_unique<MariadbRowWriter>(writer, std::move(table), std::move(binary),
                                                m_canceller.get());
}

bool MariadbRecordSet::locateRow(RowLocation& where) {
  checkRow("locate a row");
  if (!m_writer) {
    where = {};
    where.table = m_whyReadOnly;
    return false;
  }
  // Called for every row written while a journal is kept: the caller's
  // strings are reused.
  where.table.assign(m_tableSqlName);
  where.keyColumns.resize(m_keyNames.size());
  where.keyValues.resize(m_keyOrdinals.size());
  for (std::size_t k = 0; k < m_keyNames.size(); ++k) where.keyColumns[k].assign(m_keyNames[k]);
  for (std::size_t k = 0; k < m_keyOrdinals.size(); ++k) {
    const int ordinal = m_keyOrdinals[k];
    if (m_row[ordinal])
      where.keyValues[k].assign(m_row[ordinal], m_lengths[ordinal]);
    else
      where.keyValues[k].clear();
  }
  return true;
}

std::string MariadbRecordSet::baseColumnName(int ordinal) const {
  checkOrdinal(ordinal);
  const Field& field = m_fields[ordinal];
  return field.baseName.empty() ? field.name : field.baseName;
}

void MariadbRecordSet::setBeforeCommit(std::function<void()> hook) {
  if (m_writer) m_writer->setBeforeCommit(std::move(hook));
}

void MariadbRecordSet::countRows() {
  m_count = -1;
  // A statement whose columns share a name cannot be counted this way; a
  // failed count leaves the reading transaction as it was.
  const std::string sql = "SELECT count(*) FROM (" + m_statement + "\n) AS rowsmith_count";
  refuseIfCancelled("Cancelled while the rows were counted");
  MariadbCanceller::Window window(m_canceller.get(), m_reader.get());
  if (mysql_real_query(m_reader.get(), sql.data(), sql.size()) != 0) return;
  MysqlResultPtr counted(mysql_store_result(m_reader.get()));
  if (!counted) return;
  if (MYSQL_ROW row = mysql_fetch_row(counted.get()); row && row[0])
    m_count = std::strtoll(row[0], nullptr, 10);
}

void MariadbRecordSet::startReading() {
  execMariadb(m_reader.get(), kBeginReading, "Cannot open the query");
  if (m_countRecords) countRows();
  refuseIfCancelled("Cancelled: Cannot open the query");
  {
    MariadbCanceller::Window window(m_canceller.get(), m_reader.get());
    if (mysql_real_query(m_reader.get(), m_statement.data(), m_statement.size()) != 0) {
      if (m_canceller && m_canceller->interrupted(mysql_errno(m_reader.get())))
        throw Cancelled("Cancelled: Cannot open the query");
      throwMariadbError("Cannot open the query", m_reader.get());
    }
  }
  m_result.reset(mysql_use_result(m_reader.get()));
  if (!m_result) throwMariadbError("Cannot open the query", m_reader.get());
  if (mysql_num_fields(m_result.get()) != m_fields.size())
    throw Error("Cannot open the query: its columns changed while it was opened");
  m_open = true;
  m_rowNumber = 0;
  fetchRow();
}

void MariadbRecordSet::fetchRow() {
  clearRow();
  {
    MariadbCanceller::Window window(m_canceller.get(), m_reader.get());
    m_row = mysql_fetch_row(m_result.get());
  }
  if (m_row) {
    m_lengths = mysql_fetch_lengths(m_result.get());
    m_eof = false;
    return;
  }
  m_lengths = nullptr;
  m_eof = true;
  if (mysql_errno(m_reader.get()) != 0) {
    if (m_canceller && m_canceller->interrupted(mysql_errno(m_reader.get())))
      throw Cancelled("Cancelled: Cannot read the query's rows");
    throwMariadbError("Cannot read the query's rows", m_reader.get());
  }
}

void MariadbRecordSet::clearRow() {
  std::fill(m_valueRead.begin(), m_valueRead.end(), 0);
  if (m_hasPending) {
    std::fill(m_pendingSet.begin(), m_pendingSet.end(), 0);
    m_hasPending = false;
  }
}

void MariadbRecordSet::checkRow(const char* operation) const {
  if (!m_open) throw Error(std::string("Cannot ") + operation + ": the record set is closed");
  if (m_eof) throw Error(std::string("Cannot ") + operation + ": there is no current row");
}

void MariadbRecordSet::checkOrdinal(int ordinal) const {
  if (ordinal < 0 || ordinal >= fieldCount())
    throw Error("Field " + std::to_string(ordinal) + " does not exist: the record set has " +
                std::to_string(fieldCount()) + " fields");
}

const std::string& MariadbRecordSet::fieldName(int ordinal) const {
  checkOrdinal(ordinal);
  return m_fields[ordinal].name;
}

DataType MariadbRecordSet::fieldType(int ordinal) const {
  checkOrdinal(ordinal);
  return m_fields[ordinal].dataType;
}

const Value& MariadbRecordSet::value(int ordinal) {
  checkOrdinal(ordinal);
  checkRow("read a field");
  Value& out = m_values[ordinal];
  if (!m_valueRead[ordinal]) {
    if (!m_row[ordinal]) {
      out.kind = Value::Kind::Null;
      out.text.clear();
    } else {
      MariadbTypes::decode(m_fields[ordinal].metadata, m_row[ordinal], m_lengths[ordinal], out);
    }
    m_valueRead[ordinal] = 1;
  }
  return out;
}

void MariadbRecordSet::setValue(int ordinal, std::optional<std::string_view> value) {
  checkOrdinal(ordinal);
  const Field& field = m_fields[ordinal];
  if (!m_writer) throw Error("The record set cannot be updated: " + m_whyReadOnly);
  if (field.column < 0) throw Error(field.readOnlyMessage);
  checkRow("write a field");
  if (value)
    m_pending[ordinal].emplace(*value);
  else
    m_pending[ordinal].reset();
  m_pendingSet[ordinal] = 1;
  m_hasPending = true;
}

void MariadbRecordSet::writeCurrentRow() {
  if (!m_hasPending) return;
  std::vector<MariadbRowWriter::Change> changes;
  for (std::size_t i = 0; i < m_fields.size(); ++i) {
    if (!m_pendingSet[i]) continue;
    MariadbRowWriter::Change change{m_fields[i].column, std::move(m_pending[i]), std::nullopt};
    if (m_row[i]) change.oldValue.emplace(m_row[i], m_lengths[i]);
    // Two fields showing the same column: the later write wins.
    std::erase_if(changes, [&](const auto& c) { return c.column == change.column; });
    changes.push_back(std::move(change));
  }
  std::vector<std::string> key;
  for (int ordinal : m_keyOrdinals)
    key.emplace_back(m_row[ordinal] ? std::string(m_row[ordinal], m_lengths[ordinal])
                                    : std::string());
  // Whatever happens, these writes are done with: a failed row keeps its old values.
  std::fill(m_pendingSet.begin(), m_pendingSet.end(), 0);
  m_hasPending = false;
  m_writer->write(std::move(key), std::move(changes));
}

void MariadbRecordSet::moveNext() {
  checkRow("move to the next row");
  writeCurrentRow();
  ++m_rowNumber;
  fetchRow();
  // The writes of the last rows are made now, so that their errors come
  // from moving past them, as for every other row.
  if (m_eof && m_writer) m_writer->flush();
}

void MariadbRecordSet::endReading(bool stopServer) {
  // Freeing an unfinished result reads the rest of it: for a large result
  // left early, the server is told to stop sending it first.
  if (stopServer && m_result) {
    const std::string kill = "KILL QUERY " + std::to_string(mysql_thread_id(m_reader.get()));
    if (mysql_real_query(m_control, kill.data(), kill.size()) == 0)
      mysql_free_result(mysql_store_result(m_control));
  }
  m_result.reset();
  m_row = nullptr;
  m_lengths = nullptr;
}

void MariadbRecordSet::moveFirst() {
  if (!m_open) throw Error("Cannot move to the first row: the record set is closed");
  if (m_rowNumber == 0) return;
  if (!m_eof) writeCurrentRow();
  // Read again from a fresh snapshot that sees the rows written so far.
  if (m_writer) m_writer->commit();
  endReading(false);
  execMariadb(m_reader.get(), "COMMIT", "Cannot read the query again");
  startReading();
}

void MariadbRecordSet::close() {
  if (!m_open) return;
  const bool rowsLeft = !m_eof;
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
  endReading(rowsLeft);
  m_reader.reset();  // ends the reading transaction
  if (failure) std::rethrow_exception(failure);
}

}  // namespace rowsmith::db
