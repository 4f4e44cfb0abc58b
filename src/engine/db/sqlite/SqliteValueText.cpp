#include "engine/db/sqlite/SqliteValueText.h"

#include <charconv>
#include <cstdio>

namespace rowsmith::db {

namespace {

// Writes a number into `scratch`, which keeps its size (and so its buffer)
// from call to call, and views it.
template <typename Number>
std::string_view numberText(Number number, std::string& scratch) {
  if (scratch.size() < 32) scratch.resize(32);
  char* begin = scratch.data();
  const char* end = std::to_chars(begin, begin + scratch.size(), number).ptr;
  return std::string_view(begin, static_cast<std::size_t>(end - begin));
}

}  // namespace

std::string_view sqliteKeyText(int type, sqlite3_int64 integer, double real, std::string_view bytes,
                               std::string& scratch) {
  switch (type) {
    case SQLITE_NULL:
      return {};
    case SQLITE_INTEGER:
      return numberText(integer, scratch);
    case SQLITE_FLOAT: {
      char text[32];
      std::snprintf(text, sizeof text, "%.17g", real);
      scratch.assign(text);
      return scratch;
    }
    default:
      return bytes;
  }
}

std::optional<std::string_view> sqliteFieldText(int type, sqlite3_int64 integer, double real,
                                                std::string_view bytes, std::string& scratch) {
  switch (type) {
    case SQLITE_NULL:
      return std::nullopt;
    case SQLITE_INTEGER:
      return numberText(integer, scratch);
    case SQLITE_FLOAT:
      return numberText(real, scratch);
    default:
      return bytes;
  }
}

}  // namespace rowsmith::db
