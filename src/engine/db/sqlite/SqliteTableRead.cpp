#include "engine/db/sqlite/SqliteTableRead.h"

#include <strings.h>

#include <cctype>

namespace rowsmith::db {

namespace {

// Walks a statement from its start; every step that does not match leaves
// the reader failed, and a failed reader matches nothing more.
class Reader {
 public:
  explicit Reader(std::string_view sql) : m_sql(sql) {}

  bool ok() const { return m_ok; }
  bool atEnd() const { return m_ok && m_at == m_sql.size(); }

  // Skips white space; with `required`, there must be some.
  void space(bool required = false) {
    const std::size_t from = m_at;
    while (m_at < m_sql.size() && std::isspace(static_cast<unsigned char>(m_sql[m_at]))) ++m_at;
    if (required && m_at == from) m_ok = false;
  }
  // A keyword or a character, in any case; false (and nothing read) if the
  // text goes on otherwise.
  bool tryWord(std::string_view word) {
    if (!m_ok || m_sql.size() - m_at < word.size() ||
        strncasecmp(m_sql.data() + m_at, word.data(), word.size()) != 0)
      return false;
    m_at += word.size();
    return true;
  }
  void word(std::string_view word) {
    if (!tryWord(word)) m_ok = false;
  }
  // A name: bare, or in double quotes, brackets or backticks (a doubled
  // quote or backtick inside stands for one).
  std::string name() {
    std::string out;
    if (!m_ok || m_at == m_sql.size()) {
      m_ok = false;
      return out;
    }
    const char open = m_sql[m_at];
    if (open == '"' || open == '`' || open == '[') {
      const char close = open == '[' ? ']' : open;
      for (++m_at; m_at < m_sql.size(); ++m_at) {
        if (m_sql[m_at] != close) {
          out += m_sql[m_at];
        } else if (close != ']' && m_at + 1 < m_sql.size() && m_sql[m_at + 1] == close) {
          out += close;
          ++m_at;
        } else {
          ++m_at;
          return out;
        }
      }
      m_ok = false;  // never closed
      return out;
    }
    auto bare = [](char c, bool first) {
      const auto u = static_cast<unsigned char>(c);
      return std::isalpha(u) || c == '_' || (!first && (std::isdigit(u) || c == '$'));
    };
    while (m_at < m_sql.size() && bare(m_sql[m_at], out.empty())) out += m_sql[m_at++];
    if (out.empty()) m_ok = false;
    return out;
  }
  // Whether the next character is `c`, which is then read.
  bool tryChar(char c) {
    if (!m_ok || m_at == m_sql.size() || m_sql[m_at] != c) return false;
    ++m_at;
    return true;
  }

 private:
  std::string_view m_sql;
  std::size_t m_at = 0;
  bool m_ok = true;
};

}  // namespace

std::optional<SqliteTableName> wholeTableRead(std::string_view sql) {
  Reader in(sql);
  in.space();
  in.word("select");
  in.space(true);
  if (in.tryWord("rowid")) {
    in.space();
    if (!in.tryChar(',')) return std::nullopt;
    in.space();
  }
  if (!in.tryChar('*')) return std::nullopt;
  in.space(true);
  in.word("from");
  in.space(true);
  SqliteTableName name;
  name.table = in.name();
  in.space();
  if (in.tryChar('.')) {
    in.space();
    name.schema = std::move(name.table);
    name.table = in.name();
    in.space();
  }
  in.tryChar(';');
  in.space();
  if (!in.atEnd()) return std::nullopt;
  return name;
}

}  // namespace rowsmith::db
