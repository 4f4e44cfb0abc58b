#include "shell/FormTranslator.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QToolButton>
#include <QWidget>

#include "localisation/LangString.h"
#include "localisation/StringLoader.h"
#include "shell/ComponentOwner.h"
#include "shell/ComponentText.h"

namespace rowsmith::gui {

void FormTranslator::TranslateForm(QWidget& window) {
  TStringLoader* loader = stringLoader();
  auto* owner = dynamic_cast<ComponentOwner*>(&window);
  if (!loader || !owner) return;
  loader->setCurrentSection(owner->componentClassName().toStdString());
  TranslateComponent(window);
}

void FormTranslator::TranslateComponent(QObject& c) {
  if (qobject_cast<QToolButton*>(&c)) {
    TranslateProperty(c, QStringLiteral("Caption"));
    TranslateProperty(c, QStringLiteral("Hint"));
    return;
  }
  if (qobject_cast<QLabel*>(&c)) {
    TranslateProperty(c, QStringLiteral("Caption"));
    return;
  }
  if (qobject_cast<QAction*>(&c) || qobject_cast<QMenu*>(&c)) {
    TranslateProperty(c, QStringLiteral("Caption"));
    TranslateProperty(c, QStringLiteral("Hint"));
    return;
  }
  for (const char* property : {"Caption", "Title", "Filter", "Hint", "Text"})
    TranslateProperty(c, QString::fromLatin1(property));
  if (auto* owner = dynamic_cast<ComponentOwner*>(&c)) {
    for (QObject* component : owner->ownedComponents()) TranslateComponent(*component);
  }
}

void FormTranslator::TranslateProperty(QObject& c, const QString& property) {
  TStringLoader* loader = stringLoader();
  if (!loader) return;
  const QString current = ComponentText::read(&c, property);
  const std::string translated = loader->TranslateProperty(
      c.objectName().toStdString(), property.toStdString(), current.toStdString());
  const QString text = QString::fromStdString(translated);
  if (text != current) ComponentText::write(&c, property, text);
}

}  // namespace rowsmith::gui
