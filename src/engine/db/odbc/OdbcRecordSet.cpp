#include "engine/db/odbc/OdbcRecordSet.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>

#include "common/Error.h"
#include "engine/db/odbc/OdbcRowSpool.h"
#include "engine/db/odbc/OdbcRowWriter.h"
#include "engine/db/odbc/OdbcSession.h"
#include "engine/db/odbc/OdbcStatement.h"
#include "engine/db/odbc/OdbcTableMetadata.h"

namespace rowsmith::db::odbc {

namespace {

bool containsName(const std::vector<std::string>& names, const std::string& name) {
  return std::any_of(names.begin(), names.end(), [&](const std::string& candidate) {
    return strcasecmp(candidate.c_str(), name.c_str()) == 0;
  });
}

}  // namespace

OdbcRecordSet::OdbcRecordSet(std::shared_ptr<OdbcSession> session,
                             std::unique_ptr<OdbcStatement> reader, std::vector<OdbcColumn> columns,
                             OdbcUpdatePlan plan, std::string readContext)
    : m_session(std::move(session)),
      m_reader(std::move(reader)),
      m_columns(std::move(columns)),
      m_plan(std::move(plan)),
      m_readContext(std::move(readContext)),
      m_row(m_columns.size()),
      m_pending(m_columns.size()),
      m_changed(m_columns.size(), false) {
  readRow();
}

OdbcRecordSet::~OdbcRecordSet() {
  try {
    close();
  } catch (const Error&) {
    // A destructor cannot report; close() explicitly to see the error.
  }
}

int OdbcRecordSet::fieldCount() const {
  return static_cast<int>(m_columns.size()) - m_plan.hiddenCount;
}

std::size_t OdbcRecordSet::internalOrdinal(int ordinal) const {
  if (ordinal < 0 || ordinal >= fieldCount())
    throw Error("Field ordinal " + std::to_string(ordinal) + " is out of range");
  return static_cast<std::size_t>(ordinal + m_plan.hiddenCount);
}

const std::string& OdbcRecordSet::fieldName(int ordinal) const {
  return m_columns[internalOrdinal(ordinal)].name;
}

DataType OdbcRecordSet::fieldType(int ordinal) const {
  return m_columns[internalOrdinal(ordinal)].dataType;
}

bool OdbcRecordSet::locateRow(RowLocation& where) {
  if (!m_open || m_eof) throw Error("There is no current row");
  where = {};
  if (!m_plan.updatable) {
    where.table = m_plan.reason;
    return false;
  }
  where.table = m_session->quoteIdentifier(m_plan.table);
  if (!m_plan.schema.empty())
    where.table = m_session->quoteIdentifier(m_plan.schema) + "." + where.table;
  for (std::size_t i = 0; i < m_plan.keyOrdinals.size(); ++i) {
    const Value& key = m_row[static_cast<std::size_t>(m_plan.keyOrdinals[i])];
    where.keyColumns.push_back(m_plan.keyColumns[i]);
    switch (key.kind) {
      case Value::Kind::Null:
        where.keyValues.emplace_back();
        break;
      case Value::Kind::Integer:
        where.keyValues.push_back(std::to_string(key.integer));
        break;
      case Value::Kind::Unsigned:
        where.keyValues.push_back(std::to_string(key.unsignedInteger));
        break;
      case Value::Kind::Boolean:
        where.keyValues.push_back(key.boolean ? "1" : "0");
        break;
      case Value::Kind::Real: {
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", key.real);
        where.keyValues.push_back(text);
        break;
      }
      default:
        where.keyValues.push_back(key.text);
        break;
    }
  }
  return true;
}

std::string OdbcRecordSet::baseColumnName(int ordinal) const {
  const OdbcColumn& column = m_columns[internalOrdinal(ordinal)];
  return column.baseColumn.empty() ? column.name : column.baseColumn;
}

const Value& OdbcRecordSet::value(int ordinal) {
  const std::size_t column = internalOrdinal(ordinal);
  if (!m_open || m_eof) throw Error("There is no current row");
  return m_row[column];
}

void OdbcRecordSet::readRow() {
  if (m_spool) {
    m_eof = !m_spool->readNext(m_row);
  } else if (!m_cursorOpen) {
    m_eof = true;
  } else if (!m_reader->fetch(m_readContext)) {
    m_reader->closeCursor();
    m_cursorOpen = false;
    m_eof = true;
    m_session->setReadOnly(false);
  } else {
    for (std::size_t i = 0; i < m_columns.size(); ++i)
      m_valueReader.read(m_reader->handle(), static_cast<SQLUSMALLINT>(i + 1), m_columns[i],
                         m_row[i], m_readContext);
  }
  if (!m_eof) ++m_position;
}

void OdbcRecordSet::spoolRemainingRows() {
  auto spool = std::make_unique<OdbcRowSpool>();
  if (m_cursorOpen) {
    std::vector<Value> row(m_columns.size());
    try {
      while (m_reader->fetch(m_readContext)) {
        for (std::size_t i = 0; i < m_columns.size(); ++i)
          m_valueReader.read(m_reader->handle(), static_cast<SQLUSMALLINT>(i + 1), m_columns[i],
                             row[i], m_readContext);
        spool->append(row);
      }
    } catch (const Error&) {
      // The rows read so far are gone with the spool: the record set ends
      // here rather than go on with a gap.
      m_reader->closeCursor();
      m_cursorOpen = false;
      throw;
    }
    m_reader->closeCursor();
    m_cursorOpen = false;
  }
  // The user's statement is read whole: the writes may begin.
  m_session->setReadOnly(false);
  spool->rewind();
  m_spool = std::move(spool);
}

void OdbcRecordSet::checkWritable(std::size_t column) {
  if (!m_readOnly) {
    const OdbcTableMetadata metadata(m_session, m_plan.schema, m_plan.table);
    const auto stored = metadata.columnNames();
    const auto generated = metadata.generatedColumns();
    std::vector<std::string> reasons(m_columns.size());
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
      const auto& info = m_columns[i];
      const bool fromTable = info.baseTable == m_plan.table && !info.baseColumn.empty() &&
                             (stored.empty() || containsName(stored, info.baseColumn));
      if (fromTable && !m_plan.alias.empty() &&
          strcasecmp(info.tableName.c_str(), m_plan.alias.c_str()) != 0)
        reasons[i] = "Column " + info.name + " comes from table " + m_plan.table + " read as " +
                     info.tableName + ", but the rows written are those read as " + m_plan.alias +
                     "; it cannot be written";
      else if (!fromTable)
        reasons[i] = "Column " + info.name + " is computed and cannot be written";
      else if (containsName(generated, info.baseColumn))
        reasons[i] = "Column " + info.name + " is generated by the database and cannot be written";
    }
    m_readOnly = std::move(reasons);
  }
  const std::string& reason = (*m_readOnly)[column];
  if (!reason.empty()) throw Error(reason);
}

