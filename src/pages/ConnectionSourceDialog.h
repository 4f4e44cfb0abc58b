#pragma once

#include <QDialog>
#include <QString>
#include <string>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace rowsmith::gui {

// The connection source dialog: where a connection's string comes from,
// either a data link file ("FILE NAME=" and the file's path; files of the
// data links folder are shown by their bare name) or a string typed here
// or made with the connection builder (Build).
//
// The data source page calls PickConnectionSource; RunSourceDialog is the
// dialog's own run, and loadSource/resultSource are its two halves.
//
// Threading: UI thread only.
class TConnEditForm : public QDialog {
  Q_OBJECT

 public:
  // The prefix of a string that names a data link file, matched with its case.
  static constexpr const char* kDataLinkPrefix = "FILE NAME=";

  // FormCreate: the controls, the help context and the list of data link
  // files of the data links folder.
  explicit TConnEditForm(QWidget* parent = nullptr);

  // Shows the dialog, captioned "owner.connection ConnectionString", on
  // `connectionString`. When the user leaves it with a different string
  // (compared exactly), stores that string and answers true; otherwise
  // leaves it and answers false.
  static bool PickConnectionSource(QWidget* parent, std::string& connectionString,
                                   const QString& owner = QStringLiteral("Form1"),
                                   const QString& connection = QStringLiteral("ADOConnection"));

  // Loads `text`, shows the dialog modally and gives the resulting string:
  // the input itself when the user cancels.
  std::string RunSourceDialog(const std::string& text);
  void loadSource(const std::string& text);
  // The string the dialog gives on OK, from its controls.
  std::string resultSource() const;

  QRadioButton* useDataLinkFile() const { return m_useDataLinkFile; }
  QComboBox* dataLinkFile() const { return m_dataLinkFile; }
  QPushButton* browse() const { return m_browse; }
  QRadioButton* useConnectionString() const { return m_useConnectionString; }
  QLineEdit* connectionString() const { return m_connectionString; }
  QPushButton* build() const { return m_build; }
  QPushButton* okButton() const { return m_okButton; }
  QPushButton* cancelButton() const { return m_cancelButton; }
  QPushButton* helpButton() const { return m_helpButton; }

 private:
  void fillDataLinkList();
  void SourceButtonClick();
  void BrowseClick();
  void BuildClick();
  void HelpButtonClick();
  void centreOnScreen();

  QGroupBox* m_sourceOfConnection;
  QRadioButton* m_useDataLinkFile;
  QComboBox* m_dataLinkFile;
  QPushButton* m_browse;
  QRadioButton* m_useConnectionString;
  QLineEdit* m_connectionString;
  QPushButton* m_build;
  QPushButton* m_okButton;
  QPushButton* m_cancelButton;
  QPushButton* m_helpButton;
};

}  // namespace rowsmith::gui
