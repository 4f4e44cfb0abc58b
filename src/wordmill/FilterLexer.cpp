#include "wordmill/FilterLexer.h"

#include "wordmill/FilterCompileError.h"
#include "wordmill/Utf8.h"

namespace rowsmith::wordmill {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string FilterLexer::decodeEscapes(std::string_view raw,
                                       std::vector<std::size_t>* sourceOffsets) {
  std::string out;
  out.reserve(raw.size());
  auto put = [&](char c, std::size_t from) {
    out.push_back(c);
    if (sourceOffsets) sourceOffsets->push_back(from);
  };
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\' || i + 1 == raw.size()) {
      put(raw[i], i);
      continue;
    }
    const char next = raw[i + 1];
    switch (next) {
      case '\\':
        put('\\', i);
        ++i;
        break;
      case '"':
        put('"', i);
        ++i;
        break;
      case 'n':
        put('\n', i);
        ++i;
        break;
      case 'r':
        put('\r', i);
        ++i;
        break;
      case 't':
        put('\t', i);
        ++i;
        break;
      case 'x':
        if (i + 3 < raw.size() && hexValue(raw[i + 2]) >= 0 && hexValue(raw[i + 3]) >= 0) {
          put(static_cast<char>(hexValue(raw[i + 2]) * 16 + hexValue(raw[i + 3])), i);
          i += 3;
          break;
        }
        [[fallthrough]];
      default:
        // Any other pair stays as written: the backslash, then the character.
        put('\\', i);
        break;
    }
  }
  return out;
}

std::vector<FilterToken> FilterLexer::tokenise(std::string_view line, int lineNumber) {
  std::vector<FilterToken> tokens;
  std::size_t pos = 0;
  while (pos < line.size()) {
    const char c = line[pos];
    if (isBlank(c)) {
      ++pos;
      continue;
    }
    if (c == '#') break;
    FilterToken token;
    token.offset = pos;
    if (c == '"') {
      std::size_t end = pos + 1;
      while (end < line.size() && line[end] != '"') end += line[end] == '\\' ? 2 : 1;
      if (end >= line.size()) {
        throw FilterCompileError(lineNumber, utf8::columnOf(line, pos),
                                 "unterminated text: add the closing \" (write \\\" for a quote "
                                 "inside the text)");
      }
      const std::string_view raw = line.substr(pos + 1, end - pos - 1);
      token.kind = FilterToken::Kind::kText;
      token.text = decodeEscapes(raw, &token.sourceOffsets);
      for (auto& offset : token.sourceOffsets) offset += pos + 1;
      token.sourceOffsets.push_back(end);
      pos = end + 1;
    } else if (c == '{' || c == '}') {
      token.kind = c == '{' ? FilterToken::Kind::kOpenBrace : FilterToken::Kind::kCloseBrace;
      token.text = std::string(1, c);
      ++pos;
    } else {
      std::size_t end = pos;
      while (end < line.size() && !isBlank(line[end]) && line[end] != '"' && line[end] != '#' &&
             line[end] != '{' && line[end] != '}') {
        ++end;
      }
      token.kind = FilterToken::Kind::kWord;
      token.text = std::string(line.substr(pos, end - pos));
      pos = end;
    }
    tokens.push_back(std::move(token));
  }
  return tokens;
}

}  // namespace rowsmith::wordmill
