// The filter editor, driven through the filter server as the main window and
// the Transforms page drive it: tabs per file, new filters, Save, Compile,
// the test box and the questions before unsaved work is lost.
#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <memory>

#include "ScriptedDialogsSupport.h"
#include "WindowFixtureSupport.h"
#include "common/Error.h"
#include "shell/FilterEditorLink.h"
#include "shell/FilterEditorTab.h"
#include "shell/FilterEditorWindow.h"
#include "shell/FilterHighlighter.h"
#include "shell/HelpKeyFilter.h"
#include "shell/MainMenus.h"
#include "support/ui/HelpContexts.h"
#include "wordmill/FilterServer.h"

using rowsmith::gui::DialogService;
using rowsmith::gui::FilterEditorLink;
using rowsmith::gui::FilterEditorTab;
using rowsmith::gui::FilterEditorWindow;
using rowsmith::gui::FilterHighlighter;
using rowsmith::gui_test::ScriptedDialogs;
namespace wordmill = rowsmith::wordmill;

namespace {

// A server of the built-in engine with the editor linked to it, files in a
// folder of their own, and the dialogs scripted.
struct EditorFixture {
  EditorFixture() : server(wordmill::createObject(wordmill::kWordmillProgId)) {
    link = FilterEditorWindow::attach(server, owner);
  }
  ~EditorFixture() {
    if (!dialogs.unexpected.isEmpty())
      qWarning("unexpected: %s", qPrintable(dialogs.unexpected.join(" | ")));
  }

  QString write(const QString& name, const QByteArray& bytes) const {
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(name));
    file.write(bytes);
    return file.fileName();
  }
  QByteArray read(const QString& path) const {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  FilterEditorWindow& editor() const { return *link->editor(); }
  FilterEditorTab& current() const { return *editor().currentTab(); }
  // Types over the whole text of the current tab, as a person would.
  void retype(const QString& text) const {
    QPlainTextEdit* edit = current().textEdit();
    edit->selectAll();
    edit->insertPlainText(text);
  }
  bool dialogsAsScripted() const { return dialogs.unexpected.isEmpty() && dialogs.allAnswered(); }

  QTemporaryDir dir;
  ScriptedDialogs dialogs;
  std::shared_ptr<wordmill::FilterApplication> server;
  QWidget owner;
  FilterEditorLink* link = nullptr;
};

}  // namespace

class FilterEditorTest : public QObject {
  Q_OBJECT

 private slots:
  void findWindowOpensOrRaisesTheTabOfThatFile();
  void findWindowOfAFileThatCannotBeReadIsAnError();
  void newWindowAfterShowGivesAnEmptyUnsavedTab();
  void windowsCompiledForOthersGetNoTab();
  void saveWritesTheFileAndANewFilterAsksForAName();
  void saveKeepsLineBreaksAndRefusesFilesThatAreNotText();
  void compileShowsTheFaultAndPutsTheCursorOnIt();
  void testBoxFollowsTheInputAndTheText_data();
  void testBoxFollowsTheInputAndTheText();
  void unsavedChangesAreOfferedForSavingBeforeATabCloses();
  void unsavedChangesAreOfferedBeforeTheMainWindowCloses();
  void highlighterColoursStepsTextsOptionsAndComments_data();
  void highlighterColoursStepsTextsOptionsAndComments();
  void mainWindowShowsTheEditorWithItsHelpContext();
  void showWithoutAServerReportsTheFailedCall();
};

