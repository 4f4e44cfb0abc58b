#pragma once

#include <QString>

class QObject;
class QWidget;

namespace rowsmith::gui {

// Translates windows with the installed language file (see LangString.h):
// every component's texts are looked up under "component.Property" in the
// section of the window's class, replaced by a non-empty stored text, and
// added to the file with their built-in text when missing.
//
// Which properties a component has, by kind, tested in this order: a tool
// button has Caption and Hint; a label only Caption; a menu or menu item
// Caption and Hint; any other component Caption, Title, Filter, Hint and
// Text, and then, when it is a window (ComponentOwner), each of its
// components in creation order.
//
// Errors of the language file (a bad escape, a file that cannot be saved)
// are raised as rowsmith::Error and stop the translation where they occur.
//
// Threading: UI thread only.
class FormTranslator {
 public:
  // window must be a ComponentOwner.
  static void TranslateForm(QWidget& window);
  static void TranslateComponent(QObject& component);
  static void TranslateProperty(QObject& component, const QString& property);
};

}  // namespace rowsmith::gui
