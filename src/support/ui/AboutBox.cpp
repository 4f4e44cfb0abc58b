#include "support/ui/AboutBox.h"

#include <QApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTextEdit>
#include <QVBoxLayout>

#include "localisation/LangString.h"
#include "localisation/NumberedTexts.h"
#include "pages/PageText.h"
#include "shell/FormTranslator.h"
#include "shell/MessageBoxes.h"
#include "support/Product.h"
#include "support/UpdateCheck.h"
#include "support/ui/HelpDispatch.h"
#include "support/ui/ShippedDocument.h"

namespace rowsmith::gui {

namespace {

constexpr int kPageWidth = 521;
constexpr int kPageHeight = 257;
constexpr int kIconSize = 32;

constexpr const char* kComments =
    "Searches and replaces text inside the rows of a database: the values of each column pass "
    "through a Wordmill filter and are written back into the same rows.\n\n"
    "Copyright (c) 2026 Morvane Software. Rowsmith is free software under the MIT License; "
    "see the License Agreement page.";

QLabel* label(QWidget* parent, const char* name, const QString& text) {
  auto* result = new QLabel(text, parent);
  result->setObjectName(QString::fromLatin1(name));
  return result;
}

QPushButton* linkButton(QWidget* parent, const char* name, const char* caption, const char* hint) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  setHint(button, hint);
  button->setMinimumSize(105, 25);
  button->setCursor(Qt::PointingHandCursor);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

TABox::TABox(QWidget* parent) : QDialog(parent) {
  buildFrame();
  FormCreate();
  setFixedSize(sizeHint().expandedTo(QSize(kDesignWidth, 0)));
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TABox::buildFrame() {
  setObjectName(QStringLiteral("ABox"));
  setWindowTitle(QStringLiteral("About"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  m_banner = label(this, "banner", {});
  m_banner->setAlignment(Qt::AlignCenter);

  m_pageControl = new QTabWidget(this);
  m_pageControl->setObjectName(QStringLiteral("PageControl"));
  m_pageControl->setMinimumSize(kPageWidth, kPageHeight);
  QWidget* applicationTab = buildApplicationTab();
  m_pageControl->addTab(applicationTab, QStringLiteral("Application"));

  auto* whatsNewTab = new QWidget;
  whatsNewTab->setObjectName(QStringLiteral("whatsNewTab"));
  m_pageControl->addTab(whatsNewTab, QStringLiteral("Release Notes"));
  m_whatsNew = documentBox("whatsnew");
  auto* licenceTab = new QWidget;
  licenceTab->setObjectName(QStringLiteral("licenceTab"));
  m_pageControl->addTab(licenceTab, QStringLiteral("License Agreement"));
  m_licence = documentBox("licence");
  for (auto [tab, box] : {std::pair{whatsNewTab, m_whatsNew}, std::pair{licenceTab, m_licence}}) {
    auto* fill = new QVBoxLayout(tab);
    fill->setContentsMargins(4, 4, 4, 4);
    fill->addWidget(box);
  }

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(7, 8, 8, 8);
  layout->setSpacing(8);
  layout->addWidget(m_banner);
  layout->addWidget(m_pageControl, 1);

  // Creation order, which is the order the language file lists the texts in.
  m_components << m_banner << m_pageControl << applicationTab << m_programIcon << m_comments
               << m_productName << m_button1 << m_button2 << whatsNewTab << m_whatsNew << licenceTab
               << m_licence;

  connect(m_button1, &QPushButton::clicked, this,
          [this] { HelpDispatch::onAboutButton(m_button1, 3); });
  connect(m_button2, &QPushButton::clicked, this,
          [this] { HelpDispatch::onAboutButton(m_button2, 4); });
  connect(m_pageControl, &QTabWidget::currentChanged, this, &TABox::PageControlChange);
}

QWidget* TABox::buildApplicationTab() {
  auto* tab = new QWidget;
  tab->setObjectName(QStringLiteral("ApplicationTab"));
  m_programIcon = label(tab, "ProgramIcon", {});
  m_programIcon->setFixedSize(kIconSize, kIconSize);
  m_comments = label(tab, "Comments", QString::fromUtf8(kComments));
  m_comments->setWordWrap(true);
  m_comments->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_comments->setMinimumWidth(343);
  m_productName = label(tab, "ProductName", QStringLiteral("Rowsmith"));
  m_productName->setWordWrap(true);
  QFont large = m_productName->font();
  large.setPointSizeF(large.pointSizeF() * 1.5);
  large.setBold(true);
  m_productName->setFont(large);
  auto* line = new QFrame(tab);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  m_button1 = linkButton(tab, "Button1", "&Web site", "Visit the Morvane Software web site");
  m_button2 = linkButton(tab, "Button2", "Other &products",
                         "Information about other Morvane Software applications");

  auto* heading = new QHBoxLayout;
  heading->setSpacing(10);
  heading->addWidget(m_programIcon, 0, Qt::AlignTop);
  heading->addWidget(m_productName, 1);
  auto* text = new QVBoxLayout;
  text->setSpacing(8);
  text->addLayout(heading);
  text->addWidget(line);
  text->addWidget(m_comments);
  text->addStretch(1);
  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(6);
  buttons->addWidget(m_button1);
  buttons->addWidget(m_button2);
  buttons->addStretch(1);
  auto* columns = new QHBoxLayout(tab);
  columns->setContentsMargins(10, 10, 10, 10);
  columns->setSpacing(16);
  columns->addLayout(text, 1);
  columns->addLayout(buttons);
  return tab;
}

QTextEdit* TABox::documentBox(const char* name) {
  auto* box = new QTextEdit;
  box->setObjectName(QString::fromLatin1(name));
  box->setReadOnly(true);
  box->setAcceptRichText(false);
  box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  box->setLineWrapMode(QTextEdit::WidgetWidth);
  // Not a tab stop; a click still gives it the focus for selecting text.
  box->setFocusPolicy(Qt::ClickFocus);
  return box;
}

void TABox::FormCreate() {
  MessageBoxes::runGuarded(this, [this] { FormTranslator::TranslateForm(*this); });
  m_pageControl->setCurrentIndex(ApplicationIndex);
  m_productName->setText(QStringLiteral("%1 v%2").arg(QString::fromLatin1(product::kName),
                                                      QString::fromLatin1(product::kVersion)));
  const QPixmap banner(QStringLiteral(":/pictures/banner.png"));
  if (!banner.isNull()) m_banner->setPixmap(banner);
  setWindowTitle(
      QString::fromStdString(UpdateCheck::withProductName(LangString(texts::kAboutTitle))));
  QIcon icon = QApplication::windowIcon();
  if (icon.isNull()) icon = QIcon(QStringLiteral(":/icons/rowsmith.png"));
  m_programIcon->setPixmap(icon.pixmap(QSize(kIconSize, kIconSize), devicePixelRatio()));
}

void TABox::PageControlChange(int index) {
  if (index == WhatsNewIndex)
    m_whatsNew->setPlainText(ShippedDocument::read(QString::fromLatin1(kWhatsNewFile)));
  else if (index == LicenceIndex)
    m_licence->setPlainText(ShippedDocument::read(QString::fromLatin1(kLicenceFile)));
}

}  // namespace rowsmith::gui
