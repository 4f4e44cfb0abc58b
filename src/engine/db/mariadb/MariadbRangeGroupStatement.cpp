#include "engine/db/mariadb/MariadbRangeGroupStatement.h"

#include <cerrno>
#include <cstdlib>

namespace rowsmith::db {

namespace {

const char* const kTarget = "rowsmith_target";
const char* const kRows = "rowsmith_rows";

// A slot: '+' for a row of the group ('-' for none), then for each changed
// column its new and its old value, each as a NULL mark ('1' for NULL, '0'
// otherwise), an offset (from 1) and a length in bytes, each of ten digits.
constexpr std::size_t kNumberWidth = 10;
constexpr std::size_t kValueWidth = 1 + 2 * kNumberWidth;
constexpr std::size_t kColumnWidth = 2 * kValueWidth;
// Keys may spread over this many values more than twice the group's rows.
constexpr long long kSpareSlots = 64;

bool parseInteger(const std::string& text, long long& out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  out = std::strtoll(text.c_str(), &end, 10);
  return errno == 0 && end && *end == '\0' &&
         (text[0] == '-' || (text[0] >= '0' && text[0] <= '9'));
}

void appendBytes(MYSQL* connection, std::string& out, const std::string& bytes) {
  out += "_binary'";
  const std::size_t start = out.size();
  out.resize(start + 2 * bytes.size() + 1);
  const unsigned long length =
      mysql_real_escape_string(connection, &out[start], bytes.data(), bytes.size());
  out.resize(start + length);
  out += '\'';
}

// Writes `value`'s NULL mark, offset and length into `slot`, and appends
// its bytes to `values`.
void putNumber(char* out, std::size_t number) {
  for (std::size_t i = kNumberWidth; i-- > 0; number /= 10)
    out[i] = static_cast<char>('0' + number % 10);
}

void putValue(char* slot, const std::optional<std::string>& value, std::string& values) {
  slot[0] = value ? '0' : '1';
  putNumber(slot + 1, values.size() + 1);
  putNumber(slot + 1 + kNumberWidth, value ? value->size() : 0);
  if (value) values += *value;
}

}  // namespace

std::optional<std::string> MariadbRangeGroupStatement::build(
    MYSQL* connection, const MariadbTableInfo& table, const std::vector<bool>& binary,
    const std::vector<int>& columns, const std::vector<const MariadbRowChanges*>& rows) {
  if (table.key().size() != 1 || !table.columns()[table.key()[0]].integer || rows.empty())
    return std::nullopt;
  std::vector<long long> keys(rows.size());
  long long low = 0;
  long long high = 0;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (!parseInteger(rows[r]->key[0], keys[r])) return std::nullopt;
    low = r == 0 ? keys[r] : std::min(low, keys[r]);
    high = r == 0 ? keys[r] : std::max(high, keys[r]);
  }
  const long long limit = 2 * static_cast<long long>(rows.size()) + kSpareSlots;
  // high - low without overflow: both lie in the signed range.
  if (high - low >= limit || high - low < 0) return std::nullopt;
  const std::size_t slots = static_cast<std::size_t>(high - low) + 1;

  const std::size_t width = 1 + columns.size() * kColumnWidth;
  std::string header(slots * width, '-');
  std::vector<std::string> newValues(columns.size());
  std::vector<std::string> oldValues(columns.size());
  // Whether a column's new or old values include a NULL: only then is the
  // mark looked at.
  std::vector<char> newNulls(columns.size(), false);
  std::vector<char> oldNulls(columns.size(), false);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    char* slot = &header[static_cast<std::size_t>(keys[r] - low) * width];
    if (*slot != '-') return std::nullopt;  // a key twice
    *slot = '+';
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const MariadbColumnChange& change = rows[r]->changes[i];
      char* column = slot + 1 + i * kColumnWidth;
      putValue(column, change.newValue, newValues[i]);
      putValue(column + kValueWidth, change.oldValue, oldValues[i]);
      if (!change.newValue) newNulls[i] = true;
      if (!change.oldValue) oldNulls[i] = true;
    }
  }

  const std::string source = std::string(kRows) + ".";
  const std::string target = std::string(kTarget) + ".";
  const std::string key = target + mariadbIdentifier(table.columns()[table.key()[0]].name);
  // The slot's first byte, from 1.
  const std::string at =
      "(" + key + " - (" + std::to_string(low) + ")) * " + std::to_string(width) + " + ";
  auto part = [&](std::size_t offset, std::size_t length) {
    return "SUBSTRING(" + source + "h, " + at + std::to_string(offset + 1) + ", " +
           std::to_string(length) + ")";
  };
  auto number = [&](std::size_t offset) {
    return "CAST(" + part(offset, kNumberWidth) + " AS UNSIGNED)";
  };
  // The value whose mark starts at `offset` in the slot, out of `values`.
  auto value = [&](std::size_t offset, const std::string& values, bool nulls) {
    const std::string bytes = "SUBSTRING(" + source + values + ", " + number(offset + 1) + ", " +
                              number(offset + 1 + kNumberWidth) + ")";
    return nulls ? "IF(" + part(offset, 1) + " = '1', NULL, " + bytes + ")" : bytes;
  };

  std::size_t total = header.size();
  for (std::size_t i = 0; i < columns.size(); ++i)
    total += newValues[i].size() + oldValues[i].size();
  std::string statement;
  statement.reserve(2 * total + 4096 * (columns.size() + 1));
  statement += "UPDATE " + table.sqlName() + " AS " + kTarget + ", (SELECT ";
  appendBytes(connection, statement, header);
  statement += " AS h";
  std::string set;
  // Keys of the range outside the group have an empty slot.
  std::string where = key + " BETWEEN " + std::to_string(low) + " AND " + std::to_string(high);
  if (slots != rows.size()) where += " AND " + part(0, 1) + " = '+'";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const std::string n = std::to_string(i);
    statement += ", ";
    appendBytes(connection, statement, newValues[i]);
    statement += " AS n" + n + ", ";
    appendBytes(connection, statement, oldValues[i]);
    statement += " AS o" + n;
    const std::size_t offset = 1 + i * kColumnWidth;
    const bool bytes = binary[columns[i]];
    const std::string name = target + mariadbIdentifier(table.columns()[columns[i]].name);
    const std::string newValue = value(offset, "n" + n, newNulls[i]);
    set += (i ? ", " : "") + name + " = " +
           (bytes ? newValue : "CONVERT(" + newValue + " USING utf8mb4)");
    where += " AND " + (bytes ? name : "CAST(CONVERT(" + name + " USING utf8mb4) AS BINARY)") +
             " <=> " + value(offset + kValueWidth, "o" + n, oldNulls[i]);
  }
  statement += std::string(") AS ") + kRows + " SET " + set + " WHERE " + where;
  return statement;
}

}  // namespace rowsmith::db
