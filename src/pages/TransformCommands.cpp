#include "pages/TransformCommands.h"

#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>
#include <set>

#include "common/Error.h"
#include "document/RecentStrings.h"
#include "pages/TransformGridDelegate.h"
#include "pages/TransformGridModel.h"
#include "pages/TransformsPage.h"
#include "shell/DialogService.h"
#include "shell/FileDialogComponent.h"
#include "shell/MessageBoxes.h"
#include "wordmill/FilterServer.h"

namespace rowsmith::gui {

TransformCommands::TransformCommands(QWidget& window, TransformsPage& page,
                                     TRecentStrings& filterFiles, FileDialogComponent& browseFilter,
                                     Server server, Changed changed)
    : QObject(&page),
      m_window(window),
      m_page(page),
      m_filterFiles(filterFiles),
      m_browseFilter(browseFilter),
      m_server(std::move(server)),
      m_changed(std::move(changed)) {
  QTableView* grid = page.transformGrid();
  auto* delegate = new TransformGridDelegate([this] { return m_filterFiles.entries(); }, grid);
  grid->setItemDelegate(delegate);
  connect(delegate, &TransformGridDelegate::buttonClicked, this, [this](int row, int column) {
    if (column == TransformGridModel::BrowseColumn) browse(row);
    if (column == TransformGridModel::EditColumn) edit(row);
  });
  connect(grid->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &TransformCommands::transformGridCellChanged);
  connect(page.clearAll(), &QAbstractButton::clicked, this, &TransformCommands::clearAllClick);
  connect(page.copyToAll(), &QAbstractButton::clicked, this, &TransformCommands::copyToAllClick);
}

void TransformCommands::browse(int row) {
  TransformGridModel& model = *m_page.model();
  if (row < 0 || row >= model.rowCount()) return;
  m_browseFilter.setFileName(
      QString::fromStdString(model.entries()[static_cast<std::size_t>(row)].filter));
  const auto path = DialogService::instance().getOpenFileName(&m_window, m_browseFilter);
  if (!path) return;
  m_changed();
  m_filterFiles.add(path->toStdString());
  model.setFilter(row, path->toStdString());
}

void TransformCommands::edit(int row) {
  const TransformGridModel& model = *m_page.model();
  if (row < 0 || row >= model.rowCount()) return;
  const std::string filter = model.entries()[static_cast<std::size_t>(row)].filter;
  MessageBoxes::runGuarded(&m_window, [&] {
    wordmill::FilterApplication* server = m_server();
    if (!server) throw Error("Wordmill Pro has not been started");
    if (!filter.empty()) {
      server->findWindow(filter);
      server->show();
    } else {
      server->show();
      server->newWindow();
    }
  });
}

void TransformCommands::clearAllClick() {
  m_changed();
  QTableView* grid = m_page.transformGrid();
  std::set<int> rows;
  for (const QModelIndex& index : grid->selectionModel()->selectedRows()) rows.insert(index.row());
  if (rows.empty() && grid->currentIndex().isValid()) rows.insert(grid->currentIndex().row());
  for (int row : rows) m_page.model()->setFilter(row, "");
}

void TransformCommands::copyToAllClick() {
  m_changed();
  const QModelIndex current = m_page.transformGrid()->currentIndex();
  TransformGridModel& model = *m_page.model();
  if (!current.isValid() || model.rowCount() == 0) return;
  const std::string filter = model.entries()[static_cast<std::size_t>(current.row())].filter;
  for (int row = 0; row < model.rowCount(); ++row) model.setFilter(row, filter);
}

void TransformCommands::transformGridCellChanged(const QModelIndex& current,
                                                 const QModelIndex& /*previous*/) {
  m_changed();
  if (!current.isValid() || current.column() != TransformGridModel::FilterColumn) return;
  m_filterFiles.add(m_page.model()->entries()[static_cast<std::size_t>(current.row())].filter);
}

}  // namespace rowsmith::gui