void FilterEditorTest::findWindowOpensOrRaisesTheTabOfThatFile() {
  EditorFixture f;
  const QString names = f.write("names.fll", "trim\ntitle\n");
  const QString phones = f.write("phones.fll", "regex \"\\D\" \"\"\n");
  QVERIFY(f.link->editor() == nullptr);

  // The Transforms page's order for a row with a filter: findWindow, show.
  f.server->findWindow(names.toStdString());
  f.server->show();
  QVERIFY(f.editor().isVisible());
  QCOMPARE(f.editor().tabCount(), 1);
  QCOMPARE(f.current().filePath(), names);
  QCOMPARE(f.current().textEdit()->toPlainText(), QStringLiteral("trim\ntitle\n"));
  QCOMPARE(f.editor().tabs()->tabText(0), QStringLiteral("names.fll"));
  QCOMPARE(f.editor().windowTitle(), QStringLiteral("names.fll - Wordmill Pro"));

  f.server->findWindow(phones.toStdString());
  QCOMPARE(f.editor().tabCount(), 2);
  QCOMPARE(f.current().filePath(), phones);

  // The same file by another name raises its tab instead of opening it twice.
  QDir(f.dir.path()).mkdir(QStringLiteral("sub"));
  QFile::link(names, f.dir.filePath(QStringLiteral("link.fll")));
  for (const QString& sameFile : {names, f.dir.filePath(QStringLiteral("sub/../names.fll")),
                                  f.dir.filePath(QStringLiteral("link.fll"))}) {
    f.editor().tabs()->setCurrentIndex(1);
    f.server->findWindow(sameFile.toStdString());
    QCOMPARE(f.editor().tabCount(), 2);
    QCOMPARE(f.current().filePath(), names);
  }

  // A file that does not exist yet gets an empty tab; Save creates it.
  const QString fresh = f.dir.filePath(QStringLiteral("fresh.fll"));
  f.server->findWindow(fresh.toStdString());
  QCOMPARE(f.editor().tabCount(), 3);
  QCOMPARE(f.current().filePath(), fresh);
  QVERIFY(f.current().textEdit()->toPlainText().isEmpty());
  f.retype(QStringLiteral("upper\n"));
  QVERIFY(f.current().save());
  QCOMPARE(f.read(fresh), QByteArray("upper\n"));

  // The tabs are the server's windows.
  QCOMPARE(int(f.server->windows().size()), 3);
  QVERIFY(f.dialogsAsScripted());
}

void FilterEditorTest::findWindowOfAFileThatCannotBeReadIsAnError() {
  EditorFixture f;
  // A folder exists but cannot be read as a filter.
  QDir(f.dir.path()).mkdir(QStringLiteral("folder.fll"));
  const QString folder = f.dir.filePath(QStringLiteral("folder.fll"));
  try {
    f.server->findWindow(folder.toStdString());
    QFAIL("no error");
  } catch (const rowsmith::Error& error) {
    QCOMPARE(QString::fromUtf8(error.what()), QStringLiteral("Couldn't open ") + folder);
  }
  QCOMPARE(f.editor().tabCount(), 0);
  QVERIFY(f.server->windows().empty());
}

void FilterEditorTest::newWindowAfterShowGivesAnEmptyUnsavedTab() {
  EditorFixture f;
  // The Transforms page's order for a row without a filter: show, newWindow.
  f.server->show();
  f.server->newWindow();
  QTRY_COMPARE(f.editor().tabCount(), 1);
  QCOMPARE(f.current().filePath(), QString());
  QCOMPARE(f.current().title(), QStringLiteral("Untitled"));
  QVERIFY(!f.current().isModified());
  QCOMPARE(f.current().messageLine()->text(), QStringLiteral("Compiled without errors."));

  // The editor's own New makes one tab, although the server tells of the
  // window it made as well.
  f.editor().newButton()->click();
  QCOMPARE(f.editor().tabCount(), 2);
  QCoreApplication::processEvents();
  QCOMPARE(f.editor().tabCount(), 2);
  QVERIFY(f.dialogsAsScripted());
}

void FilterEditorTest::windowsCompiledForOthersGetNoTab() {
  EditorFixture f;
  const QString names = f.write("names.fll", "upper\n");
  auto compileAndRelease = [&] {
    auto window = f.server->newWindow();
    QVERIFY(window->openFilter(names.toStdString()));
    QCOMPARE(window->compileFilter(), std::string());
    QCOMPARE(window->processStringWithCompiledFilter("a"), std::string("A"));
    window->close();
  };
  // Out of sight: the editor is not even made.
  compileAndRelease();
  QCoreApplication::processEvents();
  QVERIFY(f.link->editor() == nullptr);

  // In sight: a preview's windows are closed before they could get a tab.
  f.server->show();
  compileAndRelease();
  QCoreApplication::processEvents();
  QCOMPARE(f.editor().tabCount(), 0);
}

