#include "pages/ConnectionPairsModel.h"

#include <exception>

#include "engine/db/ConnectionStringEditor.h"

namespace rowsmith::gui {

ConnectionPairsModel::ConnectionPairsModel(db::ConnectionStringEditor& editor, QObject* parent)
    : QAbstractTableModel(parent), m_editor(editor) {}

int ConnectionPairsModel::pairCount() const { return static_cast<int>(m_editor.pairs().size()); }

int ConnectionPairsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : pairCount() + 1;
}

int ConnectionPairsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 2;
}

QVariant ConnectionPairsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const bool newRow = index.row() >= pairCount();
  if (role == Qt::ToolTipRole && newRow && index.column() == NameColumn)
    return QStringLiteral("Type a name here to add a pair");
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  if (newRow) return QString();
  const auto& pair = m_editor.pairs()[static_cast<std::size_t>(index.row())];
  return QString::fromStdString(index.column() == NameColumn ? pair.key : pair.value);
}

QVariant ConnectionPairsModel::headerData(int section, Qt::Orientation orientation,
                                          int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical)
    return section < pairCount() ? QVariant(section + 1) : QVariant(QStringLiteral("*"));
  return section == NameColumn ? QStringLiteral("Name") : QStringLiteral("Value");
}

Qt::ItemFlags ConnectionPairsModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  // The empty row takes a name first; its value follows once it is a pair.
  if (index.row() >= pairCount() && index.column() == ValueColumn) return Qt::ItemIsEnabled;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool ConnectionPairsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole) return false;
  const std::string text = value.toString().toStdString();
  const int row = index.row();
  try {
    if (row >= pairCount()) {
      // A new row left empty adds nothing.
      if (index.column() != NameColumn || value.toString().trimmed().isEmpty()) return false;
      beginInsertRows(QModelIndex(), row + 1, row + 1);
      m_editor.addPair(text, {});
      endInsertRows();
    } else if (index.column() == NameColumn) {
      m_editor.setKey(static_cast<std::size_t>(row), text);
    } else {
      m_editor.setValue(static_cast<std::size_t>(row), text);
    }
  } catch (const std::exception& error) {
    emit refused(QString::fromStdString(error.what()));
    return false;
  }
  emit dataChanged(this->index(row, NameColumn), this->index(row, ValueColumn));
  emit edited();
  return true;
}

bool ConnectionPairsModel::removeRows(int row, int count, const QModelIndex& parent) {
  if (parent.isValid() || row < 0 || count <= 0 || row + count > pairCount()) return false;
  beginRemoveRows(QModelIndex(), row, row + count - 1);
  for (int i = row + count - 1; i >= row; --i) m_editor.removePair(static_cast<std::size_t>(i));
  endRemoveRows();
  emit edited();
  return true;
}

void ConnectionPairsModel::reload() {
  beginResetModel();
  endResetModel();
}

}  // namespace rowsmith::gui
