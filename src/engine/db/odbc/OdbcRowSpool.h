#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "engine/db/api/Value.h"

namespace rowsmith::db::odbc {

// Rows kept in an anonymous temporary file: written once, then read back
// in the same order. Holds the rows of a result still to be visited once
// writing starts, so that the rows are read from the database before any
// of them changes (every row visited exactly once) while memory stays flat.
// The file disappears when the spool is destroyed or the process ends.
//
// Threading: used only by the record set's thread.
class OdbcRowSpool {
 public:
  OdbcRowSpool();
  ~OdbcRowSpool();
  OdbcRowSpool(const OdbcRowSpool&) = delete;
  OdbcRowSpool& operator=(const OdbcRowSpool&) = delete;

  void append(const std::vector<Value>& row);
  // Ends writing; reading starts at the first row.
  void rewind();
  // Reads the next row into `row` (same size as appended); false at the end.
  bool readNext(std::vector<Value>& row);
  long long rowCount() const noexcept { return m_rows; }

 private:
  void write(const void* data, std::size_t size);
  void read(void* data, std::size_t size);

  std::FILE* m_file = nullptr;
  long long m_rows = 0;
  long long m_rowsRead = 0;
};

}  // namespace rowsmith::db::odbc
