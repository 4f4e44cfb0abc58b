#include "pages/ConnectionBuilder.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <iterator>

#include "common/Error.h"
#include "engine/db/DataLinkFile.h"
#include "engine/db/DataLinksFolder.h"
#include "engine/db/odbc/OdbcInstallation.h"
#include "pages/ConnectionFieldsPanel.h"
#include "pages/ConnectionPairsModel.h"
#include "pages/DialogButton.h"
#include "shell/DialogService.h"
#include "shell/FileDialogComponent.h"
#include "shell/MessageBoxes.h"
#include "support/ui/HelpContexts.h"
#include "support/ui/HelpDispatch.h"

namespace rowsmith::gui {

namespace {

using db::Backend;

// The provider list, in its order; the panel of fields has the same index.
constexpr Backend kProviders[] = {Backend::SQLite, Backend::PostgreSQL, Backend::MariaDB,
                                  Backend::Odbc};
constexpr const char* kProviderNames[] = {"SQLite", "PostgreSQL", "MySQL/MariaDB", "ODBC"};
constexpr int kUnknownPage = static_cast<int>(std::size(kProviders));

int providerIndexOf(Backend backend) {
  const auto* found = std::find(std::begin(kProviders), std::end(kProviders), backend);
  return found == std::end(kProviders) ? -1 : static_cast<int>(found - std::begin(kProviders));
}

// The drop-downs of ODBC offer what unixODBC knows; when it cannot say,
// names can still be typed.
QStringList odbcList(std::vector<std::string> (*list)()) {
  QStringList names;
  try {
    for (const std::string& name : list()) names << QString::fromStdString(name);
  } catch (const std::exception&) {
  }
  return names;
}

}  // namespace

ConnectionBuilder::ConnectionBuilder(const std::string& connectionString, QWidget* parent)
    : QDialog(parent), m_editor(connectionString) {
  setObjectName(QStringLiteral("ConnectionBuilder"));
  setWindowTitle(QStringLiteral("Connection Builder"));
  setProperty("helpContext", HelpContexts::kConnectionBuilder);
  if (parent) setWindowModality(Qt::WindowModal);

  m_provider = new QComboBox(this);
  m_provider->setObjectName(QStringLiteral("provider"));
  for (const char* name : kProviderNames) m_provider->addItem(QString::fromLatin1(name));
  auto* providerLabel = new QLabel(QStringLiteral("P&rovider:"), this);
  providerLabel->setBuddy(m_provider);

  // The fields of each provider, and a page for strings they cannot show.
  m_panels = new QStackedWidget(this);
  const QStringList dataSources = odbcList(&db::odbc::OdbcInstallation::dataSourceNames);
  const QStringList drivers = odbcList(&db::odbc::OdbcInstallation::driverNames);
  for (Backend backend : kProviders) {
    auto* panel = new ConnectionFieldsPanel(backend, dataSources, drivers, m_panels);
    connect(panel, &ConnectionFieldsPanel::fieldEdited, this,
            [this](db::ConnectionFieldId id, const QString& value) { fieldEdited(id, value); });
    m_panels->addWidget(panel);
  }
  auto* unknown = new QLabel(
      QStringLiteral("The fields cannot show this connection string. It is kept as it is: "
                     "change it in the All tab, or choose a provider above to start a new one."),
      m_panels);
  unknown->setObjectName(QStringLiteral("unknownString"));
  unknown->setWordWrap(true);
  unknown->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  m_panels->addWidget(unknown);

  auto* connectionPage = new QWidget(this);
  connectionPage->setObjectName(QStringLiteral("connectionTab"));
  auto* connectionLayout = new QVBoxLayout(connectionPage);
  connectionLayout->addWidget(m_panels);
  connectionLayout->addStretch(1);

  m_pairs = new ConnectionPairsModel(m_editor, this);
  m_pairsView = new QTableView(this);
  m_pairsView->setObjectName(QStringLiteral("pairs"));
  m_pairsView->setModel(m_pairs);
  m_pairsView->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_pairsView->horizontalHeader()->setStretchLastSection(true);
  m_pairsView->horizontalHeader()->resizeSection(ConnectionPairsModel::NameColumn, 150);
  m_pairsView->verticalHeader()->setDefaultSectionSize(m_pairsView->fontMetrics().height() + 8);
  auto* remove = makeDialogButton(QStringLiteral("R&emove pair"), "removePair", this);
  auto* allPage = new QWidget(this);
  allPage->setObjectName(QStringLiteral("allTab"));
  auto* allLayout = new QVBoxLayout(allPage);
  allLayout->addWidget(m_pairsView, 1);
  auto* allButtons = new QHBoxLayout;
  allButtons->addStretch(1);
  allButtons->addWidget(remove);
  allLayout->addLayout(allButtons);

  m_tabs = new QTabWidget(this);
  m_tabs->setObjectName(QStringLiteral("tabs"));
  m_tabs->addTab(connectionPage, QStringLiteral("Co&nnection"));
  m_tabs->addTab(allPage, QStringLiteral("&All"));

  m_result = new QLineEdit(this);
  m_result->setObjectName(QStringLiteral("result"));
  m_result->setReadOnly(true);
  auto* resultLabel = new QLabel(QStringLiteral("Connection strin&g:"), this);
  resultLabel->setBuddy(m_result);

  m_testButton = makeDialogButton(QStringLiteral("&Test connection"), "testConnection", this);
  m_saveButton = makeDialogButton(QStringLiteral("Sa&ve as data link..."), "saveAsDataLink", this);
  m_status = new QLabel(this);
  m_status->setObjectName(QStringLiteral("status"));
  m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  auto* ok = makeDialogButton(QStringLiteral("OK"), "OkButton", this);
  ok->setDefault(true);
  auto* cancel = makeDialogButton(QStringLiteral("Cancel"), "CancelButton", this);
  auto* help = makeDialogButton(QStringLiteral("&Help"), "HelpButton", this);

  auto* providerRow = new QHBoxLayout;
  providerRow->addWidget(providerLabel);
  providerRow->addWidget(m_provider);
  providerRow->addStretch(1);
  auto* actions = new QHBoxLayout;
  actions->addWidget(m_testButton);
  actions->addWidget(m_saveButton);
  actions->addWidget(m_status, 1);
  auto* closing = new QHBoxLayout;
  closing->addStretch(1);
  closing->addWidget(ok);
  closing->addWidget(cancel);
  closing->addWidget(help);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(providerRow);
  layout->addWidget(m_tabs, 1);
  layout->addWidget(resultLabel);
  layout->addWidget(m_result);
  layout->addLayout(actions);
  layout->addSpacing(4);
  layout->addLayout(closing);
  resize(QSize(560, 430).expandedTo(sizeHint()));

  m_testTimer = new QTimer(this);
  m_testTimer->setInterval(50);

  connect(m_provider, &QComboBox::activated, this, [this](int index) { providerChosen(index); });
  connect(m_pairs, &ConnectionPairsModel::edited, this, [this] { refresh(std::nullopt, true); });
  connect(m_pairs, &ConnectionPairsModel::refused, this,
          [this](const QString& message) { MessageBoxes::showError(this, message.toStdString()); });
  connect(remove, &QPushButton::clicked, this, [this] { removeSelectedPairs(); });
  connect(m_testButton, &QPushButton::clicked, this, [this] { testConnectionClick(); });
  connect(m_testTimer, &QTimer::timeout, this, [this] { pollTest(); });
  connect(m_saveButton, &QPushButton::clicked, this, [this] { saveAsDataLinkClick(); });
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this,
          [] { HelpDispatch::ShowHelpContext(HelpContexts::kConnectionBuilder); });

