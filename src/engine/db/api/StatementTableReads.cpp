#include "engine/db/api/StatementTableReads.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <vector>

namespace rowsmith::db {

namespace {

// Views inside views are followed this deep.
constexpr int kDeepestView = 8;

struct Token {
  enum class Kind { Word, Name, Open, Close, Comma, Dot, Other } kind;
  // A word in upper case, a name (a word or a quoted name) as written.
  std::string text;
};

bool isWordStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

bool isWordPart(char c) {
  return isWordStart(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '$';
}

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The statement's tokens with comments left out; nothing when a quote or
// comment is left open. With `mysqlRules` a backslash escapes the next
// character in quoted text, "#" and "-- " start comments, "/*!" text is
// read as statement text and "[" quotes nothing; without them "$tag$" quotes
// text as PostgreSQL does.
std::optional<std::vector<Token>> tokens(const std::string& sql, bool mysqlRules) {
  std::vector<Token> out;
  const std::size_t n = sql.size();
  auto at = [&](std::size_t k) { return k < n ? sql[k] : '\0'; };
  std::size_t i = 0;
  while (i < n) {
    const char c = sql[i];
    if ((c == '-' && at(i + 1) == '-' &&
         (!mysqlRules || std::isspace(static_cast<unsigned char>(at(i + 2))) || i + 2 == n)) ||
        (mysqlRules && c == '#')) {
      const std::size_t end = sql.find('\n', i);
      i = end == std::string::npos ? n : end + 1;
    } else if (c == '/' && at(i + 1) == '*') {
      if (mysqlRules && at(i + 2) == '!') {
        i += 3;
        continue;
      }
      const std::size_t end = sql.find("*/", i + 2);
      if (end == std::string::npos) return std::nullopt;
      i = end + 2;
    } else if (mysqlRules && c == '*' && at(i + 1) == '/') {
      i += 2;  // the end of "/*!" text
    } else if (c == '\'' || c == '"' || c == '`' || (c == '[' && !mysqlRules)) {
      const char close = c == '[' ? ']' : c;
      const bool escapes = mysqlRules && c != '`';
      std::string text;
      std::size_t k = i + 1;
      for (;; ++k) {
        if (k >= n) return std::nullopt;
        if (escapes && sql[k] == '\\') {
          text += at(++k);
        } else if (sql[k] == close) {
          if (close == ']' || at(k + 1) != close) break;
          text += sql[++k];  // a doubled quote stands for itself
        } else {
          text += sql[k];
        }
      }
      i = k + 1;
      out.push_back({c == '\'' ? Token::Kind::Other : Token::Kind::Name, text});
    } else if (!mysqlRules && c == '$' && (i == 0 || !isWordPart(sql[i - 1]))) {
      std::size_t k = i + 1;
      while (k < n && (isWordPart(sql[k]) && sql[k] != '$')) ++k;
      if (at(k) != '$') {
        out.push_back({Token::Kind::Other, "$"});  // a parameter such as $1
        i = k;
        continue;
      }
      const std::string tag = sql.substr(i, k + 1 - i);
      const std::size_t end = sql.find(tag, k + 1);
      if (end == std::string::npos) return std::nullopt;
      out.push_back({Token::Kind::Other, "'"});
      i = end + tag.size();
    } else if (isWordStart(c)) {
      std::size_t k = i;
      while (k < n && isWordPart(sql[k])) ++k;
      out.push_back({Token::Kind::Word, sql.substr(i, k - i)});
      i = k;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      while (i < n && (isWordPart(sql[i]) || sql[i] == '.')) ++i;
      out.push_back({Token::Kind::Other, "0"});
    } else {
      const Token::Kind kind = c == '('   ? Token::Kind::Open
                               : c == ')' ? Token::Kind::Close
                               : c == ',' ? Token::Kind::Comma
                               : c == '.' ? Token::Kind::Dot
                                          : Token::Kind::Other;
      if (!std::isspace(static_cast<unsigned char>(c))) out.push_back({kind, std::string(1, c)});
      ++i;
    }
  }
  return out;
}

// The table references of one statement: those of the statement itself and
// of its subqueries ("" below), and those of each common table expression,
// by the expression's name in lower case. Names are in lower case, without
// their schema.
using References = std::map<std::string, std::vector<std::string>>;

References references(const std::vector<Token>& all, StatementTableReads::Reads reads) {
  static const std::set<std::string> fromEnds = {"WHERE",     "GROUP", "HAVING", "WINDOW", "ORDER",
                                                 "LIMIT",     "UNION", "EXCEPT", "SELECT", "OFFSET",
                                                 "INTERSECT", "FETCH", "FOR",    "QUALIFY"};
  enum class With { None, Name, AfterName, Body, AfterBody };
  struct Frame {
    std::string owner;  // "" or the common table expression read here
    // Whether a table read here can give the result its columns: not in a
    // subquery of an expression.
    bool sourcesColumns = true;
    bool inFrom = false;
    bool expectTable = false;
    With with = With::None;
    std::string cteName;
    int tokens = 0;
  };
  References out;
  out[""];
  std::vector<Frame> frames(1);
  std::string previousWord;
  for (std::size_t i = 0; i < all.size(); ++i) {
    const Token& token = all[i];
    Frame& frame = frames.back();
    const int place = frame.tokens++;
    const bool word = token.kind == Token::Kind::Word;
    const std::string upper = word ? [&] {
      std::string text = token.text;
      std::transform(text.begin(), text.end(), text.begin(),
                     [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
      return text;
    }()
                                   : std::string();
    const std::string before = previousWord;
    previousWord = upper;

    if (token.kind == Token::Kind::Open) {
      Frame inner;
      inner.owner = frame.owner;
      inner.sourcesColumns = false;
      if (frame.with == With::Body) {
        inner.owner = frame.cteName;
        inner.sourcesColumns = true;
        out[inner.owner];
        frame.with = With::AfterBody;
      } else if (frame.with == With::Name) {
        frame.with = With::None;  // "WITH (hint)" after a table
      } else if (frame.expectTable) {
        // A derived table, or joins in parentheses.
        inner.sourcesColumns = frame.sourcesColumns;
        inner.inFrom = true;
        inner.expectTable = true;
        frame.expectTable = false;
      } else if (place == 0 || frame.with == With::AfterBody || before == "UNION" ||
                 before == "ALL" || before == "EXCEPT" || before == "INTERSECT") {
        // The statement itself, or a part of a compound one, in parentheses.
        inner.sourcesColumns = frame.sourcesColumns;
        frame.with = With::None;
      }
      frames.push_back(inner);
      continue;
    }
    if (token.kind == Token::Kind::Close) {
      if (frames.size() > 1) frames.pop_back();
      continue;
    }
    if (token.kind == Token::Kind::Comma) {
      if (frame.with == With::AfterBody)
        frame.with = With::Name;
      else if (frame.inFrom)
        frame.expectTable = true;
      continue;
    }
    if (word && upper == "WITH" && (place == 0 || before == "AS")) {
      frame.with = With::Name;
      continue;
    }
    if (frame.with == With::Name && (word || token.kind == Token::Kind::Name)) {
      if (upper != "RECURSIVE") {
        frame.cteName = lowerCase(token.text);
        frame.with = With::AfterName;
      }
      continue;
    }
    if (frame.with == With::AfterName || frame.with == With::Body) {
      if (upper == "AS") frame.with = With::Body;
      continue;  // column names, NOT, MATERIALIZED
    }
    if (word) {
      if (upper == "FROM" && before != "DISTINCT") {  // not IS [NOT] DISTINCT FROM
        frame.inFrom = true;
        frame.expectTable = true;
        continue;
      }
      if (upper == "JOIN" || upper == "STRAIGHT_JOIN" || upper == "APPLY") {
        frame.inFrom = true;
        frame.expectTable = true;
        continue;
      }
      if (fromEnds.count(upper)) {
        frame.inFrom = false;
        frame.expectTable = false;
        frame.with = With::None;
        continue;
      }
      if (frame.expectTable && (upper == "ONLY" || upper == "LATERAL")) continue;
    }
    if (!frame.expectTable) continue;
    frame.expectTable = false;
    if (!word && token.kind != Token::Kind::Name) continue;
    std::string name = token.text;
    while (i + 2 < all.size() && all[i + 1].kind == Token::Kind::Dot &&
           (all[i + 2].kind == Token::Kind::Word || all[i + 2].kind == Token::Kind::Name)) {
      name = all[i + 2].text;
      i += 2;
    }
    // A table function such as json_each(...) reads no table by its name.
    if (i + 1 < all.size() && all[i + 1].kind == Token::Kind::Open) continue;
    if (frame.sourcesColumns || reads == StatementTableReads::Reads::All)
      out[frame.owner].push_back(lowerCase(name));
  }
  return out;
}

int countReads(const std::string& sql, const std::string& table,
               const StatementTableReads::ViewDefinition& viewDefinition,
               StatementTableReads::Reads reads, int depth, std::set<std::string>& views);

// Reads of `table` through the references of `owner`; common table
// expressions and views on `followed` are not followed again.
int countIn(const References& refs, const std::string& owner, const std::string& table,
            const StatementTableReads::ViewDefinition& viewDefinition,
            StatementTableReads::Reads kind, int depth, std::set<std::string>& followed,
            std::set<std::string>& views) {
  int reads = 0;
  for (const std::string& name : refs.at(owner)) {
    if (refs.count(name) && !name.empty() && !followed.count(name)) {
      followed.insert(name);
      const int inner = countIn(refs, name, table, viewDefinition, kind, depth, followed, views);
      followed.erase(name);
      if (inner < 0) return -1;
      reads += inner;
    } else if (name == table) {
      ++reads;
    } else if (viewDefinition && depth < kDeepestView && !views.count(name)) {
      const auto definition = viewDefinition(name);
      if (!definition) continue;
      views.insert(name);
      const int inner = countReads(*definition, table, viewDefinition, kind, depth + 1, views);
      views.erase(name);
      if (inner < 0) return -1;
      reads += inner;
    }
  }
  return reads;
}

int countReads(const std::string& sql, const std::string& table,
               const StatementTableReads::ViewDefinition& viewDefinition,
               StatementTableReads::Reads kind, int depth, std::set<std::string>& views) {
  // A reading that leaves a quote open is the wrong dialect's; -1 when both
  // do.
  int most = -1;
  for (const bool mysqlRules : {false, true}) {
    const auto list = tokens(sql, mysqlRules);
    if (!list) continue;
    std::set<std::string> followed;
    const int reads =
        countIn(references(*list, kind), "", table, viewDefinition, kind, depth, followed, views);
    if (reads < 0) return -1;
    most = std::max(most, reads);
  }
  return most;
}

}  // namespace

int StatementTableReads::count(const std::string& sql, const std::string& table,
                               const ViewDefinition& viewDefinition, Reads reads) {
  std::set<std::string> views;
  return countReads(sql, lowerCase(table), viewDefinition, reads, 0, views);
}

std::string StatementTableReads::whyNotUpdatable(int reads, const std::string& table) {
  if (reads == 1) return {};
  if (reads > 1)
    return "the query reads table " + table +
           " more than once (a join of the table with itself, or a subquery on it), so which of "
           "its rows a column comes from cannot be told";
  return "the query does not show which rows of table " + table + " its columns come from";
}

}  // namespace rowsmith::db
