#include "shell/DocumentCommands.h"

#include <QWidget>

#include "document/DocumentTitle.h"
#include "document/RecentStrings.h"
#include "pages/QueryPage.h"
#include "pages/RowsSpinBox.h"
#include "pages/SamplePage.h"
#include "pages/TransformGridModel.h"
#include "pages/TransformsPage.h"
#include "shell/DialogService.h"
#include "shell/MessageBoxes.h"

namespace rowsmith::gui {

DocumentCommands::DocumentCommands(QWidget& window, Controls controls, TRecentStrings& recentFiles)
    : QObject(&window), m_window(window), m_controls(controls), m_recentFiles(recentFiles) {}

void DocumentCommands::setModified(bool modified) {
  if (modified == m_modified) return;
  m_modified = modified;
  setTitle();
}

void DocumentCommands::setTitle() {
  m_title = QString::fromStdString(documentTitle(m_settings.fileName, m_modified));
  MessageBoxes::setApplicationTitle(m_title);
  emit titleChanged(m_title);
}

void DocumentCommands::settingsToControls() {
  QueryPage& query = *m_controls.query;
  query.setDataSource(m_settings.dataSource);
  query.setUseTable(m_settings.useTable);
  query.setTableName(m_settings.tableName);
  query.setQueryText(m_settings.query);
  m_controls.sample->previewRows()->setClampedValue(m_settings.previewRows);
  std::vector<TransformGridModel::Entry> entries;
  for (std::size_t i = 0; i < m_settings.columnNames.size(); ++i) {
    entries.push_back({m_settings.columnNames[i],
                       i < m_settings.columnFilters.size() ? m_settings.columnFilters[i] : ""});
  }
  m_controls.transforms->model()->setEntries(std::move(entries));
  setModified(false);
}

void DocumentCommands::controlsToSettings(TSettings& target) const {
  const QueryPage& query = *m_controls.query;
  target.dataSource = query.dataSource();
  target.useTable = query.useTable();
  target.tableName = query.tableName();
  target.query = query.queryText();
  target.previewRows = m_controls.sample->previewRows()->typedValue();
  target.columnNames.clear();
  target.columnFilters.clear();
  for (const auto& entry : m_controls.transforms->model()->entries()) {
    target.columnNames.push_back(entry.columnName);
    target.columnFilters.push_back(entry.filter);
  }
}

void DocumentCommands::openFile(const std::string& path) {
  // Read into a copy first: a failed load leaves the job exactly as it was.
  TSettings loaded = m_settings;
  loaded.LoadFromFile(path);
  m_settings = std::move(loaded);
  setTitle();
  settingsToControls();
  m_recentFiles.add(path);
  emit recentFilesChanged();
}

void DocumentCommands::Open1Click() {
  const auto path = DialogService::instance().getOpenFileName(&m_window, *m_controls.openDialog);
  if (path) openFile(path->toStdString());
}

bool DocumentCommands::Save1Click() {
  if (m_settings.fileName.empty()) return Saveas1Click();
  TSettings saved = m_settings;
  controlsToSettings(saved);
  saved.SaveToFile(saved.fileName);
  m_settings = std::move(saved);
  setModified(false);
  return true;
}

bool DocumentCommands::Saveas1Click() {
  const auto path = DialogService::instance().getSaveFileName(&m_window, *m_controls.saveDialog);
  if (!path) return false;
  TSettings saved = m_settings;
  controlsToSettings(saved);
  saved.SaveToFile(path->toStdString());
  m_settings = std::move(saved);
  setTitle();
  setModified(false);
  return true;
}

void DocumentCommands::recentFilesClick(const std::string& path) {
  if (!saveChangesFirst()) return;
  openFile(path);
}

bool DocumentCommands::saveChangesFirst() {
  if (!m_modified) return true;
  switch (MessageBoxes::askSaveCurrentSettings(&m_window)) {
    case DialogService::Answer::Cancel:
      return false;
    case DialogService::Answer::Yes:
      return Save1Click();
    default:
      return true;
  }
}

}  // namespace rowsmith::gui
