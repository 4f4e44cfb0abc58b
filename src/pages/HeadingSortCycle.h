#pragma once

#include <QObject>

class QHeaderView;

namespace rowsmith::gui {

// The heading buttons of a value grid: a click moves the clicked column's
// sort arrow from none to down, from down to up and from up back to none
// (a click on another column starts it at down). The rows keep their order:
// the arrow only marks the column.
//
// Threading: UI thread only.
class HeadingSortCycle : public QObject {
  Q_OBJECT

 public:
  enum class State { None, Down, Up };

  explicit HeadingSortCycle(QHeaderView& header);

  int column() const { return m_column; }
  State state() const { return m_state; }
  void clicked(int column);

 private:
  void apply();

  QHeaderView& m_header;
  int m_column = -1;
  State m_state = State::None;
};

}  // namespace rowsmith::gui
