#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/db/api/Value.h"

namespace rowsmith::db {

// Where a row lives, so that it can be found again after the run: the table
// written to, as SQL names it ("main"."posts"), and the names and values (as
// text) of the key columns that identify the row there.
struct RowLocation {
  std::string table;
  std::vector<std::string> keyColumns;
  std::vector<std::string> keyValues;
};

// One field of a row written, as an undo journal keeps it: its text before
// and after the write (std::nullopt for NULL), in the form viewFieldText
// gives (numbers by numberText).
struct WrittenField {
  int ordinal = 0;
  std::optional<std::string_view> oldValue;
  std::optional<std::string_view> newValue;
};

// Told of the rows a record set writes (RecordSet::reportWrittenRows).
class WrittenRowSink {
 public:
  virtual ~WrittenRowSink() = default;
  // A row written: its key values as locateRow gives them for the row as it
  // was read, and its written fields. The views last for the call only.
  // Must not throw: a sink that fails keeps its error for later.
  virtual void rowWritten(std::span<const std::string_view> key,
                          std::span<const WrittenField> fields) noexcept = 0;
};

// An open result of one statement, positioned on one row at a time.
//
// Writes go to the current row (setValue) and become permanent when the
// record set moves past the row (moveNext); close() discards the writes of
// the row it stands on. Backends may group several rows into one database
// transaction as long as what is left after close(), an error or a killed
// process matches row-by-row commits (see README, "Updatable record sets").
//
// Threading: a record set, like its connection, is used only by the thread
// that opened it.
class RecordSet {
 public:
  virtual ~RecordSet() = default;

  // False once closed (a closed record set has no rows).
  virtual bool isOpen() const = 0;
  virtual bool eof() const = 0;
  virtual void moveFirst() = 0;
  // Commits the current row's writes, then moves on.
  virtual void moveNext() = 0;
  // Discards the current row's uncommitted writes and commits the rest.
  virtual void close() = 0;

  virtual int fieldCount() const = 0;
  virtual const std::string& fieldName(int ordinal) const = 0;
  virtual DataType fieldType(int ordinal) const = 0;
  // The field's value on the current row; throws rowsmith::Error when it
  // cannot be read.
  virtual const Value& value(int ordinal) = 0;
  // Text, or NULL for std::nullopt. Throws rowsmith::Error for a read-only
  // or computed column, or when the record set cannot be updated.
  virtual void setValue(int ordinal, std::optional<std::string_view> value) = 0;

  virtual bool supportsUpdates() const = 0;
  // Number of rows, or a value below 1 when unknown.
  virtual long long recordCount() const = 0;

  // Fills `where` for the current row of an updatable record set and
  // returns true; false when its rows have no lasting key (a row found by
  // its physical place, which moves when the row is written), with the
  // reason in `where.table`. Backends that cannot tell return false.
  virtual bool locateRow(RowLocation& where) {
    where = {};
    where.table = "the database does not say which key identifies its rows";
    return false;
  }
  // Like locateRow, for a caller that keeps `where` from a call before on
  // another row of this record set: only where.keyValues must be filled
  // (backends may leave the table and key columns as they are).
  virtual bool currentKeyValues(RowLocation& where) { return locateRow(where); }
  // The name in its table of the column that field `ordinal` writes to.
  virtual std::string baseColumnName(int ordinal) const { return fieldName(ordinal); }
  // `hook` is called just before each commit of written rows (an undo
  // journal makes its entries durable there). When it throws, nothing more
  // is committed: the open group is rolled back and the error is raised as
  // a failed commit's.
  virtual void setBeforeCommit(std::function<void()> hook) { (void)hook; }
  // Asks the record set to tell `sink` of every row it writes from now on,
  // as it writes it and before the commit that keeps it (or to stop, for
  // nullptr); true when it will, and the caller need not record each row
  // itself. Rows it tells of may still be rolled back. Backends that cannot
  // return false.
  virtual bool reportWrittenRows(WrittenRowSink* sink) {
    (void)sink;
    return false;
  }
  // How many of the rows written so far (a row counts once, however many of
  // its fields were set) the database has committed; rows moved past but
  // not yet applied are not among them. -1 when the record set does not
  // count: each row then counts as applied once moved past.
  virtual long long rowsKept() const { return -1; }
};

}  // namespace rowsmith::db
