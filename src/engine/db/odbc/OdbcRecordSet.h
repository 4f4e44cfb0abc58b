#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/db/api/CommitGroup.h"
#include "engine/db/api/RecordSet.h"
#include "engine/db/odbc/OdbcColumn.h"
#include "engine/db/odbc/OdbcUpdatePlan.h"
#include "engine/db/odbc/OdbcValueReader.h"

namespace rowsmith::db::odbc {

class OdbcRowSpool;
class OdbcRowWriter;
class OdbcSession;
class OdbcStatement;

// The result of one statement through ODBC, read with a forward-only
// cursor. Until the first write the rows stream straight from the driver
// (a preview reads only what it shows). The first setValue moves the rest
// of the result into a temporary file (OdbcRowSpool) and closes the cursor:
// from then on the rows come from that file, so writes can neither bring a
// row back nor hide one, whatever column the query filters or sorts on, and
// no cursor has to survive a commit. Writes go through OdbcRowWriter.
//
// Threading: used only by the thread that opened it, like its connection.
class OdbcRecordSet final : public RecordSet {
 public:
  // `reader` holds the executed statement `plan.statement`; `columns`
  // describes its columns, hidden key columns first.
  OdbcRecordSet(std::shared_ptr<OdbcSession> session, std::unique_ptr<OdbcStatement> reader,
                std::vector<OdbcColumn> columns, OdbcUpdatePlan plan, std::string readContext);
  ~OdbcRecordSet() override;

  bool isOpen() const override { return m_open; }
  bool eof() const override { return m_eof; }
  void moveFirst() override;
  void moveNext() override;
  void close() override;

  int fieldCount() const override;
  const std::string& fieldName(int ordinal) const override;
  DataType fieldType(int ordinal) const override;
  const Value& value(int ordinal) override;
  void setValue(int ordinal, std::optional<std::string_view> value) override;

  bool supportsUpdates() const override { return m_plan.updatable; }
  long long recordCount() const override { return -1; }
  bool locateRow(RowLocation& where) override;
  std::string baseColumnName(int ordinal) const override;
  void setBeforeCommit(std::function<void()> hook) override {
    m_commits.setBeforeCommit(std::move(hook));
  }
  long long rowsKept() const override { return m_commits.keptRows(); }

 private:
  std::size_t internalOrdinal(int ordinal) const;
  void readRow();
  void spoolRemainingRows();
  void checkWritable(std::size_t column);
  void writePendingChanges();
  void discardPendingChanges();

  std::shared_ptr<OdbcSession> m_session;
  std::unique_ptr<OdbcStatement> m_reader;
  std::vector<OdbcColumn> m_columns;
  OdbcUpdatePlan m_plan;
  std::string m_readContext;
  OdbcValueReader m_valueReader;

  std::vector<Value> m_row;
  bool m_open = true;
  bool m_eof = false;
  long long m_position = 0;
  bool m_cursorOpen = true;

  std::unique_ptr<OdbcRowSpool> m_spool;
  // Declared before the writer, which refers to it.
  CommitGroup m_commits;
  std::unique_ptr<OdbcRowWriter> m_writer;
  std::vector<std::optional<std::string>> m_pending;
  std::vector<bool> m_changed;
  bool m_hasChanges = false;
  // Why each column cannot be written (empty when it can); learned at the
  // first write.
  std::optional<std::vector<std::string>> m_readOnly;
};

}  // namespace rowsmith::db::odbc
