#include "engine/db/sqlite/SqliteValueText.h"

#include <cstdio>

#include "common/NumberText.h"

namespace rowsmith::db {

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
