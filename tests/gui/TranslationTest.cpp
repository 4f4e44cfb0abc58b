// The language file as the main window fills and reads it.
#include <QAction>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include "WindowFixtureSupport.h"
#include "localisation/LangString.h"
#include "localisation/NumberedTexts.h"
#include "pages/QueryPage.h"
#include "shell/MainMenus.h"
#include "shell/StatusForm.h"
#include "support/ui/AboutBox.h"
#include "support/ui/UpdateForm.h"

using rowsmith::gui::TABox;
using rowsmith::gui::TForm1;
using rowsmith::gui::TupdateForm;
using rowsmith::gui_test::WindowFixture;

namespace {

// Every text of the main window, in the order it creates them.
const char* const kMainWindowKeys[] = {"Form1.Caption",
                                       "dataSourceTab.Caption",
                                       "query.Hint",
                                       "Label1.Caption",
                                       "dbConnection.Hint",
                                       "buildConnection.Caption",
                                       "buildConnection.Hint",
                                       "tableRadio.Caption",
                                       "queryRadio.Caption",
                                       "queryCheckErrors.Caption",
                                       "queryCheckErrors.Hint",
                                       "previewData.Caption",
                                       "previewData.Hint",
                                       "queryDataSheet.Caption",
                                       "Label3.Caption",
                                       "rowsReturned.Caption",
                                       "previewRows.Hint",
                                       "previewGrid.Hint",
                                       "transformPage.Caption",
                                       "transformGrid.Hint",
                                       "clearAll.Caption",
                                       "clearAll.Hint",
                                       "copyToAll.Caption",
                                       "copyToAll.Hint",
                                       "preview.Caption",
                                       "preview.Hint",
                                       "previewChangesSheet.Caption",
                                       "previewTest.Hint",
                                       "TabSheet3.Caption",
                                       "Label8.Caption",
                                       "optionsTab.Caption",
                                       "cursorType.Caption",
                                       "cursorLocation.Caption",
                                       "goButton.Caption",
                                       "goButton.Hint",
                                       "prevButton.Caption",
                                       "prevButton.Hint",
                                       "nextButton.Caption",
                                       "nextButton.Hint",
                                       "BitBtn1.Caption",
                                       "BitBtn1.Hint",
                                       "ToolBar1.Caption",
                                       "ToolButton2.Caption",
                                       "ToolButton2.Hint",
                                       "ToolButton3.Caption",
                                       "ToolButton3.Hint",
                                       "ToolButton6.Caption",
                                       "refreshButton.Caption",
                                       "refreshButton.Hint",
                                       "ToolButton4.Caption",
                                       "ToolButton5.Caption",
                                       "ToolButton5.Hint",
                                       "File1.Caption",
                                       "Open1.Caption",
                                       "Save1.Caption",
                                       "Saveas1.Caption",
                                       "N4.Caption",
                                       "Recentfiles1.Caption",
                                       "N2.Caption",
                                       "Exit1.Caption",
                                       "Exit1.Hint",
                                       "Tools1.Caption",
                                       "Refresh1.Caption",
                                       "ShowWordmillPro1.Caption",
                                       "Help1.Caption",
                                       "Contents1.Caption",
                                       "Contents1.Hint",
                                       "Index1.Caption",
                                       "N3.Caption",
                                       "ProductHomePage1.Caption",
                                       "MorvaneSoftwareHomePage1.Caption",
                                       "CheckWebForUpdates1.Caption",
                                       "SubscribeToUpdateList1.Caption",
                                       "Technicalsupport1.Caption",
                                       "N1.Caption",
                                       "About1.Caption",
                                       "About1.Hint",
                                       "OpenDialog.Title",
                                       "OpenDialog.Filter",
                                       "SaveDialog.Title",
                                       "SaveDialog.Filter",
                                       "BrowseFilter.Title",
                                       "BrowseFilter.Filter"};

// The texts of the update dialog and the About box, in the order they
// create them.
const QStringList kUpdateFormKeys = {"updateForm.Caption", "TabSheet1.Caption", "GroupBox1.Caption",
                                     "checkWeb.Caption",   "checkWeb.Hint",     "dontAsk.Caption",
                                     "dontAsk.Hint",       "nextDate.Hint",     "okButton.Caption"};
const QStringList kAboutBoxKeys = {
    "ABox.Caption",        "ApplicationTab.Caption", "Comments.Caption", "ProductName.Caption",
    "Button1.Caption",     "Button1.Hint",           "Button2.Caption",  "Button2.Hint",
    "whatsNewTab.Caption", "licenceTab.Caption"};

// Creates each window of the Help menu once and asks for every numbered
// text, as a session that has used them all.
void useTheSupportWindows(TForm1& window) {
  delete new TupdateForm(window.updateCheck(), &window);
  { TABox box(&window); }
  delete new rowsmith::gui::TTstatusForm;
  for (const rowsmith::NumberedText& text : rowsmith::texts::kAll) rowsmith::LangString(text);
}

QStringList keysOf(const QByteArray& file, const QString& section) {
  QStringList keys;
  bool inSection = false;
  for (const QByteArray& raw : file.split('\n')) {
    const QString line = QString::fromUtf8(raw).remove(QLatin1Char('\r'));
    if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
      inSection = line.mid(1, line.size() - 2).compare(section, Qt::CaseInsensitive) == 0;
      continue;
    }
    if (inSection && !line.isEmpty()) keys << line.section(QLatin1Char('='), 0, 0);
  }
  return keys;
}

}  // namespace