  refresh();
  m_tabs->setCurrentIndex(m_editor.understood() ? 0 : 1);
}

ConnectionBuilder::~ConnectionBuilder() { endTest(); }

std::optional<std::string> ConnectionBuilder::build(QWidget* parent,
                                                    const std::string& connectionString) {
  ConnectionBuilder builder(connectionString, parent);
  if (builder.exec() != QDialog::Accepted) return std::nullopt;
  return builder.connectionString();
}

QWidget* ConnectionBuilder::connectionTab() const { return m_tabs->widget(0); }

QWidget* ConnectionBuilder::allTab() const { return m_tabs->widget(1); }

ConnectionFieldsPanel* ConnectionBuilder::fieldsPanel(Backend backend) const {
  const int index = providerIndexOf(backend);
  return index < 0 ? nullptr : static_cast<ConnectionFieldsPanel*>(m_panels->widget(index));
}

void ConnectionBuilder::providerChosen(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kProviders))) return;
  m_editor.setBackend(kProviders[index]);
  refresh();
}

void ConnectionBuilder::fieldEdited(db::ConnectionFieldId id, const QString& value) {
  m_editor.setField(id, value.toStdString());
  refresh(id);
}

void ConnectionBuilder::removeSelectedPairs() {
  QList<int> rows;
  for (const QModelIndex& index : m_pairsView->selectionModel()->selectedRows())
    rows << index.row();
  std::sort(rows.begin(), rows.end(), std::greater<int>());
  // The empty last row is not a pair and stays.
  for (int row : rows) m_pairs->removeRows(row, 1);
}

