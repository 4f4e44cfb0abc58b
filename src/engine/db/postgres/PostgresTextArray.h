#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rowsmith::db {

// A one-dimensional text[] in PostgreSQL's binary format, built element by
// element, to be sent as a parameter of format 1: the server takes each
// element's bytes as they are, with no quoting to add or to parse.
//
// Threading: a value type; one thread at a time.
class PostgresTextArray {
 public:
  PostgresTextArray();

  // Appends an element; std::nullopt is NULL.
  void append(const std::optional<std::string>& value);
  void append(std::string_view value);

  // The parameter's bytes, valid until the next append.
  const std::string& bytes();
  int size() const { return m_elements; }

 private:
  std::string m_bytes;
  int m_elements = 0;
  bool m_hasNull = false;
};

}  // namespace rowsmith::db
