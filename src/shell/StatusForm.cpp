#include "shell/StatusForm.h"

#include <QCloseEvent>
#include <QDir>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "document/Settings.h"
#include "engine/DataThread.h"
#include "engine/JournalUndo.h"
#include "shell/DialogService.h"
#include "shell/FormTranslator.h"
#include "shell/MessageBoxes.h"
#include "shell/StatusFormObserver.h"
#include "support/ui/HelpContexts.h"

namespace rowsmith::gui {

namespace {

QString duration(long long seconds) {
  if (seconds < 60) return QStringLiteral("%1 s").arg(seconds);
  if (seconds < 3600) return QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60);
  return QStringLiteral("%1 h %2 min").arg(seconds / 3600).arg((seconds % 3600) / 60);
}

}  // namespace

TTstatusForm::TTstatusForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("TstatusForm"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Processing data rows..."));
  setProperty("helpContext", HelpContexts::kProgressWindow);

  m_statusText = new QLabel(QStringLiteral("Processing record 0 of 0:"), this);
  m_statusText->setObjectName(QStringLiteral("statusText"));
  m_taskProgress = new QProgressBar(this);
  m_taskProgress->setObjectName(QStringLiteral("taskProgress"));
  m_taskProgress->setRange(0, 100);
  m_taskProgress->setValue(0);
  m_taskProgress->setTextVisible(false);
  m_taskProgress->setFixedHeight(12);
  m_rateText = new QLabel(this);
  m_rateText->setObjectName(QStringLiteral("rateText"));
  // Remarks on the outcome; hidden until there is one.
  m_noticeText = new QLabel(this);
  m_noticeText->setObjectName(QStringLiteral("noticeText"));
  m_noticeText->setWordWrap(true);
  m_noticeText->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_noticeText->hide();
  m_cancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
  m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
  m_cancelButton->setMinimumSize(88, 25);
  m_cancelButton->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));

  // Offered once a run that kept an undo journal has ended.
  m_undoButton = new QPushButton(QStringLiteral("&Undo this run"), this);
  m_undoButton->setObjectName(QStringLiteral("undoButton"));
  m_undoButton->setMinimumHeight(25);
  m_undoButton->setIcon(QIcon::fromTheme(QStringLiteral("edit-undo")));
  m_undoButton->hide();

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_rateText, 1);
  buttons->addWidget(m_undoButton);
  buttons->addWidget(m_cancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->setSpacing(6);
  layout->addWidget(m_statusText);
  layout->addWidget(m_taskProgress);
  layout->addWidget(m_noticeText);
  layout->addLayout(buttons);
  setMinimumWidth(351);
  resize(351, sizeHint().height());

  connect(m_cancelButton, &QPushButton::clicked, this, &TTstatusForm::cancelButtonClick);
  connect(m_undoButton, &QPushButton::clicked, this, &TTstatusForm::undoButtonClick);
  MessageBoxes::runGuarded(this, [this] { FormTranslator::TranslateForm(*this); });
}

TTstatusForm::~TTstatusForm() = default;

QList<QObject*> TTstatusForm::ownedComponents() const {
  return {m_statusText, m_taskProgress, m_cancelButton, m_rateText};
}

void TTstatusForm::attachThread(const std::shared_ptr<TDataThread>& thread) {
  m_dataThread = thread;
  m_clock.start();
  if (m_cancelRequested) m_dataThread->Terminate();
}

void TTstatusForm::showStatus(const QString& text) { m_statusText->setText(text); }

void TTstatusForm::showNotice(const QString& text) {
  const QString shown = m_noticeText->text();
  m_noticeText->setText(shown.isEmpty() ? text : shown + QLatin1Char('\n') + text);
  m_noticeText->show();
  resize(width(), qMax(height(), sizeHint().height()));
}

void TTstatusForm::showProgress(int percent) { m_taskProgress->setValue(qBound(0, percent, 100)); }

