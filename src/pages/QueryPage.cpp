#include "pages/QueryPage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "pages/PageText.h"
#include "pages/TableNameBox.h"

namespace rowsmith::gui {

QueryPage::QueryPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("dataSourceTab"));

  m_query = new QPlainTextEdit(this);
  m_query->setObjectName(QStringLiteral("query"));
  setHint(m_query,
          "The SELECT SQL query to run against the data source. The query must return an "
          "updateable record set");
  m_query->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_query->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_query->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_query->setTabChangesFocus(true);
  m_query->setEnabled(false);

  m_label1 = new QLabel(QStringLiteral("&Data source"), this);
  m_label1->setObjectName(QStringLiteral("Label1"));

  m_dbConnection = new QLineEdit(this);
  m_dbConnection->setObjectName(QStringLiteral("dbConnection"));
  setHint(m_dbConnection,
          "The connection information for the data source. Use the Build button if you aren't "
          "sure");
  m_label1->setBuddy(m_dbConnection);

  m_buildConnection = new QPushButton(QStringLiteral("&Build"), this);
  m_buildConnection->setObjectName(QStringLiteral("buildConnection"));
  setHint(m_buildConnection, "Build a connection to the database");

  m_tableRadio = new QRadioButton(QStringLiteral("&Table name"), this);
  m_tableRadio->setObjectName(QStringLiteral("tableRadio"));
  m_tableRadio->setChecked(true);

  m_tableName = new TableNameBox(this);
  m_tableName->setObjectName(QStringLiteral("tableName"));
  m_tableName->setEditable(true);
  m_tableName->setInsertPolicy(QComboBox::NoInsert);

  m_queryRadio = new QRadioButton(QStringLiteral("&SQL query"), this);
  m_queryRadio->setObjectName(QStringLiteral("queryRadio"));

  m_queryCheckErrors = new QPushButton(QStringLiteral("P&arse query"), this);
  m_queryCheckErrors->setObjectName(QStringLiteral("queryCheckErrors"));
  setHint(m_queryCheckErrors, "Check if the query is a valid query");

  m_previewData = new QPushButton(QStringLiteral("&Preview data"), this);
  m_previewData->setObjectName(QStringLiteral("previewData"));
  setHint(m_previewData, "Preview the data that will be returned by this query");

  // Top band: label, data source with Build flush at its end, the two mode
  // buttons with the table drop-down beside the first.
  auto* source = new QHBoxLayout;
  source->setSpacing(0);
  source->addWidget(m_dbConnection, 1);
  source->addWidget(m_buildConnection);
  m_buildConnection->setMinimumWidth(43);
  auto* modes = new QGridLayout;
  modes->setContentsMargins(0, 0, 0, 0);
  modes->addWidget(m_tableRadio, 0, 0);
  modes->addWidget(m_tableName, 0, 1);
  modes->addWidget(m_queryRadio, 1, 0);
  modes->setColumnMinimumWidth(0, 88);
  modes->setColumnStretch(1, 1);
  m_tableName->setMinimumWidth(200);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_previewData);
  buttons->addWidget(m_queryCheckErrors);
  buttons->addStretch(1);
  for (QPushButton* button : {m_previewData, m_queryCheckErrors}) button->setMinimumWidth(81);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(m_label1);
  layout->addLayout(source);
  layout->addLayout(modes);
  layout->addWidget(m_query, 1);
  layout->addLayout(buttons);

  setTabOrder(m_dbConnection, m_buildConnection);
  setTabOrder(m_buildConnection, m_tableRadio);
  setTabOrder(m_tableRadio, m_tableName);
  setTabOrder(m_tableName, m_queryRadio);
  setTabOrder(m_queryRadio, m_query);
  setTabOrder(m_query, m_previewData);
  setTabOrder(m_previewData, m_queryCheckErrors);

  connect(m_dbConnection, &QLineEdit::textChanged, this, &QueryPage::changed);
  connect(m_tableName, &QComboBox::editTextChanged, this, &QueryPage::changed);
  connect(m_query, &QPlainTextEdit::textChanged, this, &QueryPage::changed);
  // toggled fires only when the checked button changes, so a click on the
  // button that is already checked changes nothing.
  connect(m_tableRadio, &QRadioButton::toggled, this, [this] { tableRadioClick(); });
}

QList<QObject*> QueryPage::components() const {
  return {m_query,     m_label1,     m_dbConnection,     m_buildConnection, m_tableRadio,
          m_tableName, m_queryRadio, m_queryCheckErrors, m_previewData};
}

std::string QueryPage::dataSource() const { return m_dbConnection->text().toStdString(); }

void QueryPage::setDataSource(const std::string& text) {
  m_dbConnection->setText(QString::fromStdString(text));
  m_dbConnection->setCursorPosition(0);
}

bool QueryPage::useTable() const { return m_tableRadio->isChecked(); }

void QueryPage::setUseTable(bool useTable) {
  m_tableRadio->setChecked(useTable);
  m_queryRadio->setChecked(!useTable);
  tableRadioClick();
}

void QueryPage::tableRadioClick() {
  const bool table = m_tableRadio->isChecked();
  m_tableName->setEnabled(table);
  m_query->setEnabled(!table);
  emit changed();
}

std::string QueryPage::tableName() const { return m_tableName->currentText().toStdString(); }

void QueryPage::setTableName(const std::string& name) {
  m_tableName->setEditText(QString::fromStdString(name));
}

std::string QueryPage::queryText() const { return storedLineBreaks(m_query->toPlainText()); }

void QueryPage::setQueryText(const std::string& text) {
  m_query->setPlainText(shownLineBreaks(text));
}

}  // namespace rowsmith::gui
