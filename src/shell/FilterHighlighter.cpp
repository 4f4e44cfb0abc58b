#include "shell/FilterHighlighter.h"

#include <QColor>
#include <QTextDocument>

#include "wordmill/FilterParser.h"

namespace rowsmith::gui {

namespace {

// The blanks the filter language separates words with.
bool isBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\v' || c == u'\f'; }

bool endsWord(QChar c) { return isBlank(c) || c == u'"' || c == u'#' || c == u'{' || c == u'}'; }

bool isHexDigit(QChar c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// The length of the escape at `at` (a backslash) that the language decodes;
// 0 for a backslash pair kept as it stands.
int escapeLength(const QString& line, int at) {
  if (at + 1 >= line.size()) return 0;
  const QChar next = line[at + 1];
  if (next == u'\\' || next == u'"' || next == u'n' || next == u'r' || next == u't') return 2;
  if (next == u'x' && at + 3 < line.size() && isHexDigit(line[at + 2]) && isHexDigit(line[at + 3]))
    return 4;
  return 0;
}

QTextCharFormat coloured(const char* colour, bool bold = false, bool italic = false) {
  QTextCharFormat format;
  format.setForeground(QColor(QString::fromLatin1(colour)));
  if (bold) format.setFontWeight(QFont::Bold);
  format.setFontItalic(italic);
  return format;
}

QTextCharFormat fault(const char* colour) {
  QTextCharFormat format = coloured(colour);
  format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
  format.setUnderlineColor(QColor(QStringLiteral("#c62828")));
  return format;
}

}  // namespace

FilterHighlighter::FilterHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {
  for (const QString& name :
       QString::fromStdString(wordmill::FilterParser::stepNames()).split(QStringLiteral(", ")))
    m_steps.insert(name.trimmed());
  m_formats[static_cast<int>(Part::Step)] = coloured("#1a4f9c", true);
  m_formats[static_cast<int>(Part::UnknownStep)] = fault("#c62828");
  m_formats[static_cast<int>(Part::Text)] = coloured("#2e7d32");
  m_formats[static_cast<int>(Part::Escape)] = coloured("#00796b", true);
  m_formats[static_cast<int>(Part::UnterminatedText)] = fault("#2e7d32");
  m_formats[static_cast<int>(Part::Option)] = coloured("#8e24aa");
  m_formats[static_cast<int>(Part::Comment)] = coloured("#6a737d", false, true);
}

QTextCharFormat FilterHighlighter::format(Part part) const {
  return m_formats[static_cast<int>(part)];
}

void FilterHighlighter::highlightBlock(const QString& line) {
  bool stepSeen = false;
  for (int at = 0; at < line.size();) {
    const QChar c = line[at];
    if (isBlank(c)) {
      ++at;
    } else if (c == u'#') {
      setFormat(at, line.size() - at, format(Part::Comment));
      return;
    } else if (c == u'"') {
      at = highlightText(line, at);
    } else if (c == u'{' || c == u'}') {
      // A step may follow the brace that opens a structured step's steps.
      stepSeen = c == u'}';
      ++at;
    } else {
      int end = at;
      while (end < line.size() && !endsWord(line[end])) ++end;
      const QString word = line.mid(at, end - at);
      const Part part = stepSeen                 ? Part::Option
                        : m_steps.contains(word) ? Part::Step
                                                 : Part::UnknownStep;
      setFormat(at, end - at, format(part));
      stepSeen = true;
      at = end;
    }
  }
}

int FilterHighlighter::highlightText(const QString& line, int start) {
  for (int at = start + 1; at < line.size(); ++at) {
    if (line[at] == u'"') {
      setFormat(start, at + 1 - start, format(Part::Text));
      // Escapes drawn over the text's colour.
      for (int e = start + 1; e < at; ++e) {
        if (line[e] != u'\\') continue;
        const int length = escapeLength(line, e);
        if (length > 0) setFormat(e, length, format(Part::Escape));
        e += length > 0 ? length - 1 : 1;
      }
      return at + 1;
    }
    // A backslash always takes the next character with it: \" does not end
    // the text.
    if (line[at] == u'\\') ++at;
  }
  setFormat(start, line.size() - start, format(Part::UnterminatedText));
  return line.size();
}

}  // namespace rowsmith::gui