void TTstatusForm::showRows(long long row, long long total) {
  if (!m_clock.isValid() || row <= 0) return;
  const double seconds = m_clock.elapsed() / 1000.0;
  if (seconds < 0.2) return;
  const double rate = row / seconds;
  m_rate = QStringLiteral("%1 rows/s").arg(qRound64(rate));
  QString text = m_rate;
  if (total > row && rate > 0)
    text += QStringLiteral(", about %1 left").arg(duration(qRound64((total - row) / rate)));
  m_rateText->setText(text);
}

void TTstatusForm::setFinished() {
  m_ended = true;
  m_dataThread.reset();
  showTimeTaken();
  setButtonKind(ButtonKind::Ok);
  offerUndo();
}

void TTstatusForm::setFailed() {
  m_ended = true;
  m_dataThread.reset();
  showTimeTaken();
  offerUndo();
}

void TTstatusForm::showJournal(const QString& path, long long rows) {
  m_journalPath = path;
  m_journalRows = rows;
  if (m_ended) offerUndo();
}

void TTstatusForm::offerUndo() {
  if (m_journalPath.isEmpty() || m_journalRows <= 0) return;
  m_undoButton->setToolTip(QStringLiteral("Puts back the values this run changed, from %1")
                               .arg(QDir::toNativeSeparators(m_journalPath)));
  m_undoButton->show();
}

void TTstatusForm::undoButtonClick() {
  MessageBoxes::runGuarded(this, [this] {
    const QString rows = m_journalRows == 1 ? QStringLiteral("the row")
                                            : QStringLiteral("the %1 rows").arg(m_journalRows);
    const auto answer = DialogService::instance().showMessage(
        this, DialogService::Kind::Confirmation, QStringLiteral("Confirm"),
        QStringLiteral("Put back the old values of %1 this run changed?\n\nRows changed since "
                       "the run are left alone and listed.")
            .arg(rows));
    if (answer != DialogService::Answer::Yes) return;
    RunOptions options;
    options.undo =
        std::make_shared<JournalUndo>(m_journalPath.toStdString(), JournalUndo::Options{});
    auto settings = options.undo->undoSettings();
    auto* form = new TTstatusForm;
    form->setWindowTitle(QStringLiteral("Undoing a run..."));
    form->show();
    TDataThread::create(std::move(settings), std::make_shared<StatusFormObserver>(form), {},
                        options);
    m_undoButton->setEnabled(false);
  });
}

void TTstatusForm::showTimeTaken() {
  if (!m_clock.isValid()) return;
  const QString taken =
      QStringLiteral("took %1").arg(duration(qRound64(m_clock.elapsed() / 1000.0)));
  m_rateText->setText(m_rate.isEmpty() ? taken : m_rate + QStringLiteral(", ") + taken);
}

void TTstatusForm::cancelButtonClick() {
  if (m_kind == ButtonKind::Cancel && !m_ended) {
    stopRun();
    setButtonKind(ButtonKind::Close);
    return;
  }
  close();
}

void TTstatusForm::stopRun() {
  if (m_dataThread)
    m_dataThread->Terminate();
  else
    m_cancelRequested = true;
}

void TTstatusForm::setButtonKind(ButtonKind kind) {
  m_kind = kind;
  switch (kind) {
    case ButtonKind::Cancel:
      m_cancelButton->setText(QStringLiteral("&Cancel"));
      m_cancelButton->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
      break;
    case ButtonKind::Close:
      m_cancelButton->setText(QStringLiteral("&Close"));
      m_cancelButton->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
      break;
    case ButtonKind::Ok:
      m_cancelButton->setText(QStringLiteral("&OK"));
      m_cancelButton->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
      m_cancelButton->setDefault(true);
      m_cancelButton->setFocus();
      break;
  }
}

void TTstatusForm::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if ((event->key() == Qt::Key_Escape && m_kind == ButtonKind::Cancel) ||
      (enter && m_kind == ButtonKind::Ok)) {
    m_cancelButton->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TTstatusForm::closeEvent(QCloseEvent* event) {
  // A run whose window is gone could not be stopped any more: stop it.
  if (!m_ended && m_kind == ButtonKind::Cancel) stopRun();
  QWidget::closeEvent(event);
}

}  // namespace rowsmith::gui
