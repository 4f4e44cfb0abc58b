#include "pages/OptionsPage.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

namespace rowsmith::gui {

namespace {

// A radio group with no item selected.
QGroupBox* radioGroup(QWidget* parent, const char* name, const char* caption,
                      std::initializer_list<const char*> items) {
  auto* group = new QGroupBox(QString::fromLatin1(caption), parent);
  group->setObjectName(QString::fromLatin1(name));
  auto* buttons = new QButtonGroup(group);
  buttons->setExclusive(false);
  auto* layout = new QVBoxLayout(group);
  for (const char* item : items) {
    auto* button = new QRadioButton(QString::fromLatin1(item), group);
    buttons->addButton(button);
    layout->addWidget(button);
  }
  buttons->setExclusive(true);
  layout->addStretch(1);
  return group;
}

}  // namespace

OptionsPage::OptionsPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("optionsTab"));
  m_cursorType = radioGroup(this, "cursorType", " Cursor type ",
                            {"Unspecified", "OpenForwardOnly", "Keyset", "Dynamic", "Static"});
  m_cursorLocation = radioGroup(this, "cursorLocation", " Cursor location ", {"Server", "Client"});
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(m_cursorType);
  layout->addWidget(m_cursorLocation);
  layout->addStretch(1);
}

QList<QObject*> OptionsPage::components() const { return {m_cursorType, m_cursorLocation}; }

}  // namespace rowsmith::gui
