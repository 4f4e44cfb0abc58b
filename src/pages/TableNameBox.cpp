#include "pages/TableNameBox.h"

namespace rowsmith::gui {

void TableNameBox::showPopup() { emit dropDown(); }

void TableNameBox::showList() { QComboBox::showPopup(); }

}  // namespace rowsmith::gui