void FilterEditorTest::saveWritesTheFileAndANewFilterAsksForAName() {
  EditorFixture f;
  const QString names = f.write("names.fll", "trim\n");
  f.server->findWindow(names.toStdString());
  f.retype(QStringLiteral("trim\nupper\n"));
  QVERIFY(f.current().isModified());
  QCOMPARE(f.editor().tabs()->tabText(0), QStringLiteral("names.fll*"));
  f.current().saveButton()->click();
  QCOMPARE(f.read(names), QByteArray("trim\nupper\n"));
  QVERIFY(!f.current().isModified());
  QCOMPARE(f.editor().tabs()->tabText(0), QStringLiteral("names.fll"));
  // Nothing but the file itself is left in the folder.
  QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files | QDir::Hidden),
           QStringList{QStringLiteral("names.fll")});

  // A new filter asks for a name; Cancel writes nothing.
  f.editor().newFilter();
  f.retype(QStringLiteral("lower\n"));
  f.dialogs.expectSave(QString());
  QVERIFY(!f.current().save());
  QVERIFY(f.current().isModified());
  const QString chosen = f.dir.filePath(QStringLiteral("chosen.fll"));
  f.dialogs.expectSave(chosen);
  QVERIFY(f.current().save());
  QCOMPARE(f.read(chosen), QByteArray("lower\n"));
  QCOMPARE(f.current().filePath(), chosen);
  QCOMPARE(f.editor().tabs()->tabText(1), QStringLiteral("chosen.fll"));
  QCOMPARE(f.dialogs.shown.last(), QStringLiteral("save: Save the filter as"));
  // Saved once, it keeps its name.
  f.retype(QStringLiteral("lower\ntrim\n"));
  QVERIFY(f.current().save());
  QCOMPARE(f.read(chosen), QByteArray("lower\ntrim\n"));

  // A file that cannot be written is reported and stays modified.
  QFile::setPermissions(chosen, QFile::ReadOwner);
  f.retype(QStringLiteral("upper\n"));
  f.dialogs.expectMessage(QStringLiteral("Cannot save the filter ") + chosen +
                          QStringLiteral(": the file is read-only"));
  QVERIFY(!f.current().save());
  QCOMPARE(f.dialogs.lastKind, DialogService::Kind::Error);
  QVERIFY(f.current().isModified());
  QCOMPARE(f.read(chosen), QByteArray("lower\ntrim\n"));
  QFile::setPermissions(chosen, QFile::ReadOwner | QFile::WriteOwner);
  QVERIFY(f.dialogsAsScripted());
}

void FilterEditorTest::saveKeepsLineBreaksAndRefusesFilesThatAreNotText() {
  EditorFixture f;
  const QString crlf = f.write("crlf.fll", "\xEF\xBB\xBFtrim\r\nupper\r\n");
  f.server->findWindow(crlf.toStdString());
  QCOMPARE(f.current().textEdit()->toPlainText(), QStringLiteral("trim\nupper\n"));
  f.retype(QStringLiteral("trim\nlower\n"));
  QVERIFY(f.current().save());
  QCOMPARE(f.read(crlf), QByteArray("\xEF\xBB\xBFtrim\r\nlower\r\n"));

  // Bytes that are not UTF-8: shown, compiled and tested, never rewritten.
  const QString latin1 = f.write("latin1.fll", "replace \"caf\xE9\" \"cafe\"\n");
  f.server->findWindow(latin1.toStdString());
  QVERIFY(f.current().textEdit()->isReadOnly());
  QVERIFY(!f.current().saveButton()->isEnabled());
  QVERIFY(f.current().messageLine()->text().contains(QStringLiteral("not UTF-8")));
  f.current().testInput()->setPlainText(QStringLiteral("x"));
  QCOMPARE(f.current().testOutput()->toPlainText(), QStringLiteral("x"));
  QCOMPARE(f.read(latin1), QByteArray("replace \"caf\xE9\" \"cafe\"\n"));
}

