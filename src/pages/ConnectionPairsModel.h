#pragma once

#include <QAbstractTableModel>

namespace rowsmith::db {
class ConnectionStringEditor;
}

namespace rowsmith::gui {

// The "All" tab of the connection builder: every pair of the connection
// string as a row of name and value, both editable, and one empty row at
// the end where a name typed in adds a pair.
//
// Threading: UI thread only.
class ConnectionPairsModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { NameColumn, ValueColumn };

  // The editor must outlive the model.
  explicit ConnectionPairsModel(db::ConnectionStringEditor& editor, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  // Removes pairs; the empty last row stays.
  bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

  // Shows the editor's pairs again after a change made elsewhere.
  void reload();

 signals:
  // The user changed the pairs here.
  void edited();
  // A name was refused (empty, or holding "=" or ";"): the message says why.
  void refused(const QString& message);

 private:
  int pairCount() const;

  db::ConnectionStringEditor& m_editor;
};

}  // namespace rowsmith::gui
