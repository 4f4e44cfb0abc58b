#include "engine/db/postgres/PostgresStatementText.h"

#include <strings.h>

#include <cctype>

namespace rowsmith::db {

namespace {

bool isWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// Scans the statement's top level word by word; quoted text, comments and
// anything inside parentheses are stepped over.
class Scanner {
 public:
  explicit Scanner(const std::string& sql) : m_sql(sql) {}

  // The next top-level word and where it starts; false at the end.
  bool nextWord(std::string& word, std::size_t& start) {
    const std::size_t n = m_sql.size();
    while (m_pos < n) {
      const char c = m_sql[m_pos];
      if (c == '-' && next() == '-') {
        const std::size_t eol = m_sql.find('\n', m_pos);
        m_pos = eol == std::string::npos ? n : eol + 1;
      } else if (c == '/' && next() == '*') {
        skipBlockComment();
      } else if (c == '\'') {
        const bool escapes = m_pos > 0 && (m_sql[m_pos - 1] == 'E' || m_sql[m_pos - 1] == 'e');
        skipQuoted('\'', escapes);
      } else if (c == '"') {
        skipQuoted('"', false);
      } else if (c == '$' && skipDollarQuote()) {
      } else if (c == '(') {
        ++m_depth;
        ++m_pos;
      } else if (c == ')') {
        if (m_depth > 0) --m_depth;
        ++m_pos;
      } else if (isWordChar(c)) {
        const std::size_t begin = m_pos;
        while (m_pos < n && isWordChar(m_sql[m_pos])) ++m_pos;
        // E'...' starts with a word character; let the quote be seen next.
        if (m_depth == 0) {
          word = m_sql.substr(begin, m_pos - begin);
          start = begin;
          return true;
        }
      } else {
        ++m_pos;
      }
    }
    return false;
  }

 private:
  char next() const { return m_pos + 1 < m_sql.size() ? m_sql[m_pos + 1] : '\0'; }

  void skipBlockComment() {
    int nesting = 0;
    const std::size_t n = m_sql.size();
    while (m_pos < n) {
      if (m_sql[m_pos] == '/' && next() == '*') {
        ++nesting;
        m_pos += 2;
      } else if (m_sql[m_pos] == '*' && next() == '/') {
        m_pos += 2;
        if (--nesting == 0) return;
      } else {
        ++m_pos;
      }
    }
  }

  void skipQuoted(char quote, bool backslashEscapes) {
    const std::size_t n = m_sql.size();
    ++m_pos;
    while (m_pos < n) {
      const char c = m_sql[m_pos];
      if (backslashEscapes && c == '\\') {
        m_pos += 2;
      } else if (c == quote) {
        ++m_pos;
        if (m_pos < n && m_sql[m_pos] == quote) {
          ++m_pos;
          continue;
        }
        return;
      } else {
        ++m_pos;
      }
    }
  }

  // $tag$ ... $tag$; false when the "$" starts no dollar quote.
  bool skipDollarQuote() {
    std::size_t end = m_pos + 1;
    while (end < m_sql.size() && m_sql[end] != '$' &&
           (std::isalnum(static_cast<unsigned char>(m_sql[end])) || m_sql[end] == '_'))
      ++end;
    if (end >= m_sql.size() || m_sql[end] != '$') return false;
    if (end > m_pos + 1 && std::isdigit(static_cast<unsigned char>(m_sql[m_pos + 1])))
      return false;  // $1 is a parameter
    const std::string tag = m_sql.substr(m_pos, end - m_pos + 1);
    const std::size_t close = m_sql.find(tag, end + 1);
    m_pos = close == std::string::npos ? m_sql.size() : close + tag.size();
    return true;
  }

  const std::string& m_sql;
  std::size_t m_pos = 0;
  int m_depth = 0;
};

bool sameWord(const std::string& word, const char* expected) {
  return strcasecmp(word.c_str(), expected) == 0;
}

}  // namespace

std::string PostgresStatementText::trimmed(const std::string& sql) {
  std::size_t end = sql.size();
  while (end > 0 && (std::isspace(static_cast<unsigned char>(sql[end - 1])) || sql[end - 1] == ';'))
    --end;
  return sql.substr(0, end);
}

std::optional<std::string> PostgresStatementText::withExtraColumns(const std::string& sql,
                                                                   const std::string& columns) {
  Scanner scanner(sql);
  std::string word;
  std::size_t start = 0;
  if (!scanner.nextWord(word, start) || !sameWord(word, "select")) return std::nullopt;
  if (!scanner.nextWord(word, start) || sameWord(word, "distinct")) return std::nullopt;
  do {
    if (sameWord(word, "from"))
      return sql.substr(0, start) + ", " + columns + " " + sql.substr(start);
    // A FROM after these would belong to another SELECT.
    if (sameWord(word, "union") || sameWord(word, "intersect") || sameWord(word, "except"))
      return std::nullopt;
  } while (scanner.nextWord(word, start));
  return std::nullopt;
}

bool PostgresStatementText::locksRows(const std::string& sql) {
  Scanner scanner(sql);
  std::string word, previous;
  std::size_t start = 0;
  while (scanner.nextWord(word, start)) {
    if (sameWord(previous, "for") && (sameWord(word, "update") || sameWord(word, "share") ||
                                      sameWord(word, "no") || sameWord(word, "key")))
      return true;
    previous = word;
  }
  return false;
}

}  // namespace rowsmith::db