void FilterEditorTest::compileShowsTheFaultAndPutsTheCursorOnIt() {
  EditorFixture f;
  const QString broken = f.write("broken.fll", "trim\n  \"x\" uper\n");
  f.server->findWindow(broken.toStdString());
  FilterEditorTab& tab = f.current();
  tab.textEdit()->moveCursor(QTextCursor::End);
  tab.compileButton()->click();
  QVERIFY2(tab.messageLine()->text().startsWith(QStringLiteral("2:3: ")),
           qPrintable(tab.messageLine()->text()));
  QVERIFY(tab.messageLine()->property("fault").toBool());
  QCOMPARE(tab.textEdit()->textCursor().blockNumber(), 1);
  QCOMPARE(tab.textEdit()->textCursor().positionInBlock(), 2);
  QCOMPARE(tab.testOutput()->toPlainText(), QString());

  // The column counts characters, not bytes nor UTF-16 units.
  f.retype(QStringLiteral("append \"\U0001F600é\" frist\n"));
  tab.compileButton()->click();
  QVERIFY2(tab.messageLine()->text().startsWith(QStringLiteral("1:13: append takes no options")),
           qPrintable(tab.messageLine()->text()));
  QCOMPARE(tab.textEdit()->textCursor().positionInBlock(), 13);

  f.retype(QStringLiteral("trim\nupper\n"));
  tab.compileButton()->click();
  QCOMPARE(tab.messageLine()->text(), QStringLiteral("Compiled without errors."));
  QVERIFY(!tab.messageLine()->property("fault").toBool());
  // Compiling never saves.
  QCOMPARE(f.read(broken), QByteArray("trim\n  \"x\" uper\n"));
}

void FilterEditorTest::testBoxFollowsTheInputAndTheText_data() {
  QTest::addColumn<QString>("filter");
  QTest::addColumn<QString>("input");
  QTest::addColumn<QString>("output");
  QTest::newRow("steps") << "trim\ncollapse-spaces\ntitle\n"
                         << "  aNNA   SMITH "
                         << "Anna Smith";
  QTest::newRow("null") << "trim\nnull-if-empty\n"
                        << "   "
                        << "<NULL>";
  QTest::newRow("null-if") << "null-if \"N/A\"\n"
                           << "N/A"
                           << "<NULL>";
  QTest::newRow("not null") << "null-if \"N/A\"\n"
                            << "n/a"
                            << "n/a";
  QTest::newRow("empty input") << "regex \"^$\" \"unknown\"\n"
                               << ""
                               << "unknown";
  QTest::newRow("line breaks") << "regex \"^\" \"> \" multiline\n"
                               << "a\nb"
                               << "> a\n> b";
}

void FilterEditorTest::testBoxFollowsTheInputAndTheText() {
  QFETCH(QString, filter);
  QFETCH(QString, input);
  QFETCH(QString, output);
  EditorFixture f;
  f.server->findWindow(f.write("f.fll", filter.toUtf8()).toStdString());
  FilterEditorTab& tab = f.current();
  // Each keystroke of the input gives its output at once.
  tab.testInput()->setPlainText(QStringLiteral("x") + input);
  tab.testInput()->setPlainText(input);
  QCOMPARE(tab.testOutput()->toPlainText(), output);

  // A change of the filter shows after a pause in typing, compiled again.
  f.retype(filter + QStringLiteral("append \"!\"\n"));
  const QString changed = output == QStringLiteral("<NULL>") ? output : output + QLatin1Char('!');
  QTRY_COMPARE(tab.testOutput()->toPlainText(), changed);
  f.retype(filter + QStringLiteral("apend \"!\"\n"));
  QTRY_VERIFY(tab.messageLine()->property("fault").toBool());
  QCOMPARE(tab.testOutput()->toPlainText(), QString());
}

