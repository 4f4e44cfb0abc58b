#include "support/ui/RtfText.h"

#include <QList>
#include <algorithm>
#include <array>

namespace rowsmith::gui {

namespace {

// Windows-1252 for the bytes 0x80 to 0x9F; the other bytes are Latin-1.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QChar windows1252(unsigned char byte) {
  if (byte >= 0x80 && byte < 0xA0) return QChar(kWindows1252High[byte - 0x80]);
  return QChar(byte);
}

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
  if (isDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Control words that start a group holding no text of the document.
bool startsHiddenGroup(const QByteArray& word) {
  static const QList<QByteArray> hidden = {"fonttbl",      "colortbl",  "stylesheet",
                                           "info",         "pict",      "object",
                                           "header",       "footer",    "headerl",
                                           "headerr",      "footerl",   "footerr",
                                           "footnote",     "listtable", "listoverridetable",
                                           "revtbl",       "rsidtbl",   "generator",
                                           "filetbl",      "themedata", "colorschememapping",
                                           "latentstyles", "datastore", "xmlnstbl"};
  return hidden.contains(word);
}

// The character a control word stands for, or a null character.
QChar characterOf(const QByteArray& word) {
  if (word == "par" || word == "line" || word == "sect" || word == "page") return QChar('\n');
  if (word == "tab") return QChar('\t');
  if (word == "emdash") return QChar(0x2014);
  if (word == "endash") return QChar(0x2013);
  if (word == "bullet") return QChar(0x2022);
  if (word == "lquote") return QChar(0x2018);
  if (word == "rquote") return QChar(0x2019);
  if (word == "ldblquote") return QChar(0x201C);
  if (word == "rdblquote") return QChar(0x201D);
  return {};
}

class Reader {
 public:
  explicit Reader(const QByteArray& rtf) : m_rtf(rtf), m_groups{Group()} {}

  QString run() {
    while (m_at < m_rtf.size()) {
      const char c = m_rtf[m_at++];
      if (c == '{') {
        m_groups.append(m_groups.last());
      } else if (c == '}') {
        if (m_groups.size() <= 1) break;
        m_groups.removeLast();
      } else if (c == '\\') {
        control();
      } else if (c != '\r' && c != '\n') {
        put(QChar(static_cast<unsigned char>(c)));
      }
    }
    return m_text;
  }

 private:
  struct Group {
    bool hidden = false;
    int fallbackLength = 1;  // characters after \uN that stand in for it
  };

  // The innermost open group; the first entry stands for the text outside
  // every group.
  Group& group() { return m_groups.last(); }

  void put(QChar c) {
    if (m_fallbackLeft > 0) {
      --m_fallbackLeft;
      return;
    }
    if (!group().hidden) m_text += c;
  }

  void control() {
    if (m_at >= m_rtf.size()) return;
    const char c = m_rtf[m_at++];
    if (isLetter(c)) return controlWord(c);
    switch (c) {
      case '*':
        group().hidden = true;
        return;
      case '\'':
        return hexByte();
      case '~':
        return put(QChar(0x00A0));
      case '_':
        return put(QChar('-'));
      case '-':
        return;  // an optional hyphen
      case '\r':
      case '\n':
        return put(QChar('\n'));
      default:
        return put(QChar(static_cast<unsigned char>(c)));  // \\ \{ \} and the like
    }
  }

  void controlWord(char first) {
    QByteArray word(1, first);
    while (m_at < m_rtf.size() && isLetter(m_rtf[m_at])) word += m_rtf[m_at++];
    bool hasParameter = false;
    bool negative = false;
    long parameter = 0;
    if (m_at < m_rtf.size() && m_rtf[m_at] == '-') {
      negative = true;
      ++m_at;
    }
    while (m_at < m_rtf.size() && isDigit(m_rtf[m_at])) {
      hasParameter = true;
      parameter = std::min(parameter * 10 + (m_rtf[m_at++] - '0'), 1000000L);
    }
    if (negative) parameter = -parameter;
    if (m_at < m_rtf.size() && m_rtf[m_at] == ' ') ++m_at;

    if (startsHiddenGroup(word)) {
      group().hidden = true;
    } else if (word == "uc" && hasParameter) {
      group().fallbackLength = static_cast<int>(std::max(0L, parameter));
    } else if (word == "u" && hasParameter) {
      put(QChar(static_cast<char16_t>(parameter < 0 ? parameter + 65536 : parameter)));
      m_fallbackLeft = group().fallbackLength;
    } else if (const QChar c = characterOf(word); !c.isNull()) {
      put(c);
    }
  }

  void hexByte() {
    const int high = m_at < m_rtf.size() ? hexValue(m_rtf[m_at]) : -1;
    const int low = m_at + 1 < m_rtf.size() ? hexValue(m_rtf[m_at + 1]) : -1;
    if (high < 0 || low < 0) return;
    m_at += 2;
    put(windows1252(static_cast<unsigned char>(high * 16 + low)));
  }

  const QByteArray& m_rtf;
  qsizetype m_at = 0;
  QList<Group> m_groups;
  int m_fallbackLeft = 0;
  QString m_text;
};

}  // namespace

bool RtfText::isRtf(const QByteArray& bytes) { return bytes.startsWith("{\\rtf"); }

QString RtfText::toPlainText(const QByteArray& rtf) { return Reader(rtf).run(); }

}  // namespace rowsmith::gui
