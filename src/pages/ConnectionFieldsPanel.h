#pragma once

#include <QStringList>
#include <QWidget>
#include <map>
#include <optional>

#include "engine/db/ConnectionField.h"

class QComboBox;
class QLineEdit;

namespace rowsmith::db {
class ConnectionStringEditor;
}

namespace rowsmith::gui {

// The fields of one kind of database in the connection builder, made from
// its ConnectionField table: a line for text and passwords, a drop-down
// for choices and for unixODBC's data sources and drivers (any other name
// may be typed), a file line with a button that picks the file.
//
// A change the user makes is reported with fieldEdited; load() shows what
// the connection string holds.
//
// Threading: UI thread only.
class ConnectionFieldsPanel : public QWidget {
  Q_OBJECT

 public:
  // dataSources and drivers: what the drop-downs of ODBC offer.
  ConnectionFieldsPanel(db::Backend backend, const QStringList& dataSources,
                        const QStringList& drivers, QWidget* parent = nullptr);

  db::Backend backend() const { return m_backend; }
  // Shows the string's fields, all but `editing`: the field the user is
  // typing into keeps its text as typed.
  void load(const db::ConnectionStringEditor& editor,
            std::optional<db::ConnectionFieldId> editing = std::nullopt);
  // The control of a field: a QLineEdit or a QComboBox.
  QWidget* control(db::ConnectionFieldId id) const;
  QString text(db::ConnectionFieldId id) const;

 signals:
  void fieldEdited(db::ConnectionFieldId id, const QString& value);

 private:
  QWidget* makeControl(const db::ConnectionField& field, const QStringList& dataSources,
                       const QStringList& drivers);
  void browseForFile(db::ConnectionFieldId id);

  db::Backend m_backend;
  std::map<db::ConnectionFieldId, QWidget*> m_controls;
};

}  // namespace rowsmith::gui