void ConnectionBuilder::refresh(std::optional<db::ConnectionFieldId> editingField,
                                bool editingPairs) {
  const int index = providerIndexOf(m_editor.backend());
  m_provider->setCurrentIndex(index);
  m_panels->setCurrentIndex(index < 0 ? kUnknownPage : index);
  if (index >= 0) fieldsPanel(kProviders[index])->load(m_editor, editingField);
  if (!editingPairs) m_pairs->reload();
  const QString text = QString::fromStdString(m_editor.text());
  if (m_result->text() != text) {
    m_result->setText(text);
    m_result->setCursorPosition(0);
  }
}

void ConnectionBuilder::testConnectionClick() {
  if (m_probe) return;
  MessageBoxes::runGuarded(this, [this] {
    m_probe = std::make_unique<db::ConnectionProbe>(m_editor.text(), m_testTimeLimit);
  });
  if (!m_probe) return;
  m_testButton->setEnabled(false);
  m_status->setText(QStringLiteral("Connecting..."));
  // The window answers while the worker waits: a busy cursor, not a frozen one.
  QGuiApplication::setOverrideCursor(Qt::BusyCursor);
  m_testTimer->start();
}

void ConnectionBuilder::pollTest() {
  if (!m_probe) return;
  const auto state = m_probe->state();
  if (state == db::ConnectionProbe::State::Connecting) return;
  const std::string message = m_probe->message();
  endTest();
  if (state == db::ConnectionProbe::State::Succeeded)
    MessageBoxes::showPlain(this, "Test connection succeeded.\n\nConnected to " + message + ".");
  else
    MessageBoxes::showError(this, message);
}

void ConnectionBuilder::endTest() {
  if (!m_probe) return;
  m_testTimer->stop();
  m_probe.reset();
  QGuiApplication::restoreOverrideCursor();
  m_testButton->setEnabled(true);
  m_status->clear();
}

void ConnectionBuilder::saveAsDataLinkClick() {
  MessageBoxes::runGuarded(this, [this] {
    const std::string text = m_editor.text();
    const std::string problem = db::DataLinkFile::problemWith(text);
    if (!problem.empty())
      throw Error("Cannot save the connection string as a data link file: " + problem);
    // The folder the connection source dialog lists, made on first use.
    const std::string folder = db::DataLinksFolder::path();
    std::error_code ignored;
    if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
    FileDialogComponent dialog(QStringLiteral("SaveDataLinkDialog"), this);
    dialog.setTitle(QStringLiteral("Save as Data Link File"));
    dialog.setFilter(QStringLiteral("Data Link Files (*.udl)|*.udl|All Files (*.*)|*.*"));
    dialog.setDefaultExtension(QStringLiteral("udl"));
    dialog.setInitialDirectory(QString::fromStdString(folder));
    dialog.setConfirmOverwrite(true);
    const auto path = DialogService::instance().getSaveFileName(this, dialog);
    if (!path) return;
    db::DataLinkFile::write(path->toStdString(), text);
    m_status->setText(QStringLiteral("Saved as %1").arg(*path));
    m_status->setToolTip(*path);
  });
}

}  // namespace rowsmith::gui
