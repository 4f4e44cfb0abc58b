#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace rowsmith::gui {

// The rows of a read-only grid of values: the sample rows and the preview
// of changes. A cell holds text or NULL (shown empty).
//
// Threading: UI thread only.
class TextGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  using Cell = std::optional<QString>;
  using Row = std::vector<Cell>;

  explicit TextGridModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Replaces the headings; every row is cut or padded to their number.
  void setHeadings(const QStringList& headings);
  const QStringList& headings() const { return m_headings; }
  void clearRows();
  void appendRow(Row row);
  const Row& row(int index) const { return m_rows.at(static_cast<std::size_t>(index)); }

 private:
  QStringList m_headings;
  std::vector<Row> m_rows;
};

}  // namespace rowsmith::gui
