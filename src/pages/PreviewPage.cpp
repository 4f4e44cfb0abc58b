#include "pages/PreviewPage.h"

#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>

#include "pages/HeadingSortCycle.h"
#include "pages/NullMarkDelegate.h"
#include "pages/PageText.h"
#include "pages/TextGridModel.h"

namespace rowsmith::gui {

PreviewPage::PreviewPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("previewChangesSheet"));
  m_model = new TextGridModel(this);
  m_previewTest = new QTableView(this);
  m_previewTest->setObjectName(QStringLiteral("previewTest"));
  setHint(m_previewTest, "This grid shows the preview data with the transforms applied");
  m_previewTest->setModel(m_model);
  m_previewTest->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_previewTest->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_previewTest->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_previewTest->setItemDelegate(new NullMarkDelegate(m_previewTest));
  new HeadingSortCycle(*m_previewTest->horizontalHeader());

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(m_previewTest);
}

QList<QObject*> PreviewPage::components() const { return {m_previewTest}; }

}  // namespace rowsmith::gui
