#include "engine/db/api/ReadOnlyStatement.h"

#include <cctype>
#include <optional>
#include <set>
#include <vector>

#include "common/Error.h"

namespace rowsmith::db {

namespace {

// The statement's words in upper case, and ";" as a word of its own, with
// quoted text and comments left out; nothing when a quote or comment is
// left open. With `mysqlRules`, a backslash escapes the next character in
// quoted text, "#" and "-- " start comments but "--x" does not, "/*!" text
// is read as statement text, and "[" quotes nothing.
std::optional<std::vector<std::string>> statementWords(const std::string& sql, bool mysqlRules) {
  std::vector<std::string> words;
  const std::size_t n = sql.size();
  std::size_t i = 0;
  auto at = [&](std::size_t k) { return k < n ? sql[k] : '\0'; };
  while (i < n) {
    const char c = sql[i];
    const bool lineComment =
        (c == '-' && at(i + 1) == '-' &&
         (!mysqlRules || std::isspace(static_cast<unsigned char>(at(i + 2))) || i + 2 == n)) ||
        (mysqlRules && c == '#');
    if (lineComment) {
      const std::size_t end = sql.find('\n', i);
      i = end == std::string::npos ? n : end + 1;
    } else if (c == '/' && at(i + 1) == '*') {
      if (mysqlRules && at(i + 2) == '!') {
        i += 3;  // read on: the text runs
        continue;
      }
      const std::size_t end = sql.find("*/", i + 2);
      if (end == std::string::npos) return std::nullopt;
      i = end + 2;
    } else if (c == '\'' || c == '"' || c == '`' || (c == '[' && !mysqlRules)) {
      const char close = c == '[' ? ']' : c;
      const bool escapes = mysqlRules && c != '`';
      std::size_t k = i + 1;
      for (;; ++k) {
        if (k >= n) return std::nullopt;
        if (escapes && sql[k] == '\\') {
          ++k;
        } else if (sql[k] == close) {
          if (close != ']' && at(k + 1) == close) {
            ++k;  // a doubled quote stands for itself
          } else {
            break;
          }
        }
      }
      i = k + 1;
    } else if (c == ';') {
      words.emplace_back(";");
      ++i;
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      std::string word;
      while (i < n &&
             (std::isalnum(static_cast<unsigned char>(sql[i])) || sql[i] == '_' || sql[i] == '$'))
        word += static_cast<char>(std::toupper(static_cast<unsigned char>(sql[i++])));
      words.push_back(std::move(word));
    } else if (mysqlRules && c == '*' && at(i + 1) == '/') {
      i += 2;  // the end of "/*!" text
    } else {
      ++i;
    }
  }
  return words;
}

void requireReading(const std::string& sql, bool mysqlRules) {
  const auto words = statementWords(sql, mysqlRules);
  if (!words)
    throw Error(
        "The statement leaves a quote or a comment open; only a single statement that reads is "
        "run");
  std::size_t end = 0;
  while (end < words->size() && (*words)[end] != ";") ++end;
  for (std::size_t k = end; k < words->size(); ++k)
    if ((*words)[k] != ";") ReadOnlyStatement::refuseMoreThanOne();
  if (end == 0 || ((*words)[0] != "SELECT" && (*words)[0] != "WITH"))
    ReadOnlyStatement::refuseWriting();
  static const std::set<std::string> writing = {"INSERT", "UPDATE", "DELETE", "MERGE", "INTO"};
  for (std::size_t k = 0; k < end; ++k) {
    const std::string& word = (*words)[k];
    if (writing.count(word) == 0) continue;
    // FOR UPDATE and FOR NO KEY UPDATE lock the rows they read.
    if (word == "UPDATE" && k > 0 && ((*words)[k - 1] == "FOR" || (*words)[k - 1] == "KEY"))
      continue;
    ReadOnlyStatement::refuseWriting();
  }
}

}  // namespace

void ReadOnlyStatement::refuseWriting() {
  throw Error(
      "The statement would change the database; only a statement that reads is run (a single "
      "SELECT, or WITH ... SELECT)");
}

void ReadOnlyStatement::refuseMoreThanOne() {
  throw Error("Only one statement is run; remove what follows the first \";\"");
}

void ReadOnlyStatement::requireSingleSelect(const std::string& sql) {
  for (const bool mysqlRules : {false, true}) requireReading(sql, mysqlRules);
}

}  // namespace rowsmith::db
