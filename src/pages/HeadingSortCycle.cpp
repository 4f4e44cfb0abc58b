#include "pages/HeadingSortCycle.h"

#include <QHeaderView>

namespace rowsmith::gui {

HeadingSortCycle::HeadingSortCycle(QHeaderView& header) : QObject(&header), m_header(header) {
  m_header.setSectionsClickable(true);
  m_header.setSortIndicatorShown(false);
  // The header flips its own arrow on a click before it reports the click;
  // clicked() then puts the arrow where the cycle says.
  connect(&m_header, &QHeaderView::sectionClicked, this, &HeadingSortCycle::clicked);
}

void HeadingSortCycle::clicked(int column) {
  if (column != m_column) {
    m_column = column;
    m_state = State::Down;
  } else {
    m_state = m_state == State::None   ? State::Down
              : m_state == State::Down ? State::Up
                                       : State::None;
  }
  apply();
}

void HeadingSortCycle::apply() {
  const QSignalBlocker quiet(&m_header);
  if (m_state == State::None) {
    m_header.setSortIndicatorShown(false);
    return;
  }
  m_header.setSortIndicatorShown(true);
  m_header.setSortIndicator(m_column,
                            m_state == State::Down ? Qt::DescendingOrder : Qt::AscendingOrder);
}

}  // namespace rowsmith::gui
