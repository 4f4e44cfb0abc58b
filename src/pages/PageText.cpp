#include "pages/PageText.h"

#include <QWidget>

namespace rowsmith::gui {

void setHint(QWidget* widget, const char* hint) {
  widget->setStatusTip(QString::fromUtf8(hint));
  widget->setToolTip(QString::fromUtf8(hint));
}

std::string storedLineBreaks(const QString& text) {
  std::string stored;
  const std::string plain = text.toStdString();
  stored.reserve(plain.size());
  for (char c : plain) {
    if (c == '\n') stored += '\r';
    stored += c;
  }
  return stored;
}

QString shownLineBreaks(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

}  // namespace rowsmith::gui
