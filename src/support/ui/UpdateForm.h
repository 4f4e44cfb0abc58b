#pragma once

#include <QDialog>
#include <QList>
#include <memory>
#include <string>

#include "shell/ComponentOwner.h"

class QCloseEvent;
class QDateTimeEdit;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTabWidget;

namespace rowsmith {
class THTTPGet;
class UpdateCheck;
}  // namespace rowsmith

namespace rowsmith::gui {

// The update dialog (TupdateForm): asks the update server now, or puts the
// automatic check off until a picked date. UpdateCheck does the asking and
// judging; this window shows it.
//
// It is modeless and stays on top. The start-up check creates it hidden and
// asks the server at once; it then shows only the news of an update, and a
// failed request closes it. A visible dialog reports every answer.
//
// okButton starts as the default OK button; its first press turns it into a
// "&Close" button that only closes the dialog. Closing the dialog, hidden or
// not, aborts a running transfer and destroys the dialog (deleteLater); no
// answer is reported after it has closed.
//
// Threading: UI thread only. The getter's handlers run on the getter's
// worker thread: they only post a queued call to this dialog and return,
// and the getter is aborted before the dialog goes, so a posted call either
// runs while the dialog exists or is dropped with it.
class TupdateForm : public QDialog, public ComponentOwner {
  Q_OBJECT

 public:
  // The client area at the least; larger fonts make the dialog larger.
  static constexpr int kDesignWidth = 241;
  static constexpr int kDesignHeight = 202;

  // check must outlive the dialog. parent is the main window.
  TupdateForm(UpdateCheck& check, QWidget* parent);
  ~TupdateForm() override;

  QString componentClassName() const override { return QStringLiteral("TupdateForm"); }
  QList<QObject*> ownedComponents() const override { return m_components; }

  // Points the getter at the update server and starts the transfer; does
  // nothing new while one is running, whose answer is then reported.
  void fetchPage();

  QRadioButton* checkWeb() const { return m_checkWeb; }
  QRadioButton* dontAsk() const { return m_dontAsk; }
  QDateTimeEdit* nextDate() const { return m_nextDate; }
  QPushButton* okButton() const { return m_okButton; }
  QString statusText() const;
  // The picker's value as a day number: its date plus its time of day.
  double pickerValue() const;
  bool transferRunning() const;

 public slots:
  // Escape closes the dialog like its title bar's close button.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildFrame();
  void FormCreate();
  void checkWebClick();
  void okButtonPressed();
  void okButtonClick();
  void HTTPGet1DoneString(const std::string& result);
  void HTTPGet1Error();
  // Where message boxes go: the dialog when it is shown, else its owner.
  QWidget* messageParent();

  UpdateCheck& m_check;
  std::unique_ptr<THTTPGet> m_getter;
  QList<QObject*> m_components;
  QTabWidget* m_pageControl = nullptr;
  QWidget* m_tabSheet = nullptr;
  QGroupBox* m_groupBox = nullptr;
  QRadioButton* m_checkWeb = nullptr;
  QRadioButton* m_dontAsk = nullptr;
  QDateTimeEdit* m_nextDate = nullptr;
  QPushButton* m_okButton = nullptr;
  QStatusBar* m_statusBar = nullptr;
  QLabel* m_statusLine = nullptr;
  bool m_closeRole = false;
  // Closed and about to be destroyed: calls posted by the getter are ignored.
  bool m_closed = false;
};

}  // namespace rowsmith::gui