void OdbcRecordSet::setValue(int ordinal, std::optional<std::string_view> value) {
  const std::size_t column = internalOrdinal(ordinal);
  if (!m_plan.updatable) throw Error(m_plan.reason);
  if (!m_open || m_eof) throw Error("There is no current row to write to");
  checkWritable(column);
  if (!m_spool) spoolRemainingRows();
  if (!m_writer)
    m_writer = std::make_unique<OdbcRowWriter>(m_session, m_plan, m_columns, m_commits);
  m_pending[column] = value ? std::optional<std::string>(std::string(*value)) : std::nullopt;
  m_changed[column] = true;
  m_hasChanges = true;
}

void OdbcRecordSet::writePendingChanges() {
  if (!m_hasChanges) return;
  std::vector<OdbcRowWriter::Change> changes;
  for (std::size_t i = 0; i < m_columns.size(); ++i)
    if (m_changed[i]) changes.emplace_back(static_cast<int>(i), std::move(m_pending[i]));
  // The row keeps its old values if the write fails: nothing stays pending.
  discardPendingChanges();
  m_writer->write(changes, m_row);
}

void OdbcRecordSet::discardPendingChanges() {
  if (!m_hasChanges) return;
  std::fill(m_changed.begin(), m_changed.end(), false);
  for (auto& pending : m_pending) pending.reset();
  m_hasChanges = false;
}

void OdbcRecordSet::moveNext() {
  if (!m_open || m_eof) return;
  writePendingChanges();
  readRow();
}

void OdbcRecordSet::moveFirst() {
  if (!m_open) throw Error("The record set is closed");
  if (m_position <= 1 && !m_spool) return;
  writePendingChanges();
  if (m_writer) m_writer->finish();
  m_writer.reset();
  m_spool.reset();
  m_session->setReadOnly(true);
  m_reader->execute(m_readContext);
  m_cursorOpen = true;
  m_position = 0;
  m_eof = false;
  readRow();
}

void OdbcRecordSet::close() {
  if (!m_open) return;
  m_open = false;
  m_eof = true;
  discardPendingChanges();
  m_reader->closeCursor();
  m_cursorOpen = false;
  m_spool.reset();
  if (m_writer) {
    auto writer = std::move(m_writer);
    writer->finish();
  }
  m_session->setReadOnly(false);
}

}  // namespace rowsmith::db::odbc
