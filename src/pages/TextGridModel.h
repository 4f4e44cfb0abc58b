#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace rowsmith {
struct PreviewData;
struct SampleData;
}  // namespace rowsmith

namespace rowsmith::gui {

// The rows of a read-only grid of values: the sample rows and the preview
// of changes. A cell holds text or NULL; NULL shows as an empty cell that
// the grid's delegate marks (NullRole). A cell of the preview that a filter
// changed has a background colour and its old value as its tool tip.
//
// Threading: UI thread only.
class TextGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // True for a NULL cell.
  static constexpr int NullRole = Qt::UserRole + 1;

  struct Cell {
    std::optional<QString> value = QString();
    bool changed = false;
    // The value before the change (for changed cells).
    std::optional<QString> was;
  };
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
  // The rows of a preview of changes, the sample giving the old values.
  void setPreview(const SampleData& sample, const PreviewData& preview);

 private:
  QStringList m_headings;
  std::vector<Row> m_rows;
};

}  // namespace rowsmith::gui
