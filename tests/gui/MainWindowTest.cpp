// The main window's frame: start-up, pages and navigation, the document
// commands with their prompts, the command line and requests from other
// programs.
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include "WindowFixtureSupport.h"
#include "document/Settings.h"
#include "pages/QueryPage.h"
#include "pages/RowsSpinBox.h"
#include "pages/SamplePage.h"
#include "shell/DocumentCommands.h"
#include "shell/MainMenus.h"

using rowsmith::gui::DialogService;
using rowsmith::gui::TForm1;
using rowsmith::gui_test::WindowFixture;

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void startsOnTheFirstPageUntitled();
  void backAndNextWalkEveryPageIncludingTheHiddenOne();
  void editsMarkTheJobModified();
  void savingAnUntitledJobAsksForAName();
  void aFailedLoadChangesNothing();
  void recentFilesMenuListsOpenedFiles();
  void recentFileWhileModifiedAsksFirst();
  void closingAsksAndKeepsEditsWhenTheSaveIsCancelled();
  void closingWithNoStoresTheRememberedValues();
  void queryLineBreaksAreStoredAsCrLf();
  void previewRowsAreClampedForDisplayOnly();
  void commandLineOpensFilesAndReportsSwitches();
  void listFileRunsItsLines();
  void aFileThatCannotBeReadEndsTheCommandLine();
  void requestsFromOtherProgramsOpenFiles();
};

void MainWindowTest::startsOnTheFirstPageUntitled() {
  WindowFixture fixture;
  TForm1& window = fixture.start();
  QCOMPARE(window.pageControl()->currentIndex(), 0);
  QVERIFY(!window.prevButton()->isEnabled());
  QVERIFY(window.nextButton()->isEnabled());
  QVERIFY(!window.pageControl()->isTabVisible(TForm1::OptionsIndex));
  QCOMPARE(window.windowTitle(), QStringLiteral("Untitled - Rowsmith by Morvane Software"));
  QVERIFY(!window.document().modified());
  QVERIFY(window.filterServer() != nullptr);
  QVERIFY(window.minimumSize() == QSize(479, 366));
  QVERIFY(!window.menus().recentfiles1->isEnabled());
  QVERIFY(fixture.dialogs.shown.isEmpty());
}

void MainWindowTest::backAndNextWalkEveryPageIncludingTheHiddenOne() {
  WindowFixture fixture;
  TForm1& window = fixture.start();
  for (int page = 1; page <= TForm1::GoIndex; ++page) {
    window.nextButtonClick();
    QCOMPARE(window.pageControl()->currentIndex(), page);
    QVERIFY(window.prevButton()->isEnabled());
    QVERIFY(window.nextButton()->isEnabled());  // also on "5 Go!"
  }
  window.nextButtonClick();
  QCOMPARE(window.pageControl()->currentIndex(), int(TForm1::OptionsIndex));
  QVERIFY(!window.nextButton()->isEnabled());
  window.prevButtonClick();
  QCOMPARE(window.pageControl()->currentIndex(), int(TForm1::GoIndex));

  // Clicking a tab updates the buttons as well.
  window.pageControl()->setCurrentIndex(0);
  QVERIFY(!window.prevButton()->isEnabled());
}

void MainWindowTest::editsMarkTheJobModified() {
  WindowFixture fixture;
  TForm1& window = fixture.start();
  window.queryPage()->dbConnection()->setText(QStringLiteral("Provider=SQLite;Data Source=/x"));
  QVERIFY(window.document().modified());
  QCOMPARE(window.windowTitle(),
           QStringLiteral("Untitled (modified) - Rowsmith by Morvane Software"));

  // Switching modes marks it too; a click on the checked button does not.
  window.document().setModified(false);
  window.queryPage()->tableRadio()->click();
  QVERIFY(!window.document().modified());
  window.queryPage()->queryRadio()->click();
  QVERIFY(window.document().modified());
  QVERIFY(window.queryPage()->queryBox()->isEnabled());
}

