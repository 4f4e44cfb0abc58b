#pragma once

#include <QAbstractTableModel>
#include <string>
#include <vector>

namespace rowsmith::gui {

// The rows of the transforms grid: one per result column, in the result's
// field order, with the column's name and its filter file (empty for no
// filter). Columns: the name (read-only), the filter file (editable), and
// the Browse and Edit buttons.
//
// Threading: UI thread only.
class TransformGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { NameColumn = 0, FilterColumn = 1, BrowseColumn = 2, EditColumn = 3 };

  struct Entry {
    std::string columnName;
    std::string filter;
  };

  explicit TransformGridModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  const std::vector<Entry>& entries() const { return m_entries; }
  void setEntries(std::vector<Entry> entries);
  void setFilter(int row, const std::string& filter);

 private:
  std::vector<Entry> m_entries;
};

}  // namespace rowsmith::gui
