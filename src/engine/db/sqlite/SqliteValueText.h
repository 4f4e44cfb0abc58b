#pragma once

#include <sqlite3.h>

#include <optional>
#include <string>
#include <string_view>

namespace rowsmith::db {

// The text forms of a value read from SQLite that leave the backend. Each
// takes the value's storage class and the part of it that class uses, and
// returns the text: `bytes` itself for text and blobs, else written into
// `scratch` (whose size is then not the text's: use the view).
//
// Threading: pure functions.

// A key value as locateRow gives it: NULL as empty text, an integer in
// decimal, a real in "%.17g" form.
std::string_view sqliteKeyText(int type, sqlite3_int64 integer, double real, std::string_view bytes,
                               std::string& scratch);

// A field's value as the worker reads it as text (viewFieldText): NULL as
// std::nullopt, numbers by numberText.
std::optional<std::string_view> sqliteFieldText(int type, sqlite3_int64 integer, double real,
                                                std::string_view bytes, std::string& scratch);

}  // namespace rowsmith::db