void MainWindowTest::savingAnUntitledJobAsksForAName() {
  WindowFixture fixture;
  TForm1& window = fixture.start();
  window.queryPage()->dbConnection()->setText(QStringLiteral("Provider=SQLite;Data Source=/x"));

  fixture.dialogs.expectSave(QString());  // cancelled
  window.menus().save1->trigger();
  QVERIFY(window.document().modified());
  QVERIFY(window.document().settings().fileName.empty());

  const QString file = fixture.path(QStringLiteral("Sales.rsm"));
  fixture.dialogs.expectSave(file);
  window.menus().save1->trigger();
  QVERIFY(fixture.dialogs.unexpected.isEmpty());
  QVERIFY(!window.document().modified());
  QCOMPARE(window.windowTitle(), QStringLiteral("Sales.rsm - Rowsmith by Morvane Software"));
  rowsmith::TSettings saved;
  saved.LoadFromFile(file.toStdString());
  QCOMPARE(saved.dataSource, std::string("Provider=SQLite;Data Source=/x"));
  // A saved file does not join the recent files.
  QCOMPARE(window.recentFiles().count(), std::size_t(0));
}

void MainWindowTest::aFailedLoadChangesNothing() {
  WindowFixture fixture;
  TForm1& window = fixture.start();
  window.queryPage()->dbConnection()->setText(QStringLiteral("typed"));
  const QString broken = fixture.writeFile(QStringLiteral("broken.rsm"), "TPF0 not a job");
  fixture.dialogs.expectOpen(broken);
  fixture.dialogs.expectMessage(QString());
  window.menus().open1->trigger();
  QVERIFY(fixture.dialogs.unexpected.isEmpty());
  QCOMPARE(fixture.dialogs.lastKind, DialogService::Kind::Error);
  QCOMPARE(fixture.dialogs.lastCaption, window.windowTitle());
  QCOMPARE(window.queryPage()->dbConnection()->text(), QStringLiteral("typed"));
  QVERIFY(window.document().modified());
  QCOMPARE(window.recentFiles().count(), std::size_t(0));
}

void MainWindowTest::recentFilesMenuListsOpenedFiles() {
  WindowFixture fixture;
  TForm1& window = fixture.start();
  const QString a = fixture.writeJob(QStringLiteral("a.rsm"), "source a");
  const QString b = fixture.writeJob(QStringLiteral("b.rsm"), "source b");
  window.document().openFile(a.toStdString());
  window.document().openFile(b.toStdString());
  QMenu* recent = window.menus().recentfiles1;
  QVERIFY(recent->isEnabled());
  QCOMPARE(recent->actions().size(), 2);
  QCOMPARE(recent->actions()[0]->text(), QStringLiteral("&1\t") + b);
  QCOMPARE(recent->actions()[1]->text(), QStringLiteral("&2\t") + a);
  QCOMPARE(recent->actions()[1]->statusTip(), a);

  recent->actions()[1]->trigger();
  QCOMPARE(window.queryPage()->dbConnection()->text(), QStringLiteral("source a"));
  QCOMPARE(recent->actions()[0]->text(), QStringLiteral("&1\t") + a);
  QVERIFY(fixture.dialogs.shown.isEmpty());
}

void MainWindowTest::recentFileWhileModifiedAsksFirst() {
  WindowFixture fixture;
  TForm1& window = fixture.start();
  const QString a = fixture.writeJob(QStringLiteral("a.rsm"), "source a");
  const QString b = fixture.writeJob(QStringLiteral("b.rsm"), "source b");
  window.document().openFile(b.toStdString());
  window.document().openFile(a.toStdString());
  window.queryPage()->dbConnection()->setText(QStringLiteral("edited"));

  fixture.dialogs.expectMessage(QStringLiteral("Save current settings?"),
                                DialogService::Answer::Cancel);
  window.menus().recentfiles1->actions()[1]->trigger();
  QCOMPARE(window.queryPage()->dbConnection()->text(), QStringLiteral("edited"));

  fixture.dialogs.expectMessage(QStringLiteral("Save current settings?"),
                                DialogService::Answer::Yes);
  window.menus().recentfiles1->actions()[1]->trigger();
  QVERIFY(fixture.dialogs.unexpected.isEmpty());
  QCOMPARE(window.queryPage()->dbConnection()->text(), QStringLiteral("source b"));
  rowsmith::TSettings saved;
  saved.LoadFromFile(a.toStdString());
  QCOMPARE(saved.dataSource, std::string("edited"));

  // Opening from the menu replaces a modified job without asking.
  window.queryPage()->dbConnection()->setText(QStringLiteral("edited again"));
  fixture.dialogs.expectOpen(a);
  window.menus().open1->trigger();
  QVERIFY(fixture.dialogs.allAnswered());
  QVERIFY(fixture.dialogs.unexpected.isEmpty());
  QCOMPARE(window.queryPage()->dbConnection()->text(), QStringLiteral("edited"));
}

