#include "support/ui/HelpBrowser.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "support/ui/HelpContexts.h"

namespace rowsmith::gui {

HelpBrowser::HelpBrowser(const QString& folder, QWidget* parent)
    : QWidget(parent, Qt::Window), m_folder(folder) {
  setObjectName(QStringLiteral("HelpBrowser"));
  setWindowTitle(QStringLiteral("Rowsmith Help"));

  m_view = new QTextBrowser(this);
  m_view->setObjectName(QStringLiteral("helpView"));
  m_view->setSearchPaths({folder});
  m_view->setOpenExternalLinks(true);

  auto* contents = new QPushButton(QStringLiteral("&Contents"), this);
  auto* index = new QPushButton(QStringLiteral("&Index"), this);
  m_back = new QPushButton(QStringLiteral("< &Back"), this);
  m_forward = new QPushButton(QStringLiteral("&Forward >"), this);
  m_back->setEnabled(false);
  m_forward->setEnabled(false);

  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {contents, index, m_back, m_forward}) buttons->addWidget(button);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(m_view, 1);

  connect(contents, &QPushButton::clicked, this,
          [this] { showPage(QString::fromLatin1(HelpContexts::kContentsPage)); });
  connect(index, &QPushButton::clicked, this,
          [this] { showPage(QString::fromLatin1(HelpContexts::kIndexPage)); });
  connect(m_back, &QPushButton::clicked, m_view, &QTextBrowser::backward);
  connect(m_forward, &QPushButton::clicked, m_view, &QTextBrowser::forward);
  connect(m_view, &QTextBrowser::backwardAvailable, m_back, &QPushButton::setEnabled);
  connect(m_view, &QTextBrowser::forwardAvailable, m_forward, &QPushButton::setEnabled);
  resize(760, 560);
}

void HelpBrowser::showPage(const QString& page) {
  const QString file = page.section(QLatin1Char('#'), 0, 0);
  const QString path = QDir(m_folder).filePath(file);
  if (QFileInfo::exists(path)) {
    QUrl url = QUrl::fromLocalFile(path);
    const QString anchor = page.section(QLatin1Char('#'), 1);
    if (!anchor.isEmpty()) url.setFragment(anchor);
    m_view->setSource(url);
  } else {
    m_view->setHtml(
        QStringLiteral("<h1>Help page missing</h1><p>The help page <b>%1</b> is not in %2.</p>"
                       "<p>Reinstall Rowsmith, or open the help pages from the folder "
                       "resources/help of its source.</p>")
            .arg(file.toHtmlEscaped(), m_folder.toHtmlEscaped()));
  }
  show();
  raise();
  activateWindow();
}

QString HelpBrowser::currentPage() const {
  const QUrl source = m_view->source();
  if (source.isEmpty()) return {};
  return QFileInfo(source.toLocalFile()).fileName();
}

}  // namespace rowsmith::gui
