#include "pages/ConnectionFieldsPanel.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "engine/db/ConnectionStringEditor.h"
#include "shell/DialogService.h"
#include "shell/FileDialogComponent.h"

namespace rowsmith::gui {

namespace {

using db::ConnectionField;

QLineEdit* lineOf(QWidget* control) {
  if (auto* combo = qobject_cast<QComboBox*>(control)) return combo->lineEdit();
  return qobject_cast<QLineEdit*>(control);
}

}  // namespace

ConnectionFieldsPanel::ConnectionFieldsPanel(db::Backend backend, const QStringList& dataSources,
                                             const QStringList& drivers, QWidget* parent)
    : QWidget(parent), m_backend(backend) {
  auto* form = new QFormLayout(this);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  for (const ConnectionField* field : ConnectionField::of(backend)) {
    QWidget* control = makeControl(*field, dataSources, drivers);
    auto* label = new QLabel(QString::fromUtf8(field->label), this);
    label->setBuddy(control);
    if (field->kind == ConnectionField::Kind::File) {
      auto* row = new QHBoxLayout;
      row->setContentsMargins(0, 0, 0, 0);
      auto* pick = new QPushButton(QStringLiteral("..."), this);
      pick->setObjectName(QStringLiteral("pickFile"));
      pick->setToolTip(QStringLiteral("Choose the file"));
      pick->setFixedWidth(pick->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);
      pick->setAutoDefault(false);
      const auto id = field->id;
      connect(pick, &QPushButton::clicked, this, [this, id] { browseForFile(id); });
      row->addWidget(control, 1);
      row->addWidget(pick);
      form->addRow(label, row);
    } else {
      form->addRow(label, control);
    }
  }
  if (backend == db::Backend::Odbc) {
    auto* note = new QLabel(
        QStringLiteral("Give a data source name, or a driver with the settings it needs (server, "
                       "database, ...) as other attributes: Server=db.example;Database=shop"),
        this);
    note->setWordWrap(true);
    note->setObjectName(QStringLiteral("odbcNote"));
    form->addRow(note);
  }
}

QWidget* ConnectionFieldsPanel::makeControl(const ConnectionField& field,
                                            const QStringList& dataSources,
                                            const QStringList& drivers) {
  QWidget* control = nullptr;
  QLineEdit* line = nullptr;
  const auto id = field.id;
  switch (field.kind) {
    case ConnectionField::Kind::Choice:
    case ConnectionField::Kind::DataSourceName:
    case ConnectionField::Kind::DriverName: {
      auto* combo = new QComboBox(this);
      combo->setEditable(true);
      combo->setInsertPolicy(QComboBox::NoInsert);
      // The empty entry leaves the choice to the database's default.
      combo->addItem(QString());
      if (field.kind == ConnectionField::Kind::Choice) {
        for (const std::string& choice : field.choices)
          combo->addItem(QString::fromStdString(choice));
      } else {
        combo->addItems(field.kind == ConnectionField::Kind::DriverName ? drivers : dataSources);
      }
      connect(combo, &QComboBox::activated, this,
              [this, id, combo] { emit fieldEdited(id, combo->currentText()); });
      control = combo;
      line = combo->lineEdit();
      break;
    }
    default:
      line = new QLineEdit(this);
      if (field.kind == ConnectionField::Kind::Password) line->setEchoMode(QLineEdit::Password);
      control = line;
      break;
  }
  control->setObjectName(QString::fromLatin1(field.writtenName[0] ? field.writtenName : "Other"));
  connect(line, &QLineEdit::textEdited, this,
          [this, id](const QString& text) { emit fieldEdited(id, text); });
  m_controls[id] = control;
  return control;
}

void ConnectionFieldsPanel::load(const db::ConnectionStringEditor& editor,
                                 std::optional<db::ConnectionFieldId> editing) {
  for (const auto& [id, control] : m_controls) {
    if (editing && *editing == id) continue;
    const QString value = QString::fromStdString(editor.field(id));
    QLineEdit* line = lineOf(control);
    if (line->text() != value) line->setText(value);
  }
}

QWidget* ConnectionFieldsPanel::control(db::ConnectionFieldId id) const {
  const auto found = m_controls.find(id);
  return found == m_controls.end() ? nullptr : found->second;
}

QString ConnectionFieldsPanel::text(db::ConnectionFieldId id) const {
  QWidget* found = control(id);
  return found ? lineOf(found)->text() : QString();
}

void ConnectionFieldsPanel::browseForFile(db::ConnectionFieldId id) {
  QLineEdit* line = lineOf(control(id));
  FileDialogComponent dialog(QStringLiteral("DatabaseFileDialog"), this);
  dialog.setTitle(QStringLiteral("Select SQLite Database"));
  dialog.setFilter(
      QStringLiteral("SQLite Databases (*.sqlite;*.sqlite3;*.db;*.db3)|*.sqlite;*.sqlite3;*.db;"
                     "*.db3|All Files (*.*)|*.*"));
  if (!line->text().isEmpty()) dialog.setInitialDirectory(QFileInfo(line->text()).absolutePath());
  dialog.setMustExist(true);
  const auto path = DialogService::instance().getOpenFileName(window(), dialog);
  if (!path) return;
  line->setText(*path);
  emit fieldEdited(id, *path);
}

}  // namespace rowsmith::gui
