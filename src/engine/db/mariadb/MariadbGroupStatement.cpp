#include "engine/db/mariadb/MariadbGroupStatement.h"

#include <cctype>

namespace rowsmith::db {

namespace {

const char* const kTarget = "rowsmith_target";
const char* const kRows = "rowsmith_rows";

void appendHex(std::string& out, const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  out += "X'";
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  out += '\'';
}

void appendText(MYSQL* connection, std::string& out, const std::string& text) {
  const std::size_t start = out.size();
  out.resize(start + 2 * text.size() + 3);
  out[start] = '\'';
  const unsigned long length =
      mysql_real_escape_string(connection, &out[start + 1], text.data(), text.size());
  out.resize(start + 1 + length);
  out += '\'';
}

bool isInteger(const std::string& text) {
  std::size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i)
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  return true;
}

}  // namespace

std::string MariadbGroupStatement::build(MYSQL* connection, const MariadbTableInfo& table,
                                         const std::vector<bool>& binary,
                                         const std::vector<int>& columns,
                                         const std::vector<const MariadbRowChanges*>& rows,
                                         bool valuesLists) {
  const std::vector<int>& key = table.key();
  // The rows: SELECT k0, o0, n0, ... naming the columns, then the others as
  // UNION ALL VALUES (...), (...) or UNION ALL SELECT ...
  std::string derived;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const MariadbRowChanges* row = rows[r];
    const bool first = r == 0;
    if (first)
      derived += "SELECT ";
    else if (!valuesLists)
      derived += " UNION ALL SELECT ";
    else
      derived += r == 1 ? " UNION ALL VALUES (" : ", (";
    for (std::size_t i = 0; i < key.size(); ++i) {
      const std::string& value = row->key[i];
      if (i) derived += ", ";
      if (table.columns()[key[i]].integer && isInteger(value))
        derived += value;
      else if (binary[key[i]])
        appendHex(derived, value);
      else
        appendText(connection, derived, value);
      if (first) derived += " AS k" + std::to_string(i);
    }
    for (std::size_t i = 0; i < row->changes.size(); ++i) {
      const MariadbColumnChange& change = row->changes[i];
      derived += ", ";
      if (change.oldValue)
        appendHex(derived, *change.oldValue);
      else
        derived += "NULL";
      if (first) derived += " AS o" + std::to_string(i);
      derived += ", ";
      if (!change.newValue)
        derived += "NULL";
      else if (binary[change.column])
        appendHex(derived, *change.newValue);
      else
        appendText(connection, derived, *change.newValue);
      if (first) derived += " AS n" + std::to_string(i);
    }
    if (!first && valuesLists) derived += ')';
  }

  const std::string target = std::string(kTarget) + ".";
  const std::string source = std::string(kRows) + ".";
  std::string on, set;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const auto& column = table.columns()[key[i]];
    const std::string value = source + "k" + std::to_string(i);
    on += (i ? " AND " : "") + target + mariadbIdentifier(column.name) + " = " +
          (column.decimal ? "CAST(" + value + " AS DECIMAL(65,30))" : value);
  }
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const std::string name = target + mariadbIdentifier(table.columns()[columns[i]].name);
    const std::string n = std::to_string(i);
    on += " AND " +
          (binary[columns[i]] ? name : "CAST(CONVERT(" + name + " USING utf8mb4) AS BINARY)") +
          " <=> " + source + "o" + n;
    set += (i ? ", " : "") + name + " = " + source + "n" + n;
  }
  return "UPDATE " + table.sqlName() + " AS " + kTarget + " JOIN (" + derived + ") AS " + kRows +
         " ON " + on + " SET " + set;
}

}  // namespace rowsmith::db
