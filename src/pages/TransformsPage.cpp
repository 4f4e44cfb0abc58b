#include "pages/TransformsPage.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "pages/PageText.h"
#include "pages/TransformGridModel.h"

namespace rowsmith::gui {

TransformsPage::TransformsPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("transformPage"));

  m_model = new TransformGridModel(this);
  m_transformGrid = new QTableView(this);
  m_transformGrid->setObjectName(QStringLiteral("transformGrid"));
  setHint(m_transformGrid, "The filters to apply to each column");
  m_transformGrid->setModel(m_model);
  m_transformGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_transformGrid->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_transformGrid->setEditTriggers(QAbstractItemView::AllEditTriggers);
  QHeaderView* header = m_transformGrid->horizontalHeader();
  header->setSectionResizeMode(TransformGridModel::NameColumn, QHeaderView::Interactive);
  header->setSectionResizeMode(TransformGridModel::FilterColumn, QHeaderView::Stretch);
  header->setSectionResizeMode(TransformGridModel::BrowseColumn, QHeaderView::ResizeToContents);
  header->setSectionResizeMode(TransformGridModel::EditColumn, QHeaderView::ResizeToContents);
  m_transformGrid->setColumnWidth(TransformGridModel::NameColumn, 118);

  m_clearAll = new QPushButton(QStringLiteral("Clear"), this);
  m_clearAll->setObjectName(QStringLiteral("clearAll"));
  setHint(m_clearAll, "Clear the filter from all selected rows");

  m_copyToAll = new QPushButton(QStringLiteral("Copy to all"), this);
  m_copyToAll->setObjectName(QStringLiteral("copyToAll"));
  setHint(m_copyToAll, "Copy the current line's filter to every row");

  m_preview = new QPushButton(QStringLiteral("&Preview"), this);
  m_preview->setObjectName(QStringLiteral("preview"));
  setHint(m_preview, "Display the preview data with the transforms applied");

  auto* band = new QHBoxLayout;
  for (QPushButton* button : {m_preview, m_clearAll, m_copyToAll}) {
    button->setMinimumWidth(75);
    band->addWidget(button);
  }
  band->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(m_transformGrid, 1);
  layout->addLayout(band);

  connect(m_model, &TransformGridModel::dataChanged, this, &TransformsPage::changed);
}

QList<QObject*> TransformsPage::components() const {
  return {m_transformGrid, m_clearAll, m_copyToAll, m_preview};
}

}  // namespace rowsmith::gui
