#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/db/api/RecordSet.h"
#include "engine/db/postgres/PostgresCanceller.h"
#include "engine/db/postgres/PostgresHandles.h"
#include "engine/db/postgres/PostgresRowWriter.h"

namespace rowsmith::db {

// The result of one statement on PostgreSQL.
//
// Rows are read on a reading connection of their own, in a READ ONLY
// REPEATABLE READ transaction (the user's statement cannot write), through
// a cursor fetched in batches, each asked for as the one before arrives:
// memory stays flat, and
// every row of the result is visited once however the writes change the
// columns the statement filters or sorts on, since the snapshot does not
// see them. Writes go through the user's connection (PostgresRowWriter).
//
// The result can be updated when its columns come from one table (PQftable)
// that the statement reads only once (PQftable names no alias: see
// StatementTableReads) and that has a primary key, or that has none (rows
// are then found by tableoid and ctid). Key columns missing from the select list are added to the
// statement that runs, after the user's columns, and hidden. Expressions,
// generated and system columns are read-only.
//
// Reading statements and writes can be interrupted through `canceller`
// (PostgresCanceller); an interrupted one raises rowsmith::Cancelled.
//
// Threading: used only by the thread that owns the connection it came from,
// and never after that connection is gone.
class PostgresRecordSet : public RecordSet {
 public:
  // Runs `sql` on `reader`; writes go to `writer`. Raises rowsmith::Error
  // with the database's message, or "CommandText does not return a result
  // set" for a statement without rows (which is then not run).
  PostgresRecordSet(PGconn* writer, PgConnectionPtr reader, const std::string& sql,
                    bool countRecords = true,
                    std::shared_ptr<PostgresCanceller> canceller = nullptr);
  ~PostgresRecordSet() override;

  bool isOpen() const override { return m_open; }
  bool eof() const override { return !m_open || m_eof; }
  void moveFirst() override;
  void moveNext() override;
  void close() override;

  int fieldCount() const override { return static_cast<int>(m_fields.size()); }
  const std::string& fieldName(int ordinal) const override;
  DataType fieldType(int ordinal) const override;
  const Value& value(int ordinal) override;
  void setValue(int ordinal, std::optional<std::string_view> value) override;

  bool supportsUpdates() const override { return m_writer != nullptr; }
  // Counted in the reading snapshot, so exactly the rows the cursor visits;
  // -1 when counting failed.
  long long recordCount() const override { return m_count; }
  bool locateRow(RowLocation& where) override;
  std::string baseColumnName(int ordinal) const override;
  void setBeforeCommit(std::function<void()> hook) override;
  long long rowsKept() const override { return m_writer ? m_writer->rowsKept() : 0; }

 private:
  struct Field {
    std::string name;
    Oid type = 0;
    DataType dataType = DataType::Empty;
    // Attribute number in the base table, or 0 when the field is read-only.
    int column = 0;
    // The column's name in the base table, when it has one.
    std::string baseName;
    // Why the field cannot be written, when it cannot.
    std::string readOnlyReason;
  };

  void describe(PGconn* writer, const std::string& sql);
  // Runs a reading statement that the canceller may interrupt.
  PgResultPtr read(const std::string& sql, const std::string& context);
  // `result` when it holds rows or succeeded; otherwise raises its error.
  PgResultPtr checked(PgResultPtr result, const std::string& context);
  void refuseIfCancelled(const std::string& context) const;
  void startReading();
  void countRows();
  void fetchBatch();
  void checkRow(const char* operation) const;
  void checkOrdinal(int ordinal) const;
  void writeCurrentRow();
  void clearRow();

  PgConnectionPtr m_reader;
  std::shared_ptr<PostgresCanceller> m_canceller;
  std::string m_statement;  // what the cursor runs, hidden key columns included
  bool m_countRecords = true;
  std::vector<Field> m_fields;
  std::vector<int> m_keyOrdinals;  // result ordinals of the key (or tableoid, ctid)
  std::unique_ptr<PostgresRowWriter> m_writer;
  std::string m_whyReadOnly;
  // The table written and the names of its key columns, to find a row again
  // later (none when rows are found by ctid, which moves on every write).
  std::string m_tableSqlName;
  std::vector<std::string> m_keyNames;

  PgResultPtr m_batch;
  int m_batchRow = 0;
  int m_batchRows = 0;
  long long m_rowNumber = 0;  // 0-based number of the current row
  long long m_count = -1;
  bool m_open = false;
  bool m_eof = true;
  bool m_lastBatch = false;
  bool m_fetchSent = false;  // the next batch's FETCH, not yet answered

  std::vector<Value> m_values;
  std::vector<char> m_valueRead;
  std::vector<std::optional<std::string>> m_pending;
  std::vector<char> m_pendingSet;
  bool m_hasPending = false;
};

}  // namespace rowsmith::db