void FilterEditorTest::unsavedChangesAreOfferedForSavingBeforeATabCloses() {
  EditorFixture f;
  const QString names = f.write("names.fll", "trim\n");
  f.server->findWindow(names.toStdString());
  std::shared_ptr<wordmill::FilterWindow> window = f.current().filterWindow();

  // Unchanged: closes without a question.
  QVERIFY(f.editor().closeTab(0));
  QVERIFY(window->isClosed());
  QCOMPARE(f.editor().tabCount(), 0);

  f.server->findWindow(names.toStdString());
  f.retype(QStringLiteral("upper\n"));
  f.dialogs.expectMessage(QStringLiteral("Save changes to names.fll?"),
                          DialogService::Answer::Cancel);
  emit f.editor().tabs()->tabCloseRequested(0);
  QCOMPARE(f.editor().tabCount(), 1);
  QCOMPARE(f.dialogs.lastKind, DialogService::Kind::Confirmation);

  f.dialogs.expectMessage(QStringLiteral("Save changes to names.fll?"), DialogService::Answer::No);
  QVERIFY(f.editor().closeTab(0));
  QCOMPARE(f.read(names), QByteArray("trim\n"));

  f.server->findWindow(names.toStdString());
  f.retype(QStringLiteral("lower\n"));
  f.dialogs.expectMessage(QStringLiteral("Save changes"), DialogService::Answer::Yes);
  QVERIFY(f.editor().closeTab(0));
  QCOMPARE(f.read(names), QByteArray("lower\n"));

  // A new filter whose name is not given stays open.
  f.editor().newFilter();
  f.retype(QStringLiteral("title\n"));
  f.dialogs.expectMessage(QStringLiteral("Save changes to Untitled?"), DialogService::Answer::Yes);
  f.dialogs.expectSave(QString());
  QVERIFY(!f.editor().closeTab(0));
  QCOMPARE(f.editor().tabCount(), 1);
  QVERIFY(f.dialogsAsScripted());
}

void FilterEditorTest::unsavedChangesAreOfferedBeforeTheMainWindowCloses() {
  EditorFixture f;
  f.owner.show();
  const QString names = f.write("names.fll", "trim\n");
  f.server->findWindow(names.toStdString());
  f.server->findWindow(f.write("other.fll", "upper\n").toStdString());
  f.editor().tabs()->setCurrentIndex(1);
  f.editor().tabs()->setCurrentIndex(0);
  f.retype(QStringLiteral("lower\n"));

  f.dialogs.expectMessage(QStringLiteral("Save changes to names.fll?"),
                          DialogService::Answer::Cancel);
  QVERIFY(!f.owner.close());
  QVERIFY(f.owner.isVisible());
  QVERIFY(f.editor().isVisible());  // shown, so the user sees what is asked about

  f.dialogs.expectMessage(QStringLiteral("Save changes to names.fll?"), DialogService::Answer::Yes);
  QVERIFY(f.owner.close());
  QCOMPARE(f.read(names), QByteArray("lower\n"));
  QVERIFY(f.dialogsAsScripted());
}

