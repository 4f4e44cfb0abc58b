#pragma once

#include <QList>
#include <QString>

class QObject;

namespace rowsmith::gui {

// A window whose components are listed in the order they were created. The
// language file keys a component's texts by its objectName in the section
// of the window's class, and fills itself in this order, so the order is
// part of what the program writes. A window owns all its components
// directly, menu items and file dialogs included.
//
// Threading: UI thread only.
class ComponentOwner {
 public:
  virtual ~ComponentOwner() = default;
  // The section of the language file: the window's class name ("TForm1").
  virtual QString componentClassName() const = 0;
  // Every component in creation order, not including the window itself.
  virtual QList<QObject*> ownedComponents() const = 0;
};

}  // namespace rowsmith::gui