void MainWindowTest::closingAsksAndKeepsEditsWhenTheSaveIsCancelled() {
  WindowFixture fixture;
  TForm1& window = fixture.start();
  window.show();
  window.queryPage()->dbConnection()->setText(QStringLiteral("unsaved"));

  fixture.dialogs.expectMessage(QStringLiteral("Save current settings?"),
                                DialogService::Answer::Cancel);
  QVERIFY(!window.close());
  // Yes, then Cancel in the save dialog: the edits the user asked to keep
  // are not thrown away.
  fixture.dialogs.expectMessage(QStringLiteral("Save current settings?"),
                                DialogService::Answer::Yes);
  fixture.dialogs.expectSave(QString());
  QVERIFY(!window.close());
  QVERIFY(window.isVisible());

  const QString file = fixture.path(QStringLiteral("kept.rsm"));
  fixture.dialogs.expectMessage(QStringLiteral("Save current settings?"),
                                DialogService::Answer::Yes);
  fixture.dialogs.expectSave(file);
  QVERIFY(window.close());
  QVERIFY(fixture.dialogs.unexpected.isEmpty());
  rowsmith::TSettings saved;
  saved.LoadFromFile(file.toStdString());
  QCOMPARE(saved.dataSource, std::string("unsaved"));
}

void MainWindowTest::closingWithNoStoresTheRememberedValues() {
  WindowFixture fixture;
  {
    TForm1& window = fixture.start();
    window.show();
    window.queryPage()->dbConnection()->setText(QStringLiteral("Provider=SQLite;Data Source=/db"));
    window.queryPage()->queryRadio()->click();
    window.queryPage()->queryBox()->setPlainText(QStringLiteral("select 1"));
    fixture.dialogs.expectMessage(QStringLiteral("Save current settings?"),
                                  DialogService::Answer::No);
    QVERIFY(window.close());
    fixture.destroy();
  }
  TForm1& next = fixture.start();
  QCOMPARE(next.queryPage()->dbConnection()->text(),
           QStringLiteral("Provider=SQLite;Data Source=/db"));
  QVERIFY(!next.queryPage()->useTable());
  QCOMPARE(next.queryPage()->queryBox()->toPlainText(), QStringLiteral("select 1"));
  QVERIFY(!next.document().modified());
  QVERIFY(fixture.dialogs.unexpected.isEmpty());
}

void MainWindowTest::queryLineBreaksAreStoredAsCrLf() {
  WindowFixture fixture;
  TForm1& window = fixture.start();
  window.queryPage()->queryRadio()->click();
  window.queryPage()->queryBox()->setPlainText(QStringLiteral("select *\nfrom t\nwhere 1"));
  rowsmith::TSettings job;
  window.document().controlsToSettings(job);
  QCOMPARE(job.query, std::string("select *\r\nfrom t\r\nwhere 1"));

  const QString file = fixture.path(QStringLiteral("query.rsm"));
  fixture.dialogs.expectSave(file);
  window.menus().saveas1->trigger();
  QVERIFY(fixture.readFile(file).contains("select *\r\nfrom t\r\nwhere 1"));
  window.document().openFile(file.toStdString());
  QCOMPARE(window.queryPage()->queryBox()->toPlainText(),
           QStringLiteral("select *\nfrom t\nwhere 1"));
}

void MainWindowTest::previewRowsAreClampedForDisplayOnly() {
  WindowFixture fixture;
  TForm1& window = fixture.start();
  rowsmith::TSettings job;
  job.dataSource = "x";
  job.previewRows = 5000;
  const QString file = fixture.path(QStringLiteral("rows.rsm"));
  job.SaveToFile(file.toStdString());
  window.document().openFile(file.toStdString());
  rowsmith::gui::RowsSpinBox* rows = window.samplePage()->previewRows();
  QCOMPARE(rows->value(), 1000);

  // Typed and saved before leaving the box: kept as typed.
  rows->findChild<QLineEdit*>()->setText(QStringLiteral("5000"));
  rowsmith::TSettings typed;
  window.document().controlsToSettings(typed);
  QCOMPARE(typed.previewRows, 5000);
  rows->findChild<QLineEdit*>()->setText(QStringLiteral("many"));
  window.document().controlsToSettings(typed);
  QCOMPARE(typed.previewRows, 0);
  rows->findChild<QLineEdit*>()->setText(QStringLiteral("-4"));
  rows->stepBy(0);
  QCOMPARE(rows->value(), 0);
}

