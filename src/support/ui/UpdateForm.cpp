#include "support/ui/UpdateForm.h"

#include <QCloseEvent>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cmath>

#include "common/DayNumber.h"
#include "pages/PageText.h"
#include "shell/ComponentText.h"
#include "shell/FormTranslator.h"
#include "shell/MessageBoxes.h"
#include "support/HTTPGet.h"
#include "support/UpdateCheck.h"
#include "support/ui/HelpContexts.h"
#include "support/ui/HelpDispatch.h"

namespace rowsmith::gui {

namespace {

constexpr int kMillisecondsPerDay = 86400000;
// The bottom panel under the page: the button above the status bar.
constexpr int kPanelHeight = 57;

QDate dateOf(double dayNumber) {
  const CalendarDate date = calendarDateOf(dayNumber);
  return QDate(date.year, date.month, date.day);
}

// The user's short date format, always with a four-digit year so that a
// typed date cannot land in the wrong century.
QString shortDateFormat() {
  QString format = QLocale().dateFormat(QLocale::ShortFormat);
  if (!format.contains(QStringLiteral("yyyy")))
    format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
  return format;
}

// A component's caption or hint used as a pattern with the product name.
void fillProductName(QObject* component, const char* property) {
  const QString name = QString::fromLatin1(property);
  const std::string pattern = ComponentText::read(component, name).toStdString();
  ComponentText::write(component, name,
                       QString::fromStdString(UpdateCheck::withProductName(pattern)));
}

}  // namespace

TupdateForm::TupdateForm(UpdateCheck& check, QWidget* parent)
    : QDialog(parent), m_check(check), m_getter(std::make_unique<THTTPGet>()) {
  setAttribute(Qt::WA_DeleteOnClose);
  buildFrame();
  FormCreate();
  setFixedSize(QSize(kDesignWidth, kDesignHeight).expandedTo(sizeHint()));
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

TupdateForm::~TupdateForm() {
  // FormDestroy: once Abort returns no handler of the transfer runs any
  // more, and a call it posted is dropped with this object.
  m_getter->Abort();
}

void TupdateForm::buildFrame() {
  setObjectName(QStringLiteral("updateForm"));
  setWindowTitle(QStringLiteral("%s update"));
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setProperty("helpContext", HelpContexts::kUpdateDialog);

  m_pageControl = new QTabWidget(this);
  m_pageControl->setObjectName(QStringLiteral("PageControl1"));
  m_tabSheet = new QWidget;
  m_tabSheet->setObjectName(QStringLiteral("TabSheet1"));
  m_pageControl->addTab(m_tabSheet, QStringLiteral("Update"));

  m_groupBox = new QGroupBox(QStringLiteral(" This copy of %s may be out of date "), m_tabSheet);
  m_groupBox->setObjectName(QStringLiteral("GroupBox1"));
  m_checkWeb = new QRadioButton(QStringLiteral("Check web for updates now"), m_groupBox);
  m_checkWeb->setObjectName(QStringLiteral("checkWeb"));
  setHint(m_checkWeb, "Access the internet to find out if %s needs updating");
  m_checkWeb->setChecked(true);
  m_dontAsk = new QRadioButton(QStringLiteral("Don't ask me again until"), m_groupBox);
  m_dontAsk->setObjectName(QStringLiteral("dontAsk"));
  setHint(m_dontAsk, "Don't perform this check until the date specified");
  m_nextDate = new QDateTimeEdit(m_groupBox);
  m_nextDate->setObjectName(QStringLiteral("nextDate"));
  m_nextDate->setDisplayFormat(shortDateFormat());
  m_nextDate->setCalendarPopup(true);
  m_nextDate->setTime(QTime::fromMSecsSinceStartOfDay(
      static_cast<int>(std::lround(UpdateCheck::kPickerTimeOfDay * kMillisecondsPerDay))));
  setHint(m_nextDate, "Remind me after this date");
  m_nextDate->setEnabled(false);

  auto* choices = new QVBoxLayout(m_groupBox);
  choices->setContentsMargins(8, 6, 8, 8);
  choices->setSpacing(4);
  choices->addWidget(m_checkWeb);
  choices->addWidget(m_dontAsk);
  auto* dateRow = new QHBoxLayout;
  dateRow->setContentsMargins(18, 0, 0, 0);
  dateRow->addWidget(m_nextDate);
  dateRow->addStretch(1);
  choices->addLayout(dateRow);
  choices->addStretch(1);
  auto* page = new QVBoxLayout(m_tabSheet);
  page->setContentsMargins(8, 8, 8, 8);
  page->addWidget(m_groupBox);

  auto* panel = new QWidget(this);
  panel->setObjectName(QStringLiteral("Panel1"));
  panel->setMinimumHeight(kPanelHeight);
  m_okButton = new QPushButton(QStringLiteral("OK"), panel);
  m_okButton->setObjectName(QStringLiteral("okButton"));
  m_okButton->setMinimumSize(75, 25);
  m_okButton->setDefault(true);
  m_statusBar = new QStatusBar(panel);
  m_statusBar->setObjectName(QStringLiteral("StatusBar"));
  m_statusBar->setSizeGripEnabled(false);
  m_statusLine = new QLabel(m_statusBar);
  m_statusBar->addWidget(m_statusLine, 1);

  auto* buttonRow = new QHBoxLayout;
  buttonRow->setContentsMargins(8, 7, 8, 4);
  buttonRow->addStretch(1);
  buttonRow->addWidget(m_okButton);
  auto* panelLayout = new QVBoxLayout(panel);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->setSpacing(0);
  panelLayout->addLayout(buttonRow);
  panelLayout->addStretch(1);
  panelLayout->addWidget(m_statusBar);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 2, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(m_pageControl, 1);
  layout->addWidget(panel);

  // Creation order, which is the order the language file lists the texts in.
  m_components << m_pageControl << m_tabSheet << m_groupBox << m_checkWeb << m_dontAsk << m_nextDate
               << panel << m_okButton << m_statusBar;

  connect(m_checkWeb, &QRadioButton::toggled, this, &TupdateForm::checkWebClick);
  connect(m_dontAsk, &QRadioButton::toggled, this, &TupdateForm::checkWebClick);
  connect(m_okButton, &QPushButton::clicked, this, &TupdateForm::okButtonPressed);

  // The getter's events come on its worker thread: each only posts a call
  // to this dialog (queued, never waited for) and returns.
  m_getter->setBinaryData(false);
  m_getter->setWaitThread(false);
  m_getter->setOnDoneString([this](THTTPGet&, const std::string& result) {
    QMetaObject::invokeMethod(
        this, [this, result] { HTTPGet1DoneString(result); }, Qt::QueuedConnection);
  });
  m_getter->setOnError([this](THTTPGet&) {
    QMetaObject::invokeMethod(
        this, [this] { HTTPGet1Error(); }, Qt::QueuedConnection);
  });
}

void TupdateForm::FormCreate() {
  // A bad text in the language file stops the translation where it is; the
  // dialog is complete all the same.
  MessageBoxes::runGuarded(this, [this] { FormTranslator::TranslateForm(*this); });
  setWindowTitle(QString::fromStdString(UpdateCheck::withProductName(windowTitle().toStdString())));
  fillProductName(m_groupBox, "Caption");
  fillProductName(m_checkWeb, "Caption");
  // The hint names the product too rather than showing its placeholder.
  fillProductName(m_checkWeb, "Hint");
  m_nextDate->setDate(dateOf(m_check.initialPickerDate()));
  m_checkWeb->setFocus();
}

void TupdateForm::checkWebClick() { m_nextDate->setEnabled(m_dontAsk->isChecked()); }

void TupdateForm::okButtonPressed() {
  if (m_closeRole) {
    close();
    return;
  }
  okButtonClick();
}

void TupdateForm::okButtonClick() {
  m_closeRole = true;
  m_okButton->setText(QStringLiteral("&Close"));
  m_okButton->setDefault(false);
  m_okButton->setAutoDefault(false);
  if (m_dontAsk->isChecked()) {
    m_check.postponeUntil(pickerValue());
    close();
    return;
  }
  m_statusLine->setText(QString::fromStdString(UpdateCheck::checkingText()));
  fetchPage();
}

void TupdateForm::fetchPage() { m_check.fetchPage(*m_getter); }

void TupdateForm::HTTPGet1DoneString(const std::string& result) {
  if (m_closed) return;
  const UpdateVerdict verdict = m_check.answerArrived(result);
  // The question has been answered: the status line no longer asks the
  // user to wait.
  m_statusLine->clear();
  if (!isVisible() && !verdict.shownWhenHidden()) return;
  const QString text = QString::fromStdString(verdict.message);
  if (verdict.kind != UpdateVerdict::Kind::UpdateAvailable) {
    MessageBoxes::showPlain(messageParent(), verdict.message);
    return;
  }
  const QString homePage = QString::fromStdString(m_check.homePageURL());
  const DialogService::Answer answer = DialogService::instance().showMessage(
      messageParent(), DialogService::Kind::Confirmation, QStringLiteral("Confirm"), text);
  if (answer == DialogService::Answer::Yes) HelpDispatch::ShellOpen(homePage);
}

void TupdateForm::HTTPGet1Error() {
  if (m_closed) return;
  if (isVisible())
    m_statusLine->setText(QString::fromStdString(UpdateCheck::connectionErrorText()));
  else
    close();
}

QWidget* TupdateForm::messageParent() { return isVisible() ? this : parentWidget(); }

QString TupdateForm::statusText() const { return m_statusLine->text(); }

double TupdateForm::pickerValue() const {
  const QDate date = m_nextDate->date();
  return dayNumberOf({date.year(), date.month(), date.day()}) +
         m_nextDate->time().msecsSinceStartOfDay() / double(kMillisecondsPerDay);
}

bool TupdateForm::transferRunning() const { return m_getter->running(); }

void TupdateForm::reject() { close(); }

void TupdateForm::closeEvent(QCloseEvent* event) {
  // FormClose: the dialog is freed whenever it closes (WA_DeleteOnClose).
  // An answer that arrived but is not handled yet is dropped with it.
  m_getter->Abort();
  m_closed = true;
  event->accept();
}

}  // namespace rowsmith::gui
