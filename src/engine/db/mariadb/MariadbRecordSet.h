#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/db/api/RecordSet.h"
#include "engine/db/mariadb/MariadbCanceller.h"
#include "engine/db/mariadb/MariadbHandles.h"
#include "engine/db/mariadb/MariadbRowWriter.h"

namespace rowsmith::db {

// The result of one statement on MariaDB or MySQL.
//
// Rows are read on a reading connection of their own, in a READ ONLY
// transaction with a consistent snapshot, streamed from the server as they
// are visited (mysql_use_result): memory stays flat, and every row of the
// result is visited once however the writes change the columns the
// statement filters or sorts on, since the snapshot does not see them.
// Writes go through the user's connection (MariadbRowWriter). Only a single
// SELECT (or WITH ... SELECT) is run (ReadOnlyStatement).
//
// The result can be updated when its columns come from one base table, read
// through one alias or, when the table is joined with itself, through the
// one alias whose key columns the result holds (the server names each
// column's table, alias and column). The key is the primary key or a unique
// key over NOT NULL columns; a table without either is read-only.
// Expressions and generated columns are read-only.
//
// Threading: used only by the thread that owns the connection it came from,
// and never after that connection is gone.
class MariadbRecordSet : public RecordSet {
 public:
  // Runs `sql` on `reader`; writes go to `writer`, which also answers the
  // catalog questions. Raises rowsmith::Error with the database's message,
  // a ReadOnlyStatement refusal, or "CommandText does not return a result
  // set" for a statement without rows (which is then not run).
  MariadbRecordSet(MYSQL* writer, MysqlPtr reader, const std::string& sql, bool countRecords,
                   std::shared_ptr<MariadbCanceller> canceller);
  ~MariadbRecordSet() override;

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
  // Counted in the reading snapshot, so exactly the rows visited; -1 when
  // counting failed.
  long long recordCount() const override { return m_count; }
  bool locateRow(RowLocation& where) override;
  std::string baseColumnName(int ordinal) const override;
  void setBeforeCommit(std::function<void()> hook) override;
  long long rowsKept() const override { return m_writer ? m_writer->rowsKept() : 0; }

 private:
  struct Field {
    std::string name;
    MYSQL_FIELD metadata{};
    DataType dataType = DataType::Empty;
    // Index into the table's columns, or -1 when the field is read-only.
    int column = -1;
    // Why the field cannot be written: the whole message.
    std::string readOnlyMessage;
    // The column's name in its table, when it has one.
    std::string baseName;
  };

  void prepare(MYSQL* writer, const std::string& sql);
  void plan(MYSQL* writer, MYSQL_RES* metadata);
  void startReading();
  void countRows();
  void fetchRow();
  void checkRow(const char* operation) const;
  void checkOrdinal(int ordinal) const;
  void refuseIfCancelled(const std::string& context) const;
  void writeCurrentRow();
  void clearRow();
  // Drops the result; `stopServer` first stops the server sending the rows
  // not read yet (there are some).
  void endReading(bool stopServer);

  MysqlPtr m_reader;
  MYSQL* m_control;  // the user's connection: writes, catalog, stopping a read
  std::shared_ptr<MariadbCanceller> m_canceller;
  std::string m_statement;
  bool m_countRecords = true;
  std::vector<Field> m_fields;
  std::vector<int> m_keyOrdinals;
  std::unique_ptr<MariadbRowWriter> m_writer;
  // The table written and its key's column names, to find a row again.
  std::string m_tableSqlName;
  std::vector<std::string> m_keyNames;
  std::string m_whyReadOnly;

  MysqlResultPtr m_result;
  MYSQL_ROW m_row = nullptr;
  unsigned long* m_lengths = nullptr;
  long long m_rowNumber = 0;
  long long m_count = -1;
  bool m_open = false;
  bool m_eof = true;

  std::vector<Value> m_values;
  std::vector<char> m_valueRead;
  std::vector<std::optional<std::string>> m_pending;
  std::vector<char> m_pendingSet;
  bool m_hasPending = false;
};

}  // namespace rowsmith::db
