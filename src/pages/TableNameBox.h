#pragma once

#include <QComboBox>

namespace rowsmith::gui {

// The table-name drop-down: opening its list first asks for the database's
// table names (dropDown); showList() then opens the list that was filled.
//
// Threading: UI thread only.
class TableNameBox : public QComboBox {
  Q_OBJECT

 public:
  using QComboBox::QComboBox;

  void showPopup() override;
  void showList();

 signals:
  void dropDown();
};

}  // namespace rowsmith::gui
