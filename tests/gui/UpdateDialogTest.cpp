// The update dialog against the local test web server: the answers as the
// user sees them, putting the check off, closing during a transfer, and the
// hidden check at start-up.
#include <QAction>
#include <QDateTimeEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QThread>
#include <QUrl>

#include "WindowFixtureSupport.h"
#include "common/DayNumber.h"
#include "document/Settings.h"
#include "shell/HelpKeyFilter.h"
#include "shell/MainMenus.h"
#include "support/LocalHttpServer.h"
#include "support/UpdateCheck.h"
#include "support/ui/HelpDispatch.h"
#include "support/ui/UpdateForm.h"

using rowsmith::PreferenceRoot;
using rowsmith::UpdateCheck;
using rowsmith::gui::DialogService;
using rowsmith::gui::HelpDispatch;
using rowsmith::gui::HelpKeyFilter;
using rowsmith::gui::TForm1;
using rowsmith::gui::TupdateForm;
using rowsmith::gui_test::WindowFixture;
using rowsmith::support_test::LocalHttpServer;
using Answer = DialogService::Answer;
using Kind = DialogService::Kind;

Q_DECLARE_METATYPE(DialogService::Answer)
Q_DECLARE_METATYPE(DialogService::Kind)

namespace {

const QString kUpToDate =
    QStringLiteral("You already have the latest version of Rowsmith - no download is necessary");
const QString kUpdate =
    QStringLiteral("A Rowsmith update is available - would you like to download it now?");
const QString kNotFound = QStringLiteral("Rowsmith update information not found");

LocalHttpServer& server() {
  static LocalHttpServer instance;
  return instance;
}

// The update server's address that makes the test server answer with answer.
std::string answering(const std::string& answer) {
  return server().hostAndPort() + "/answer/" + rowsmith::support_test::hexDigits(answer);
}

std::int32_t storedNextCheckDate(WindowFixture& fixture) {
  return fixture.store().readInteger(PreferenceRoot::LocalMachine,
                                     rowsmith::TSettings::registryName(0), UpdateCheck::kDateValue,
                                     -1);
}

// Opens the dialog from the Help menu.
TupdateForm& openFromMenu(TForm1& window) {
  window.menus().checkWebForUpdates1->trigger();
  TupdateForm* dialog = window.updateForm();
  if (!dialog || !dialog->isVisible()) qFatal("the update dialog did not open");
  return *dialog;
}

}  // namespace

class UpdateDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void theDialogAsItOpens();
  void eachAnswerIsReported_data();
  void eachAnswerIsReported();
  void aFailedRequestShowsOnTheStatusLine();
  void dontAskStoresTheDayAfterThePickedDate();
  void closingDuringATransferReportsNothing();
  void anAnswerWaitingWhenTheDialogClosesIsDropped();
  void theStartupCheckIsHidden_data();
  void theStartupCheckIsHidden();
  void aHiddenDialogAppearsFromTheMenuAsItIs();

 private:
  QList<QUrl> m_opened;
};

void UpdateDialogTest::init() {
  m_opened.clear();
  HelpDispatch::setOpener([this](const QUrl& url) {
    m_opened << url;
    return true;
  });
}

void UpdateDialogTest::cleanup() { HelpDispatch::setOpener({}); }

