#include "pages/DialogButton.h"

#include <QPushButton>

namespace rowsmith::gui {

QPushButton* makeDialogButton(const QString& caption, const char* name, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QLatin1String(name));
  button->setAutoDefault(false);
  const int captionWidth =
      button->fontMetrics().horizontalAdvance(QString(caption).remove(QLatin1Char('&')));
  button->setMinimumSize(QSize(75, 25).expandedTo(QSize(captionWidth + 20, 0)));
  return button;
}

}  // namespace rowsmith::gui
