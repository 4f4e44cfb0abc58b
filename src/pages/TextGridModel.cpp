#include "pages/TextGridModel.h"

#include <QBrush>
#include <QColor>

#include "engine/Preview.h"

namespace rowsmith::gui {

namespace {

std::optional<QString> shown(const std::optional<std::string>& value) {
  if (!value) return std::nullopt;
  return QString::fromStdString(*value);
}

}  // namespace

TextGridModel::TextGridModel(QObject* parent) : QAbstractTableModel(parent) {}

int TextGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int TextGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_headings.size());
}

QVariant TextGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const Row& cells = m_rows[static_cast<std::size_t>(index.row())];
  const auto column = static_cast<std::size_t>(index.column());
  if (column >= cells.size()) return {};
  const Cell& cell = cells[column];
  switch (role) {
    case Qt::DisplayRole:
      return cell.value.value_or(QString());
    case NullRole:
      return !cell.value.has_value();
    case Qt::BackgroundRole:
      if (cell.changed) return QBrush(QColor(255, 236, 153));
      return {};
    case Qt::ToolTipRole:
      if (cell.changed) {
        return QStringLiteral("Was: %1").arg(cell.was ? *cell.was : QStringLiteral("NULL"));
      }
      if (!cell.value) return QStringLiteral("NULL");
      return {};
    default:
      return {};
  }
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

void TextGridModel::setPreview(const SampleData& sample, const PreviewData& preview) {
  clearRows();
  for (std::size_t r = 0; r < preview.rows.size(); ++r) {
    Row cells;
    for (std::size_t i = 0; i < preview.rows[r].size(); ++i) {
      const PreviewCell& out = preview.rows[r][i];
      Cell cell{shown(out.value), out.changed, std::nullopt};
      if (out.changed && r < sample.rows.size() && i < sample.rows[r].size()) {
        const SampleCell& before = sample.rows[r][i];
        if (!before.isNull) cell.was = QString::fromStdString(before.text);
      }
      cells.push_back(std::move(cell));
    }
    appendRow(std::move(cells));
  }
}

}  // namespace rowsmith::gui