class TranslationTest : public QObject {
  Q_OBJECT

 private slots:
  void firstStartWritesEveryTextInCreationOrder();
  void theShippedFileIsCompleteSoNothingIsWritten();
  void theHelpWindowsAndNumberedTextsFollow();
  void anEditedValueChangesTheText();
  void aBadEscapeIsShownAndTheWindowIsComplete();
};

void TranslationTest::firstStartWritesEveryTextInCreationOrder() {
  WindowFixture fixture;
  TForm1& window = fixture.start({}, false);
  const QByteArray file = fixture.readFile(fixture.languageFile());
  QVERIFY(file.startsWith("[TForm1]\r\nForm1.Caption=Rowsmith\r\n"));
  QStringList expected;
  for (const char* key : kMainWindowKeys) expected << QString::fromLatin1(key);
  QCOMPARE(expected.size(), 83);
  QCOMPARE(keysOf(file, QStringLiteral("TForm1")), expected);
  // Multi-line texts are stored on one line with their escapes, separators as "-".
  QVERIFY(file.contains("Label8.Caption=Rowsmith has all the information it needs!\\r\\n\\r\\n"));
  QVERIFY(file.contains("N4.Caption=-\r\n"));
  QVERIFY(file.endsWith("\r\n\r\n"));
  QVERIFY(fixture.dialogs.shown.isEmpty());
  QCOMPARE(window.menus().open1->text(), QStringLiteral("&Open..."));
}

void TranslationTest::theShippedFileIsCompleteSoNothingIsWritten() {
  WindowFixture fixture;
  useTheSupportWindows(fixture.start({}, true));
  const QByteArray shipped =
      fixture.readFile(QStringLiteral(ROWSMITH_SOURCE_DIR "/resources/Languages/English.ini"));
  QVERIFY(!shipped.isEmpty());
  QCOMPARE(fixture.readFile(fixture.languageFile()), shipped);
}

void TranslationTest::theHelpWindowsAndNumberedTextsFollow() {
  WindowFixture fixture;
  useTheSupportWindows(fixture.start({}, false));
  const QByteArray file = fixture.readFile(fixture.languageFile());
  QCOMPARE(keysOf(file, QStringLiteral("TupdateForm")), kUpdateFormKeys);
  QCOMPARE(keysOf(file, QStringLiteral("TABox")), kAboutBoxKeys);
  QCOMPARE(keysOf(file, QStringLiteral("global")),
           QStringList({"190", "300", "310", "320", "330", "340", "350"}));
  // Patterns are stored as built in; the product name is filled in later.
  QVERIFY(file.contains("\r\n[TupdateForm]\r\nupdateForm.Caption=%s update\r\n"));
  QVERIFY(file.contains("GroupBox1.Caption= This copy of %s may be out of date \r\n"));
  QVERIFY(file.contains("okButton.Caption=OK\r\n"));
  QVERIFY(file.contains("ABox.Caption=About\r\n"));
  QVERIFY(file.contains("190=About %s\r\n"));
  QVERIFY(fixture.dialogs.shown.isEmpty());
}

void TranslationTest::anEditedValueChangesTheText() {
  WindowFixture fixture;
  // A section and key in another letter case match; a blank before "="
  // does not, and an empty value keeps the built-in text.
  fixture.writeFile(QStringLiteral("Languages/English.ini"),
                    "; a translator's note\r\n[tform1]\r\nOPEN1.caption=&Load...\r\n"
                    "nextButton.Caption =&Forward\r\nprevButton.Caption=\r\n");
  TForm1& window = fixture.start({}, false);
  QCOMPARE(window.menus().open1->text(), QStringLiteral("&Load..."));
  QCOMPARE(window.nextButton()->text(), QStringLiteral("&Next >"));
  QCOMPARE(window.prevButton()->text(), QStringLiteral("< &Back"));
  const QByteArray file = fixture.readFile(fixture.languageFile());
  QVERIFY(!file.contains("translator's note"));
  QVERIFY(file.contains("nextButton.Caption=&Next >\r\n"));
  QVERIFY(file.contains("nextButton.Caption =&Forward\r\n"));
}

void TranslationTest::aBadEscapeIsShownAndTheWindowIsComplete() {
  WindowFixture fixture;
  fixture.writeFile(QStringLiteral("Languages/English.ini"), "[TForm1]\r\nLabel1.Caption=\\\r\n");
  fixture.dialogs.expectMessage(
      QStringLiteral("Trailing \\ needs to be followed by another \\ or 3 Octal digits"));
  TForm1& window = fixture.start({}, false);
  QVERIFY(fixture.dialogs.unexpected.isEmpty());
  QVERIFY(fixture.dialogs.allAnswered());
  // Everything is there, with its built-in texts.
  QCOMPARE(window.nextButton()->text(), QStringLiteral("&Next >"));
  QCOMPARE(window.menus().about1->text(), QStringLiteral("&About..."));
  QCOMPARE(window.windowTitle(), QStringLiteral("Untitled - Rowsmith by Morvane Software"));
  QVERIFY(window.filterServer() != nullptr);
}

QTEST_MAIN(TranslationTest)
#include "TranslationTest.moc"
