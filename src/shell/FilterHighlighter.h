#pragma once

#include <QSet>
#include <QString>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>

class QTextDocument;

namespace rowsmith::gui {

// Colours the text of a filter (.fll) as the filter language reads it, line
// by line: the step name that starts a line or follows a "{" (a name that is
// not a step is underlined as a fault), texts in double quotes (a text
// without its closing quote is underlined), the options after them, and "#"
// comments outside texts. Braces keep the plain colour.
//
// Threading: UI thread only.
class FilterHighlighter : public QSyntaxHighlighter {
  Q_OBJECT

 public:
  enum class Part { Step, UnknownStep, Text, Escape, UnterminatedText, Option, Comment };

  explicit FilterHighlighter(QTextDocument* document);

  // The format of each part, for tests and the legend.
  QTextCharFormat format(Part part) const;

 protected:
  void highlightBlock(const QString& line) override;

 private:
  // Returns the end of the text that starts with the quote at `start`.
  int highlightText(const QString& line, int start);

  QSet<QString> m_steps;
  QTextCharFormat m_formats[7];
};

}  // namespace rowsmith::gui
