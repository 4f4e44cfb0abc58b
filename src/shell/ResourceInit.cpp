#include "shell/ResourceInit.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void registerRowsmithResources() { Q_INIT_RESOURCE(rowsmith); }

namespace rowsmith::gui {

void initResources() {
  static const bool registered = [] {
    registerRowsmithResources();
    return true;
  }();
  (void)registered;
}

}  // namespace rowsmith::gui
