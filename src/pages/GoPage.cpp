#include "pages/GoPage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>

namespace rowsmith::gui {

GoPage::GoPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("TabSheet3"));

  m_image1 = new QLabel(this);
  m_image1->setObjectName(QStringLiteral("Image1"));
  const QPixmap picture(QStringLiteral(":/pictures/go.png"));
  m_image1->setPixmap(picture);
  m_image1->setAlignment(Qt::AlignTop | Qt::AlignLeft);

  m_label8 = new QLabel(
      QStringLiteral("Rowsmith has all the information it needs!\n\nPlease click the [GO] button "
                     "below\nto begin processing on LIVE DATA."),
      this);
  m_label8->setObjectName(QStringLiteral("Label8"));
  m_label8->setAlignment(Qt::AlignCenter);
  QFont bold = m_label8->font();
  bold.setBold(true);
  m_label8->setFont(bold);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(m_image1);
  layout->addWidget(m_label8, 1);
}

QList<QObject*> GoPage::components() const { return {m_image1, m_label8}; }

}  // namespace rowsmith::gui
