#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rowsmith::journal {

// The undo journal's file format. A journal is the line "rowsmith-journal 1"
// followed by records. A record is one letter, its fields and a line feed;
// a field is its length in bytes, a colon and the bytes ("5:hello"), or "~"
// for NULL, so that any value, line feeds and zero bytes included, is kept
// exactly. Records:
//   S  the run: connection string, job file, start time (ISO 8601, UTC)
//   T  the table: its SQL name, the number of key columns and their names,
//      the number of filtered columns and their names
//   N  the table has no lasting key: why (such a run cannot be undone)
//   R  a row written: its key values, the number of columns written, then
//      for each the column's number in T, its old and its new value
//   E  the run's end: its last status text
// A record cut short (a run killed while writing it) ends the journal.
//
// Threading: plain functions and a reader object; no shared state.
inline constexpr std::string_view kJournalHeader = "rowsmith-journal 1\n";

using Field = std::optional<std::string>;

// Writes one field in the journal's form at `out`, which has room for it
// (at most kFieldRoom bytes beside the value's own), and returns the end of
// what was written: for records written straight into a buffer sized
// beforehand. writeNumberField writes `number` as a field ("2:17").
inline constexpr std::size_t kFieldRoom = 24;
char* writeField(char* out, std::optional<std::string_view> value);
char* writeNumberField(char* out, long long number);
// Appends one field in the journal's form.
void appendField(std::string& out, std::optional<std::string_view> value);

// One record as read back.
struct Record {
  char type = 0;
  std::vector<Field> fields;
  // Where the record starts in the file.
  long long offset = 0;
};

// Reads records one after the other from an open file.
class RecordReader {
 public:
  // `file` stays owned by the caller. `path` names it in messages.
  RecordReader(std::FILE* file, std::string path);

  // Checks the first line; throws rowsmith::Error when the file is not a
  // journal.
  void readHeader();
  // The next whole record, or false at the end (or at a record cut short).
  // Throws rowsmith::Error, naming the place, when a record is damaged.
  bool next(Record& record);
  // Reads the record that starts at `offset`.
  Record readAt(long long offset);

 private:
  [[noreturn]] void damaged(long long offset) const;
  // 0 at the end of the file, -1 when cut short.
  int readField(Field& field);

  std::FILE* m_file;
  std::string m_path;
};

// The field as a number; throws rowsmith::Error for anything else.
long long fieldNumber(const Field& field, const std::string& path);

}  // namespace rowsmith::journal
