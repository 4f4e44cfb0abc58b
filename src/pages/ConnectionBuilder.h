#pragma once

#include <QDialog>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "engine/db/ConnectionProbe.h"
#include "engine/db/ConnectionStringEditor.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTabWidget;
class QTableView;
class QTimer;

namespace rowsmith::gui {

class ConnectionFieldsPanel;
class ConnectionPairsModel;

// The connection builder: makes a connection string for SQLite, PostgreSQL,
// MySQL/MariaDB or ODBC from the fields each one needs, or pair by pair in
// the "All" tab, starting from the string it is given. A string the fields cannot show
// (another provider, a data link file, parts that are not pairs) opens on
// the "All" tab and comes back unchanged unless the user changes it.
//
// "Test connection" connects on a worker thread (ConnectionProbe) with a
// time limit; the window stays responsive, shows a busy cursor, and reports
// what it reached or the error. "Save as data link..." writes the string
// into a data link file, by default in the data links folder.
//
// Threading: UI thread only. A test still running when the window closes
// is dropped; its worker ends on its own.
class ConnectionBuilder : public QDialog {
  Q_OBJECT

 public:
  explicit ConnectionBuilder(const std::string& connectionString, QWidget* parent = nullptr);
  ~ConnectionBuilder() override;

  // Shows the builder modally: the string made on OK, nothing on Cancel.
  static std::optional<std::string> build(QWidget* parent, const std::string& connectionString);

  std::string connectionString() const { return m_editor.text(); }
  void setTestTimeLimit(std::chrono::milliseconds limit) { m_testTimeLimit = limit; }
  bool testRunning() const { return m_probe != nullptr; }

  QComboBox* providerBox() const { return m_provider; }
  QTabWidget* tabs() const { return m_tabs; }
  QWidget* connectionTab() const;
  QWidget* allTab() const;
  ConnectionFieldsPanel* fieldsPanel(db::Backend backend) const;
  QTableView* pairsView() const { return m_pairsView; }
  QLineEdit* resultLine() const { return m_result; }
  QPushButton* testButton() const { return m_testButton; }
  QPushButton* saveButton() const { return m_saveButton; }
  QLabel* statusLabel() const { return m_status; }

 private:
  void providerChosen(int index);
  void fieldEdited(db::ConnectionFieldId id, const QString& value);
  void removeSelectedPairs();
  // Shows the editor's string in every control but the one being edited.
  void refresh(std::optional<db::ConnectionFieldId> editingField = std::nullopt,
               bool editingPairs = false);
  void testConnectionClick();
  void pollTest();
  void endTest();
  void saveAsDataLinkClick();

  db::ConnectionStringEditor m_editor;
  std::unique_ptr<db::ConnectionProbe> m_probe;
  std::chrono::milliseconds m_testTimeLimit = db::ConnectionProbe::kDefaultTimeLimit;

  QComboBox* m_provider;
  QTabWidget* m_tabs;
  QStackedWidget* m_panels;
  ConnectionPairsModel* m_pairs;
  QTableView* m_pairsView;
  QLineEdit* m_result;
  QLabel* m_status;
  QPushButton* m_testButton;
  QPushButton* m_saveButton;
  QTimer* m_testTimer;
};

}  // namespace rowsmith::gui
