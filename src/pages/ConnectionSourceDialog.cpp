#include "pages/ConnectionSourceDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

#include "engine/db/DataLinksFolder.h"
#include "pages/ConnectionBuilder.h"
#include "pages/DialogButton.h"
#include "shell/DialogService.h"
#include "shell/FileDialogComponent.h"
#include "shell/MessageBoxes.h"
#include "support/ui/HelpContexts.h"
#include "support/ui/HelpDispatch.h"

namespace rowsmith::gui {

namespace {

// The dialog's design: its client area and the width of the two fields.
constexpr QSize kClientSize(472, 185);
constexpr int kFieldWidth = 332;

std::string dataLinksFolderWithSeparator() {
  const std::string folder = db::DataLinksFolder::path();
  return folder.empty() ? folder : folder + "/";
}

}  // namespace

TConnEditForm::TConnEditForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ConnEditForm"));
  setProperty("helpContext", HelpContexts::kConnectionSource);
  // A dialog over a window leaves the other windows, help among them, usable.
  if (parent) setWindowModality(Qt::WindowModal);

  m_sourceOfConnection = new QGroupBox(QStringLiteral(" Source of Connection "), this);
  m_sourceOfConnection->setObjectName(QStringLiteral("SourceofConnection"));

  m_useDataLinkFile = new QRadioButton(QStringLiteral("Use Data &Link File"), m_sourceOfConnection);
  m_useDataLinkFile->setObjectName(QStringLiteral("UseDataLinkFile"));
  m_dataLinkFile = new QComboBox(m_sourceOfConnection);
  m_dataLinkFile->setObjectName(QStringLiteral("DataLinkFile"));
  m_dataLinkFile->setEditable(true);
  m_dataLinkFile->setInsertPolicy(QComboBox::NoInsert);
  m_dataLinkFile->setMinimumWidth(kFieldWidth);
  m_browse = makeDialogButton(QStringLiteral("&Browse..."), "Browse", m_sourceOfConnection);

  m_useConnectionString =
      new QRadioButton(QStringLiteral("Use &Connection String"), m_sourceOfConnection);
  m_useConnectionString->setObjectName(QStringLiteral("UseConnectionString"));
  m_connectionString = new QLineEdit(m_sourceOfConnection);
  m_connectionString->setObjectName(QStringLiteral("ConnectionString"));
  m_connectionString->setMinimumWidth(kFieldWidth);
  m_build = makeDialogButton(QStringLiteral("B&uild..."), "Build", m_sourceOfConnection);

  m_okButton = makeDialogButton(QStringLiteral("OK"), "OkButton", this);
  m_okButton->setDefault(true);
  m_cancelButton = makeDialogButton(QStringLiteral("Cancel"), "CancelButton", this);
  m_helpButton = makeDialogButton(QStringLiteral("&Help"), "HelpButton", this);

