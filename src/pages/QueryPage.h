#pragma once

#include <QList>
#include <QWidget>
#include <string>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace rowsmith::gui {

class TableNameBox;

// The wizard page "&1 Query" (dataSourceTab): the data source, and a whole
// table or an SQL query.
//
// Invariant: exactly one mode button is checked; the table drop-down is
// enabled exactly in table mode and the query box exactly in query mode.
//
// Threading: UI thread only.
class QueryPage : public QWidget {
  Q_OBJECT

 public:
  explicit QueryPage(QWidget* parent = nullptr);

  // The page's components in creation order.
  QList<QObject*> components() const;

  std::string dataSource() const;
  void setDataSource(const std::string& text);
  bool useTable() const;
  // Checks a mode button and applies the invariant (tableRadioClick).
  void setUseTable(bool useTable);
  std::string tableName() const;
  void setTableName(const std::string& name);
  // The query with its line breaks as CR LF, as a job stores it.
  std::string queryText() const;
  void setQueryText(const std::string& text);

  QLineEdit* dbConnection() const { return m_dbConnection; }
  QPushButton* buildConnection() const { return m_buildConnection; }
  QRadioButton* tableRadio() const { return m_tableRadio; }
  QRadioButton* queryRadio() const { return m_queryRadio; }
  TableNameBox* tableNameBox() const { return m_tableName; }
  QPlainTextEdit* queryBox() const { return m_query; }
  QPushButton* previewData() const { return m_previewData; }
  QPushButton* queryCheckErrors() const { return m_queryCheckErrors; }

 signals:
  // The user changed the job (changeOccured).
  void changed();

 private:
  void tableRadioClick();

  QLabel* m_label1;
  QLineEdit* m_dbConnection;
  QPushButton* m_buildConnection;
  QRadioButton* m_tableRadio;
  TableNameBox* m_tableName;
  QRadioButton* m_queryRadio;
  QPlainTextEdit* m_query;
  QPushButton* m_previewData;
  QPushButton* m_queryCheckErrors;
};

}  // namespace rowsmith::gui
