#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QWidget>
#include <memory>

#include "shell/ComponentOwner.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace rowsmith {
class TDataThread;
}

namespace rowsmith::gui {

// The progress window of one run (TTstatusForm): the status line, the
// progress bar with the rate and the time left under it, and one button
// that is Cancel while the run goes on (Esc presses it), Close after a
// cancel, and OK once the run has ended (Enter presses it). Not modal; it
// destroys itself when closed. Closing it while its run still goes on asks
// the run to stop, as Cancel does.
//
// Threading: UI thread only; the run reaches it through StatusFormObserver.
class TTstatusForm : public QWidget, public ComponentOwner {
  Q_OBJECT

 public:
  enum class ButtonKind { Cancel, Close, Ok };

  explicit TTstatusForm(QWidget* parent = nullptr);
  ~TTstatusForm() override;

  QString componentClassName() const override { return QStringLiteral("TTstatusForm"); }
  QList<QObject*> ownedComponents() const override;

  void attachThread(const std::shared_ptr<TDataThread>& thread);
  void showStatus(const QString& text);
  void showProgress(int percent);
  // A remark on the run's outcome, shown under the bar; remarks add up.
  void showNotice(const QString& text);
  // Rows handled so far and the announced total (below 1 when unknown).
  void showRows(long long row, long long total);
  void setFinished();
  // The run ended with an error (its box has been shown).
  void setFailed();
  void cancelButtonClick();
  // The run keeps an undo journal at `path` with `rows` changed rows: once
  // the run has ended, "Undo this run" offers to put them back.
  void showJournal(const QString& path, long long rows);
  // Asks, then puts back what the journal holds in a progress window of
  // its own.
  void undoButtonClick();

  ButtonKind buttonKind() const { return m_kind; }
  // The run has finished or failed.
  bool ended() const { return m_ended; }
  QLabel* statusText() const { return m_statusText; }
  QLabel* rateText() const { return m_rateText; }
  QLabel* noticeText() const { return m_noticeText; }
  QProgressBar* taskProgress() const { return m_taskProgress; }
  QPushButton* cancelButton() const { return m_cancelButton; }
  QPushButton* undoButton() const { return m_undoButton; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void setButtonKind(ButtonKind kind);
  void stopRun();
  // Once the run has ended: the rate it reached and the time it took, with
  // no time left.
  void showTimeTaken();
  void offerUndo();

  QLabel* m_statusText;
  QProgressBar* m_taskProgress;
  QLabel* m_rateText;
  QLabel* m_noticeText;
  QPushButton* m_cancelButton;
  QPushButton* m_undoButton;
  QString m_journalPath;
  long long m_journalRows = 0;
  ButtonKind m_kind = ButtonKind::Cancel;
  std::shared_ptr<TDataThread> m_dataThread;
  // Cancel came before the run had attached itself.
  bool m_cancelRequested = false;
  bool m_ended = false;
  QElapsedTimer m_clock;
  QString m_rate;  // the last rate shown, "N rows/s"
};

}  // namespace rowsmith::gui
