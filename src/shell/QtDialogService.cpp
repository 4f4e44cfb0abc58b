#include "shell/QtDialogService.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "shell/FileDialogComponent.h"

namespace rowsmith::gui {

namespace {

QtDialogService g_realDialogs;
DialogService* g_installed = nullptr;

QFileDialog* makeFileDialog(QWidget* parent, const FileDialogComponent& component,
                            QFileDialog::AcceptMode mode) {
  auto* dialog = new QFileDialog(parent, component.title());
  dialog->setAttribute(Qt::WA_DeleteOnClose, false);
  dialog->setAcceptMode(mode);
  dialog->setNameFilters(component.qtNameFilters());
  dialog->setDirectory(component.initialDirectory().isEmpty() ? QDir::currentPath()
                                                              : component.initialDirectory());
  if (!component.defaultExtension().isEmpty())
    dialog->setDefaultSuffix(component.defaultExtension());
  if (!component.fileName().isEmpty()) dialog->selectFile(component.fileName());
  dialog->setFileMode(component.mustExist() ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog->setOption(QFileDialog::DontConfirmOverwrite, !component.confirmOverwrite());
  return dialog;
}

std::optional<QString> runFileDialog(QWidget* parent, const FileDialogComponent& component,
                                     QFileDialog::AcceptMode mode) {
  std::unique_ptr<QFileDialog> dialog(makeFileDialog(parent, component, mode));
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return std::nullopt;
  return dialog->selectedFiles().first();
}

}  // namespace

DialogService& DialogService::instance() {
  return g_installed ? *g_installed : static_cast<DialogService&>(g_realDialogs);
}

DialogService* DialogService::install(DialogService* service) {
  DialogService* previous = g_installed;
  g_installed = service;
  return previous;
}

std::unique_ptr<QMessageBox> QtDialogService::createMessageBox(QWidget* parent, Kind kind,
                                                               const QString& caption,
                                                               const QString& text) {
  auto box = std::make_unique<QMessageBox>(parent);
  box->setWindowTitle(caption);
  box->setText(text);
  switch (kind) {
    case Kind::Information:
      box->setIcon(QMessageBox::NoIcon);
      break;
    case Kind::Warning:
      box->setIcon(QMessageBox::Warning);
      break;
    case Kind::Error:
      box->setIcon(QMessageBox::Critical);
      break;
    case Kind::Confirmation:
      box->setWindowTitle(QStringLiteral("Confirm"));
      box->setIcon(QMessageBox::Question);
      break;
  }
  if (kind != Kind::Confirmation) {
    box->setStandardButtons(QMessageBox::Ok);
    return box;
  }
  QPushButton* yes = box->addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
  box->addButton(QStringLiteral("&No"), QMessageBox::NoRole);
  QPushButton* cancel = box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
  box->setDefaultButton(yes);
  box->setEscapeButton(cancel);
  return box;
}

DialogService::Answer QtDialogService::showMessage(QWidget* parent, Kind kind,
                                                   const QString& caption, const QString& text) {
  const std::unique_ptr<QMessageBox> box = createMessageBox(parent, kind, caption, text);
  box->exec();
  if (kind != Kind::Confirmation) return Answer::Ok;
  switch (box->buttonRole(box->clickedButton())) {
    case QMessageBox::YesRole:
      return Answer::Yes;
    case QMessageBox::NoRole:
      return Answer::No;
    default:
      return Answer::Cancel;
  }
}

std::optional<QString> QtDialogService::getOpenFileName(QWidget* parent,
                                                        const FileDialogComponent& dialog) {
  return runFileDialog(parent, dialog, QFileDialog::AcceptOpen);
}

std::optional<QString> QtDialogService::getSaveFileName(QWidget* parent,
                                                        const FileDialogComponent& dialog) {
  return runFileDialog(parent, dialog, QFileDialog::AcceptSave);
}

}  // namespace rowsmith::gui