void MainWindowTest::commandLineOpensFilesAndReportsSwitches() {
  WindowFixture fixture;
  const QString a = fixture.writeJob(QStringLiteral("A.rsm"), "source A");
  fixture.dialogs.expectMessage(QStringLiteral("Invalid command line parameter\r\n/X"));
  fixture.dialogs.expectMessage(QStringLiteral("Invalid command line parameter\r\n/Z"));
  TForm1& window = fixture.start({QStringLiteral("/X"), QStringLiteral("/f=") + a,
                                  fixture.path(QStringLiteral("other.rsm")), QStringLiteral("/Z")});
  QVERIFY(fixture.dialogs.allAnswered());
  QVERIFY2(fixture.dialogs.unexpected.isEmpty(), qPrintable(fixture.dialogs.unexpected.join('\n')));
  QCOMPARE(window.windowTitle(), QStringLiteral("A.rsm - Rowsmith by Morvane Software"));
  QCOMPARE(window.recentFiles().at(0), a.toStdString());
}

void MainWindowTest::listFileRunsItsLines() {
  WindowFixture fixture;
  const QString a = fixture.writeJob(QStringLiteral("a.rsm"), "source a");
  const QString b = fixture.writeJob(QStringLiteral("b.rsm"), "source b");
  const QString list =
      fixture.writeFile(QStringLiteral("list.txt"),
                        ("/F=" + a + "\r\n\r\n   \r\n/F=" + b + "\r\n/Z=other.txt\r\n").toUtf8());
  fixture.dialogs.expectMessage(QStringLiteral("Invalid command line parameter\r\n/Z=other.txt"));
  TForm1& window = fixture.start({QStringLiteral("/Z=") + list});
  QVERIFY(fixture.dialogs.unexpected.isEmpty());
  QCOMPARE(window.queryPage()->dbConnection()->text(), QStringLiteral("source b"));
  QCOMPARE(window.recentFiles().entries(),
           (std::vector<std::string>{b.toStdString(), a.toStdString()}));
}

void MainWindowTest::aFileThatCannotBeReadEndsTheCommandLine() {
  WindowFixture fixture;
  const QString missing = fixture.path(QStringLiteral("missing.rsm"));
  const QString b = fixture.writeJob(QStringLiteral("b.rsm"), "source b");
  fixture.dialogs.expectMessage(missing);
  TForm1& window = fixture.start({QStringLiteral("/F=") + missing, QStringLiteral("/F=") + b});
  QVERIFY(fixture.dialogs.unexpected.isEmpty());
  QCOMPARE(fixture.dialogs.lastKind, DialogService::Kind::Error);
  QCOMPARE(window.recentFiles().count(), std::size_t(0));
  QCOMPARE(window.windowTitle(), QStringLiteral("Untitled - Rowsmith by Morvane Software"));
}

void MainWindowTest::requestsFromOtherProgramsOpenFiles() {
  WindowFixture fixture;
  TForm1& window = fixture.start();
  const QString a = fixture.writeJob(QStringLiteral("a.rsm"), "source a");
  window.queryPage()->dbConnection()->setText(QStringLiteral("modified, not asked about"));

  auto reply = window.RowsmithDDEExecuteMacro(("[FileOpen(\"" + a + "\")]").toStdString());
  QVERIFY(reply.processed);
  QCOMPARE(window.windowTitle(), QStringLiteral("a.rsm - Rowsmith by Morvane Software"));

  fixture.dialogs.expectMessage(QStringLiteral("Invalid DDE message [fileopen("));
  reply = window.RowsmithDDEExecuteMacro(("[fileopen(\"" + a + "\")]").toStdString());
  QVERIFY(!reply.processed);
  QCOMPARE(reply.payload, "Invalid DDE message [fileopen(\"" + a.toStdString() + "\")]\r\n");

  const QString missing = fixture.path(QStringLiteral("missing.rsm"));
  fixture.dialogs.expectMessage(missing);
  reply = window.RowsmithDDEExecuteMacro(("[FileOpen(\"" + missing + "\")]").toStdString());
  QVERIFY(!reply.processed);
  QVERIFY(QString::fromStdString(reply.payload).contains(missing));
  QCOMPARE(window.windowTitle(), QStringLiteral("a.rsm - Rowsmith by Morvane Software"));
  QVERIFY(fixture.dialogs.unexpected.isEmpty());
  QVERIFY(window.stateText().find("title=a.rsm - ") == 0);
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
