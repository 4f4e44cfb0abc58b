#include "pages/SamplePage.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

#include "pages/HeadingSortCycle.h"
#include "pages/NullMarkDelegate.h"
#include "pages/PageText.h"
#include "pages/RowsSpinBox.h"
#include "pages/TextGridModel.h"

namespace rowsmith::gui {

SamplePage::SamplePage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("queryDataSheet"));

  m_label3 = new QLabel(QStringLiteral("&Rows to display"), this);
  m_label3->setObjectName(QStringLiteral("Label3"));

  m_rowsReturned = new QLabel(QStringLiteral("Rows returned: -"), this);
  m_rowsReturned->setObjectName(QStringLiteral("rowsReturned"));
  setHint(m_rowsReturned, "The number of rows shown in the grid above");

  m_previewRows = new RowsSpinBox(this);
  m_previewRows->setObjectName(QStringLiteral("previewRows"));
  setHint(m_previewRows, "The maximum number of preview rows to retrieve");
  m_previewRows->setMinimumWidth(65);
  m_label3->setBuddy(m_previewRows);

  m_model = new TextGridModel(this);
  m_model->setHeadings({QString()});
  m_model->appendRow({TextGridModel::Cell{}});
  m_previewGrid = new QTableView(this);
  m_previewGrid->setObjectName(QStringLiteral("previewGrid"));
  setHint(m_previewGrid, "This grid shows sample data using the query specified on the QUERY tab");
  m_previewGrid->setModel(m_model);
  m_previewGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_previewGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_previewGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_previewGrid->setItemDelegate(new NullMarkDelegate(m_previewGrid));
  new HeadingSortCycle(*m_previewGrid->horizontalHeader());

  auto* band = new QHBoxLayout;
  band->addWidget(m_label3);
  band->addWidget(m_previewRows);
  band->addSpacing(16);
  band->addWidget(m_rowsReturned, 1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(m_previewGrid, 1);
  layout->addLayout(band);

  connect(m_previewRows, &QSpinBox::textChanged, this, &SamplePage::changed);
}

QList<QObject*> SamplePage::components() const {
  return {m_label3, m_rowsReturned, m_previewRows, m_previewGrid};
}

}  // namespace rowsmith::gui