  // The fields sit indented under their radio buttons, the buttons at
  // their right, as in the design.
  auto* grid = new QGridLayout(m_sourceOfConnection);
  grid->setContentsMargins(5, 4, 21, 8);
  grid->setHorizontalSpacing(10);
  grid->setVerticalSpacing(4);
  grid->setColumnMinimumWidth(0, 8);
  grid->addWidget(m_useDataLinkFile, 0, 0, 1, 3);
  grid->addWidget(m_dataLinkFile, 1, 1);
  grid->addWidget(m_browse, 1, 2);
  grid->addWidget(m_useConnectionString, 2, 0, 1, 3);
  grid->addWidget(m_connectionString, 3, 1);
  grid->addWidget(m_build, 3, 2);
  grid->setColumnStretch(1, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->setSpacing(13);
  buttons->addWidget(m_okButton);
  buttons->addWidget(m_cancelButton);
  buttons->addWidget(m_helpButton);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(5, 4, 6, 9);
  layout->setSpacing(11);
  layout->addWidget(m_sourceOfConnection);
  layout->addLayout(buttons);
  // Fixed border: the design size, or what larger fonts need.
  layout->setSizeConstraint(QLayout::SetFixedSize);
  setMinimumSize(kClientSize);

  connect(m_useDataLinkFile, &QRadioButton::toggled, this, [this](bool on) {
    if (on) SourceButtonClick();
  });
  connect(m_useConnectionString, &QRadioButton::toggled, this, [this](bool on) {
    if (on) SourceButtonClick();
  });
  connect(m_browse, &QPushButton::clicked, this, [this] { BrowseClick(); });
  connect(m_build, &QPushButton::clicked, this, [this] { BuildClick(); });
  connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(m_helpButton, &QPushButton::clicked, this, [this] { HelpButtonClick(); });

  fillDataLinkList();
}

void TConnEditForm::fillDataLinkList() {
  // The list is refilled when the builder may have saved a file there; the
  // text in the box stays as it is.
  const QString text = m_dataLinkFile->currentText();
  m_dataLinkFile->clear();
  for (const std::string& name : db::DataLinksFolder::list())
    m_dataLinkFile->addItem(QString::fromStdString(name));
  m_dataLinkFile->setEditText(text);
}

bool TConnEditForm::PickConnectionSource(QWidget* parent, std::string& connectionString,
                                         const QString& owner, const QString& connection) {
  TConnEditForm dialog(parent);
  dialog.setWindowTitle(
      QStringLiteral("%1%2%3 %4")
          .arg(owner, QStringLiteral("."), connection, QStringLiteral("ConnectionString")));
  const std::string result = dialog.RunSourceDialog(connectionString);
  if (result == connectionString) return false;
  connectionString = result;
  return true;
}

std::string TConnEditForm::RunSourceDialog(const std::string& text) {
  loadSource(text);
  centreOnScreen();
  if (exec() != QDialog::Accepted) return text;
  return resultSource();
}

void TConnEditForm::loadSource(const std::string& text) {
  m_dataLinkFile->setEditText(QString());
  m_connectionString->clear();
  m_useDataLinkFile->setChecked(true);
  const std::string prefix = kDataLinkPrefix;
  if (text.compare(0, prefix.size(), prefix) == 0) {
    // The whole path, however long: a shortened one would name another file.
    const std::string file = text.substr(prefix.size());
    const auto slash = file.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : file.substr(0, slash + 1);
    const bool inDataLinksFolder = !folder.empty() && folder == dataLinksFolderWithSeparator();
    m_dataLinkFile->setEditText(
        QString::fromStdString(inDataLinksFolder ? file.substr(slash + 1) : file));
  } else {
    const QString shown = QString::fromStdString(text);
    m_connectionString->setText(shown);
    // Selected as a field the dialog opens on is, but showing its start.
    m_connectionString->setSelection(static_cast<int>(shown.size()),
                                     -static_cast<int>(shown.size()));
    m_useConnectionString->setChecked(true);
  }
  SourceButtonClick();
}

std::string TConnEditForm::resultSource() const {
  if (m_useConnectionString->isChecked()) return m_connectionString->text().toStdString();
  const std::string file = m_dataLinkFile->currentText().toStdString();
  if (file.empty()) return {};
  if (file.find('/') != std::string::npos) return kDataLinkPrefix + file;
  return kDataLinkPrefix + dataLinksFolderWithSeparator() + file;
}

void TConnEditForm::SourceButtonClick() {
  const bool dataLink = m_useDataLinkFile->isChecked();
  m_dataLinkFile->setEnabled(dataLink);
  m_browse->setEnabled(dataLink);
  const bool typed = m_useConnectionString->isChecked();
  m_connectionString->setEnabled(typed);
  m_build->setEnabled(typed);
  if (dataLink)
    m_dataLinkFile->setFocus();
  else
    m_connectionString->setFocus();
}

void TConnEditForm::BrowseClick() {
  MessageBoxes::runGuarded(this, [this] {
    const QString current = m_dataLinkFile->currentText();
    const int slash = current.lastIndexOf(QLatin1Char('/'));
    FileDialogComponent dialog(QStringLiteral("DataLinkFileDialog"), this);
    dialog.setTitle(QStringLiteral("Select Data Link File"));
    dialog.setFilter(QStringLiteral("Data Link Files (*.udl)|*.udl|All Files (*.*)|*.*"));
    dialog.setDefaultExtension(QStringLiteral("udl"));
    dialog.setInitialDirectory(slash >= 0 ? current.left(slash + 1)
                                          : QString::fromStdString(db::DataLinksFolder::path()));
    dialog.setMustExist(true);
    if (const auto path = DialogService::instance().getOpenFileName(this, dialog))
      m_dataLinkFile->setEditText(*path);
  });
}

void TConnEditForm::BuildClick() {
  MessageBoxes::runGuarded(this, [this] {
    const auto built = ConnectionBuilder::build(this, m_connectionString->text().toStdString());
    if (built) m_connectionString->setText(QString::fromStdString(*built));
  });
  // The builder may have saved a data link file into the folder.
  fillDataLinkList();
}

void TConnEditForm::HelpButtonClick() {
  HelpDispatch::ShowHelpContext(HelpContexts::kConnectionSource);
}

void TConnEditForm::centreOnScreen() {
  adjustSize();
  QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame(QPoint(), size());
  frame.moveCenter(screen->availableGeometry().center());
  move(frame.topLeft());
}

}  // namespace rowsmith::gui