void UpdateDialogTest::theDialogAsItOpens() {
  WindowFixture fixture;
  TForm1& window = fixture.start();
  // The check is not due: start-up asked nothing.
  QVERIFY(window.updateForm() == nullptr);
  window.updateCheck().setNextCheckDate(0);
  TupdateForm& dialog = openFromMenu(window);
  QCOMPARE(dialog.windowTitle(), QStringLiteral("Rowsmith update"));
  QCOMPARE(dialog.checkWeb()->text(), QStringLiteral("Check web for updates now"));
  QCOMPARE(dialog.checkWeb()->toolTip(),
           QStringLiteral("Access the internet to find out if Rowsmith needs updating"));
  QVERIFY(dialog.checkWeb()->isChecked());
  QCOMPARE(dialog.okButton()->text(), QStringLiteral("OK"));
  QVERIFY(dialog.okButton()->isDefault());
  // F1 anywhere in the dialog shows its help topic.
  QCOMPARE(HelpKeyFilter::contextFor(dialog.checkWeb(), window), 1350);
  QVERIFY(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  QVERIFY(!dialog.isModal());
  // Without a stored date the picker starts 30 days ahead, at the time of
  // day that every picked date keeps.
  const rowsmith::CalendarDate ahead = rowsmith::calendarDateOf(rowsmith::todayDayNumber() + 30);
  QCOMPARE(dialog.nextDate()->date(), QDate(ahead.year, ahead.month, ahead.day));
  QCOMPARE(dialog.nextDate()->time(), QTime(22, 7, 28));
  QVERIFY(!dialog.nextDate()->isEnabled());
  dialog.dontAsk()->click();
  QVERIFY(dialog.nextDate()->isEnabled());
  dialog.checkWeb()->click();
  QVERIFY(!dialog.nextDate()->isEnabled());
  QVERIFY(dialog.width() >= TupdateForm::kDesignWidth);
  QVERIFY(dialog.height() >= TupdateForm::kDesignHeight);
}

void UpdateDialogTest::eachAnswerIsReported_data() {
  QTest::addColumn<QByteArray>("answer");
  QTest::addColumn<Kind>("kind");
  QTest::addColumn<QString>("message");
  QTest::addColumn<Answer>("reply");
  QTest::addColumn<bool>("opensSite");

  QTest::newRow("same stamp") << QByteArray("Rowsmith,37187.7920719907\r\n") << Kind::Information
                              << kUpToDate << Answer::Ok << false;
  QTest::newRow("greater, Yes") << QByteArray("Other,1\nRowsmith,37200,notes\n")
                                << Kind::Confirmation << kUpdate << Answer::Yes << true;
  QTest::newRow("greater, No") << QByteArray("Rowsmith,37200") << Kind::Confirmation << kUpdate
                               << Answer::No << false;
  QTest::newRow("a version, not a day")
      << QByteArray("Rowsmith,2.3") << Kind::Information << kUpToDate << Answer::Ok << false;
  QTest::newRow("letter case, no comma") << QByteArray("rowsmith,37200\nRowsmith\n")
                                         << Kind::Information << kNotFound << Answer::Ok << false;
  QTest::newRow("blank before") << QByteArray("Rowsmith, 37200") << Kind::Confirmation << kUpdate
                                << Answer::Cancel << false;
  QTest::newRow("blank after") << QByteArray("Rowsmith,37200 \r\n") << Kind::Information
                               << QStringLiteral(
                                      "Rowsmith date information found in invalid format 37200 ")
                               << Answer::Ok << false;
}

void UpdateDialogTest::eachAnswerIsReported() {
  QFETCH(QByteArray, answer);
  QFETCH(Kind, kind);
  QFETCH(QString, message);
  QFETCH(Answer, reply);
  QFETCH(bool, opensSite);

  WindowFixture fixture;
  TForm1& window = fixture.start();
  fixture.setUpdateServer(answering(answer.toStdString()));
  TupdateForm& dialog = openFromMenu(window);
  fixture.dialogs.expectMessage(message, reply);
  dialog.okButton()->click();
  QCOMPARE(dialog.okButton()->text(), QStringLiteral("&Close"));
  QVERIFY(!dialog.okButton()->isDefault());
  QCOMPARE(dialog.statusText(), QStringLiteral("Checking for update...please wait"));

  QTRY_VERIFY_WITH_TIMEOUT(fixture.dialogs.allAnswered(), 10000);
  QVERIFY2(fixture.dialogs.unexpected.isEmpty(), qPrintable(fixture.dialogs.unexpected.join('\n')));
  QCOMPARE(fixture.dialogs.lastKind, kind);
  QCOMPARE(fixture.dialogs.shown.size(), 1);
  QCOMPARE(m_opened.size(), opensSite ? 1 : 0);
  if (opensSite)
    QCOMPARE(m_opened[0].toString(),
             QString::fromStdString("http://" + server().hostAndPort() + "/"));
  // Any answer puts the automatic check off for three days, in memory.
  QCOMPARE(window.updateCheck().nextCheckDate(), rowsmith::todayDayNumber() + 3);
  QCOMPARE(dialog.statusText(), QString());

  // Close only closes; the menu then makes a new dialog with its OK button.
  QPointer<TupdateForm> closed(&dialog);
  dialog.okButton()->click();
  QTRY_VERIFY(closed.isNull());
  QCOMPARE(fixture.dialogs.shown.size(), 1);
  QCOMPARE(openFromMenu(window).okButton()->text(), QStringLiteral("OK"));
}

void UpdateDialogTest::aFailedRequestShowsOnTheStatusLine() {
  WindowFixture fixture;
  TForm1& window = fixture.start();
  fixture.setUpdateServer("127.0.0.1:" + std::to_string(LocalHttpServer::refusedPort()));
  const double before = window.updateCheck().nextCheckDate();
  TupdateForm& dialog = openFromMenu(window);
  // Enter presses the default button, OK.
  QTest::keyClick(dialog.checkWeb(), Qt::Key_Return);
  QCOMPARE(dialog.okButton()->text(), QStringLiteral("&Close"));
  QTRY_COMPARE_WITH_TIMEOUT(dialog.statusText(), QStringLiteral("Error connecting to web site"),
                            10000);
  QVERIFY(fixture.dialogs.shown.isEmpty());
  QCOMPARE(window.updateCheck().nextCheckDate(), before);
  QVERIFY(dialog.isVisible());
}

void UpdateDialogTest::dontAskStoresTheDayAfterThePickedDate() {
  WindowFixture fixture;
  TForm1& window = fixture.start();
  QPointer<TupdateForm> dialog(&openFromMenu(window));
  dialog->dontAsk()->click();
  dialog->nextDate()->setDate(QDate(2030, 1, 5));
  QCOMPARE(dialog->nextDate()->time(), QTime(22, 7, 28));
  dialog->okButton()->click();
  // Stored at once, as the whole day nearest to 5 January 22:07:28.
  QCOMPARE(storedNextCheckDate(fixture), std::int32_t(rowsmith::dayNumberOf({2030, 1, 6})));
  QVERIFY(!dialog->isVisible());
  QTRY_VERIFY(dialog.isNull());
  QVERIFY(fixture.dialogs.shown.isEmpty());

  // The next start checks again from 6 January on.
  window.updateCheck().loadNextCheckDate();
  QCOMPARE(window.updateCheck().nextCheckDate(), rowsmith::dayNumberOf({2030, 1, 6}));
}

void UpdateDialogTest::closingDuringATransferReportsNothing() {
  WindowFixture fixture;
  TForm1& window = fixture.start();
  fixture.setUpdateServer(server().hostAndPort() + "/hang");
  const double before = window.updateCheck().nextCheckDate();
  QPointer<TupdateForm> dialog(&openFromMenu(window));
  dialog->okButton()->click();
  QVERIFY(dialog->transferRunning());
  dialog->okButton()->click();
  QTRY_VERIFY(dialog.isNull());
  QTest::qWait(200);
  QVERIFY(fixture.dialogs.shown.isEmpty());
  QCOMPARE(window.updateCheck().nextCheckDate(), before);
}

void UpdateDialogTest::anAnswerWaitingWhenTheDialogClosesIsDropped() {
  WindowFixture fixture;
  TForm1& window = fixture.start();
  fixture.setUpdateServer(answering("Rowsmith,37200"));
  QPointer<TupdateForm> dialog(&openFromMenu(window));
  dialog->okButton()->click();
  // The answer arrives while the UI thread is busy: its report waits in
  // the event queue when the user closes the dialog.
  while (dialog->transferRunning()) QThread::msleep(10);
  dialog->close();
  QTRY_VERIFY(dialog.isNull());
  QTest::qWait(100);
  QVERIFY(fixture.dialogs.shown.isEmpty());
}

void UpdateDialogTest::theStartupCheckIsHidden_data() {
  QTest::addColumn<int>("nextCheck");  // days from today
  QTest::addColumn<QByteArray>("answer");
  QTest::addColumn<QString>("message");  // empty: none
  QTest::addColumn<bool>("dialogStays");

  QTest::newRow("update") << 0 << QByteArray("Rowsmith,37200") << kUpdate << true;
  QTest::newRow("up to date") << -5 << QByteArray("Rowsmith,37187.7920719907") << QString() << true;
  QTest::newRow("not found") << -1 << QByteArray("<html>Error</html>") << QString() << true;
  QTest::newRow("invalid stamp") << -1 << QByteArray("Rowsmith,soon") << QString() << true;
  QTest::newRow("no server") << -1 << QByteArray() << QString() << false;
}

void UpdateDialogTest::theStartupCheckIsHidden() {
  QFETCH(int, nextCheck);
  QFETCH(QByteArray, answer);
  QFETCH(QString, message);
  QFETCH(bool, dialogStays);

  WindowFixture fixture;
  const double today = rowsmith::todayDayNumber();
  fixture.setNextCheckDate(static_cast<std::int32_t>(today) + nextCheck);
  fixture.setUpdateServer(answer.isEmpty()
                              ? "127.0.0.1:" + std::to_string(LocalHttpServer::refusedPort())
                              : answering(answer.toStdString()));
  if (!message.isEmpty()) fixture.dialogs.expectMessage(message, Answer::No);
  TForm1& window = fixture.start();
  QPointer<TupdateForm> dialog(window.updateForm());
  QVERIFY(dialog);
  QVERIFY(!dialog->isVisible());

  if (dialogStays) {
    QTRY_COMPARE_WITH_TIMEOUT(window.updateCheck().nextCheckDate(), today + 3, 10000);
    QTest::qWait(50);
    QVERIFY(dialog);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->okButton()->text(), QStringLiteral("OK"));
    QCOMPARE(dialog->statusText(), QString());
  } else {
    QTRY_VERIFY_WITH_TIMEOUT(dialog.isNull(), 10000);
    QCOMPARE(window.updateCheck().nextCheckDate(), today + nextCheck);
  }
  QVERIFY(fixture.dialogs.allAnswered());
  QVERIFY2(fixture.dialogs.unexpected.isEmpty(), qPrintable(fixture.dialogs.unexpected.join('\n')));

  // The date in memory is stored when the main window goes.
  fixture.destroy();
  QCOMPARE(storedNextCheckDate(fixture),
           static_cast<std::int32_t>(dialogStays ? today + 3 : today + nextCheck));
}

void UpdateDialogTest::aHiddenDialogAppearsFromTheMenuAsItIs() {
  WindowFixture fixture;
  fixture.setNextCheckDate(0);
  fixture.setUpdateServer(server().hostAndPort() + "/hang");
  TForm1& window = fixture.start();
  QPointer<TupdateForm> hidden(window.updateForm());
  QVERIFY(hidden);
  QVERIFY(hidden->transferRunning());
  TupdateForm& shown = openFromMenu(window);
  QCOMPARE(&shown, hidden.data());
  QCOMPARE(shown.okButton()->text(), QStringLiteral("OK"));
  QCOMPARE(shown.statusText(), QString());
  // OK while the start-up transfer runs starts no second one.
  shown.okButton()->click();
  QVERIFY(shown.transferRunning());
  QCOMPARE(shown.statusText(), QStringLiteral("Checking for update...please wait"));
  // Closing the main window closes the dialog and abandons the transfer.
  QVERIFY(window.close());
  QTRY_VERIFY(hidden.isNull());
  QVERIFY(fixture.dialogs.shown.isEmpty());
}

QTEST_MAIN(UpdateDialogTest)
#include "UpdateDialogTest.moc"
