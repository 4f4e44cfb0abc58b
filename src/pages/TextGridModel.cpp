#include "pages/TextGridModel.h"

namespace rowsmith::gui {

TextGridModel::TextGridModel(QObject* parent) : QAbstractTableModel(parent) {}

int TextGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int TextGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_headings.size());
}

QVariant TextGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || role != Qt::DisplayRole) return {};
  const Row& cells = m_rows[static_cast<std::size_t>(index.row())];
  const auto column = static_cast<std::size_t>(index.column());
  if (column >= cells.size() || !cells[column]) return QString();
  return *cells[column];
}

QVariant TextGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  return section < m_headings.size() ? m_headings[section] : QVariant();
}

void TextGridModel::setHeadings(const QStringList& headings) {
  beginResetModel();
  m_headings = headings;
  for (Row& cells : m_rows) cells.resize(static_cast<std::size_t>(headings.size()));
  endResetModel();
}

void TextGridModel::clearRows() {
  beginResetModel();
  m_rows.clear();
  endResetModel();
}

void TextGridModel::appendRow(Row cells) {
  const int at = rowCount();
  cells.resize(static_cast<std::size_t>(m_headings.size()));
  beginInsertRows({}, at, at);
  m_rows.push_back(std::move(cells));
  endInsertRows();
}

}  // namespace rowsmith::gui
