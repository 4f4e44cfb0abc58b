#include "pages/TransformGridModel.h"

namespace rowsmith::gui {

TransformGridModel::TransformGridModel(QObject* parent) : QAbstractTableModel(parent) {}

int TransformGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

int TransformGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 4;
}

QVariant TransformGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const Entry& entry = m_entries[static_cast<std::size_t>(index.row())];
  if (role == Qt::DisplayRole || role == Qt::EditRole) {
    switch (index.column()) {
      case NameColumn:
        return QString::fromStdString(entry.columnName);
      case FilterColumn:
        return QString::fromStdString(entry.filter);
      case BrowseColumn:
        return QStringLiteral("...");
      case EditColumn:
        return QStringLiteral("Edit...");
    }
  }
  if (role == Qt::ToolTipRole && index.column() == FilterColumn && !entry.filter.empty())
    return QString::fromStdString(entry.filter);
  return {};
}

bool TransformGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole || index.column() != FilterColumn) return false;
  setFilter(index.row(), value.toString().toStdString());
  return true;
}

QVariant TransformGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  switch (section) {
    case NameColumn:
      return QStringLiteral("Column name");
    case FilterColumn:
      return QStringLiteral("Wordmill Pro Filter Filename");
    case BrowseColumn:
      return QStringLiteral("Browse");
    case EditColumn:
      return QStringLiteral("Edit...");
  }
  return {};
}

Qt::ItemFlags TransformGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == FilterColumn) flags |= Qt::ItemIsEditable;
  return flags;
}

void TransformGridModel::setEntries(std::vector<Entry> entries) {
  beginResetModel();
  m_entries = std::move(entries);
  endResetModel();
}

void TransformGridModel::setFilter(int row, const std::string& filter) {
  if (row < 0 || row >= rowCount()) return;
  m_entries[static_cast<std::size_t>(row)].filter = filter;
  const QModelIndex cell = index(row, FilterColumn);
  emit dataChanged(cell, cell);
}

}  // namespace rowsmith::gui