void FilterEditorTest::highlighterColoursStepsTextsOptionsAndComments_data() {
  using Part = FilterHighlighter::Part;
  QTest::addColumn<QString>("line");
  QTest::addColumn<int>("position");
  QTest::addColumn<int>("part");
  const QString replace = QStringLiteral(R"(replace "a\n" "\d" first # "not a text")");
  QTest::newRow("step") << replace << 0 << int(Part::Step);
  QTest::newRow("text") << replace << 8 << int(Part::Text);
  QTest::newRow("escape") << replace << 10 << int(Part::Escape);
  QTest::newRow("kept pair") << replace << 15 << int(Part::Text);
  QTest::newRow("option") << replace << 19 << int(Part::Option);
  QTest::newRow("comment") << replace << 26 << int(Part::Comment);
  QTest::newRow("hash in text") << QStringLiteral(R"(append "#1")") << 8 << int(Part::Text);
  QTest::newRow("quote in text") << QStringLiteral(R"(append "\"" x)") << 12 << int(Part::Option);
  QTest::newRow("unknown step") << QStringLiteral("uper") << 1 << int(Part::UnknownStep);
  QTest::newRow("unterminated") << QStringLiteral(R"(append "abc)") << 9
                                << int(Part::UnterminatedText);
  QTest::newRow("indented step") << QStringLiteral("\ttrim") << 1 << int(Part::Step);
  const QString structured = QStringLiteral("json-strings keys {upper x}");
  QTest::newRow("structured step") << structured << 0 << int(Part::Step);
  QTest::newRow("its option") << structured << 13 << int(Part::Option);
  QTest::newRow("step after {") << structured << 19 << int(Part::Step);
  QTest::newRow("option before }") << structured << 25 << int(Part::Option);
}

void FilterEditorTest::highlighterColoursStepsTextsOptionsAndComments() {
  QFETCH(QString, line);
  QFETCH(int, position);
  QFETCH(int, part);
  QTextDocument document;
  FilterHighlighter highlighter(&document);
  document.setPlainText(line);
  highlighter.rehighlight();
  const QTextCharFormat expected = highlighter.format(FilterHighlighter::Part(part));
  for (const QTextLayout::FormatRange& range : document.firstBlock().layout()->formats()) {
    if (position >= range.start && position < range.start + range.length) {
      QCOMPARE(range.format.foreground(), expected.foreground());
      QCOMPARE(range.format.fontWeight(), expected.fontWeight());
      QCOMPARE(range.format.underlineStyle(), expected.underlineStyle());
      return;
    }
  }
  QFAIL("no format at that position");
}

void FilterEditorTest::mainWindowShowsTheEditorWithItsHelpContext() {
  rowsmith::gui_test::WindowFixture fixture;
  rowsmith::gui::TForm1& window = fixture.start();
  const QString names = fixture.writeFile(QStringLiteral("names.fll"), "trim\n");
  fixture.window().menus().showWordmillPro1->trigger();
  auto* editor = window.findChild<FilterEditorWindow*>();
  QVERIFY(editor && editor->isVisible());
  QCOMPARE(editor->property("helpContext").toInt(), rowsmith::gui::HelpContexts::kFilterEditor);

  // Edit on the Transforms page, for a row with a filter and one without.
  window.filterServer()->findWindow(names.toStdString());
  window.filterServer()->show();
  QCOMPARE(editor->currentTab()->filePath(), names);
  window.filterServer()->show();
  window.filterServer()->newWindow();
  QTRY_COMPARE(editor->tabCount(), 2);
  QCOMPARE(editor->currentTab()->filePath(), QString());
  // F1 anywhere in the editor opens its page.
  QCOMPARE(rowsmith::gui::HelpKeyFilter::contextFor(editor->currentTab()->testInput(), window),
           rowsmith::gui::HelpContexts::kFilterEditor);
  QVERIFY(fixture.dialogs.unexpected.isEmpty());
}

void FilterEditorTest::showWithoutAServerReportsTheFailedCall() {
  // No filter server can be made: start-up reports it and leaves none.
  struct ClassTakenOut {
    wordmill::FilterApplicationFactory real =
        wordmill::registerClass(wordmill::kWordmillProgId, {});
    ~ClassTakenOut() { wordmill::registerClass(wordmill::kWordmillProgId, real); }
  } takenOut;
  rowsmith::gui_test::WindowFixture fixture;
  fixture.dialogs.expectMessage(QStringLiteral("Invalid class string"));
  rowsmith::gui::TForm1& window = fixture.start();
  QVERIFY(window.filterServer() == nullptr);

  fixture.dialogs.expectMessage(QStringLiteral("Wordmill Pro has not been started."));
  window.menus().showWordmillPro1->trigger();
  QCOMPARE(fixture.dialogs.lastKind, DialogService::Kind::Error);
  QVERIFY(window.findChild<FilterEditorWindow*>() == nullptr);
  QVERIFY(fixture.dialogs.unexpected.isEmpty() && fixture.dialogs.allAnswered());
}

QTEST_MAIN(FilterEditorTest)
#include "FilterEditorTest.moc"
