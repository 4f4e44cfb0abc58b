// The wizard's pages at work on a real SQLite database: the table list,
// Parse query, the sample rows, the transforms grid, the preview of changes
// and Go with its progress window, checked in the database afterwards.
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include "WindowFixtureSupport.h"
#include "engine/db/ConnectionFactory.h"
#include "pages/HeadingSortCycle.h"
#include "pages/PreviewPage.h"
#include "pages/QueryPage.h"
#include "pages/RowsSpinBox.h"
#include "pages/SampleCommands.h"
#include "pages/SamplePage.h"
#include "pages/TableNameBox.h"
#include "pages/TextGridModel.h"
#include "pages/TransformCommands.h"
#include "pages/TransformGridModel.h"
#include "pages/TransformsPage.h"
#include "shell/DocumentCommands.h"
#include "shell/StatusForm.h"

using rowsmith::gui::DialogService;
using rowsmith::gui::TForm1;
using rowsmith::gui::TTstatusForm;
using rowsmith::gui_test::WindowFixture;

namespace {

// A database with a table of people, and two filters.
struct Job {
  explicit Job(WindowFixture& fixture) {
    database = fixture.writeFile(QStringLiteral("people.sqlite"), {});
    source = "Provider=SQLite;Data Source=" + database.toStdString();
    auto connection = rowsmith::db::connect(source);
    connection->execute(
        "create table people (id integer primary key, name text, city text, photo blob);"
        "insert into people values (1, '  ann  smith ', 'york', x'00ff'),"
        " (2, 'BOB JONES', NULL, NULL), (3, 'Cy', 'N/A', NULL);"
        "create view towns as select distinct city from people;");
    titleFilter = fixture.writeFile(QStringLiteral("title.fll"), "trim\ncollapse-spaces\ntitle\n");
    nullFilter = fixture.writeFile(QStringLiteral("null.fll"), "null-if \"N/A\"\nupper\n");
    brokenFilter = fixture.writeFile(QStringLiteral("broken.fll"), "no-such-step\n");
  }
  std::vector<std::string> column(const std::string& sql) const {
    auto connection = rowsmith::db::connect(source);
    auto rows = connection->open(sql, {});
    std::vector<std::string> values;
    for (rows->moveFirst(); !rows->eof(); rows->moveNext()) {
      const auto& value = rows->value(0);
      values.push_back(value.isNull() ? "<null>" : value.text);
    }
    return values;
  }
  QString database;
  std::string source;
  QString titleFilter;
  QString nullFilter;
  QString brokenFilter;
};

void waitFor(TForm1& window) {
  QSignalSpy done(&window.sampleCommands(), &rowsmith::gui::SampleCommands::finished);
  QVERIFY(done.wait(20000));
}

void setTable(TForm1& window, const Job& job, const QString& table) {
  window.queryPage()->dbConnection()->setText(QString::fromStdString(job.source));
  window.queryPage()->tableRadio()->setChecked(true);
  window.queryPage()->tableNameBox()->setEditText(table);
}

QList<TTstatusForm*> progressWindows() {
  QList<TTstatusForm*> forms;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* form = qobject_cast<TTstatusForm*>(widget)) forms << form;
  }
  return forms;
}

QString cell(rowsmith::gui::TextGridModel* model, int row, int column) {
  return model->index(row, column).data().toString();
}

}  // namespace

class WizardFlowTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup();
  void sampleFillsTheGridsAndKeepsFiltersByName();
  void sampleErrorsNameTheQuery();
  void tableListAndParseQuery();
  void transformsGridCommands();
  void previewMarksChangesAndNulls();
  void previewWithoutFiltersOrWithTooFewColumnsStops();
  void headingsCycleTheirArrowAndRowsStay();
  void goRunsTheJobWithAProgressWindow();
  void goChecksTheJobFirstAndRunsTwice();
  void aRunTellsOfValuesKeptAsTheyWere();
  void cancelStopsTheRunAndAClosedWindowStopsIt();
};

void WizardFlowTest::cleanup() {
  for (TTstatusForm* form : progressWindows()) delete form;
}

void WizardFlowTest::sampleFillsTheGridsAndKeepsFiltersByName() {
  WindowFixture fixture;
  Job job(fixture);
  TForm1& window = fixture.start();
  setTable(window, job, QStringLiteral("people"));
  window.transformsPage()->model()->setEntries(
      {{"NAME", job.titleFilter.toStdString()}, {"gone", "other.fll"}});
  window.queryPage()->previewData()->click();
  waitFor(window);
  QVERIFY(fixture.dialogs.unexpected.isEmpty());
  QCOMPARE(window.pageControl()->currentIndex(), int(TForm1::SampleIndex));
  QVERIFY(window.prevButton()->isEnabled());
  auto* grid = window.samplePage()->sampleModel();
  QCOMPARE(grid->headings(), (QStringList{"id", "name", "city", "photo"}));
  QCOMPARE(grid->rowCount(), 3);
  QCOMPARE(cell(grid, 0, 1), QStringLiteral("  ann  smith "));
  QVERIFY(grid->index(1, 2).data(rowsmith::gui::TextGridModel::NullRole).toBool());
  QCOMPARE(cell(grid, 0, 3), QString());  // binary: empty
  QCOMPARE(window.samplePage()->rowsReturned()->text(), QStringLiteral("Rows returned: 3"));
  const auto& entries = window.transformsPage()->model()->entries();
  QCOMPARE(entries.size(), std::size_t(4));
  QCOMPARE(entries[1].columnName, std::string("name"));
  QCOMPARE(entries[1].filter, job.titleFilter.toStdString());
  QCOMPARE(entries[2].filter, std::string());

  // A limit of 0 gives the headings and no rows.
  window.samplePage()->previewRows()->setValue(0);
  window.refreshButtonClick();
  waitFor(window);
  QCOMPARE(grid->rowCount(), 0);
  QCOMPARE(grid->columnCount(), 4);
  QCOMPARE(window.samplePage()->rowsReturned()->text(), QStringLiteral("Rows returned: 0"));
}

void WizardFlowTest::sampleErrorsNameTheQuery() {
  WindowFixture fixture;
  Job job(fixture);
  TForm1& window = fixture.start();
  setTable(window, job, QStringLiteral("nosuchtable"));
  window.queryPage()->queryBox()->setPlainText(QStringLiteral("select 1"));
  fixture.dialogs.expectMessage(QStringLiteral(": select 1"));
  window.queryPage()->previewData()->click();
  waitFor(window);
  QVERIFY(fixture.dialogs.unexpected.isEmpty());
  QCOMPARE(window.samplePage()->rowsReturned()->text(), QStringLiteral("Rows returned: -"));

  // A connection that fails is reported alone, and no page changes.
  window.pageControl()->setCurrentIndex(0);
  window.queryPage()->dbConnection()->setText(QStringLiteral("Provider=SQLite;Data Source=") +
                                              fixture.path(QStringLiteral("none.db")));
  fixture.dialogs.expectMessage(QString());
  window.queryPage()->previewData()->click();
  waitFor(window);
  QVERIFY(fixture.dialogs.unexpected.isEmpty());
  QCOMPARE(fixture.dialogs.lastKind, DialogService::Kind::Error);
  QCOMPARE(window.pageControl()->currentIndex(), 0);
}

void WizardFlowTest::tableListAndParseQuery() {
  WindowFixture fixture;
  Job job(fixture);
  TForm1& window = fixture.start();
  setTable(window, job, QStringLiteral("typed"));
  window.sampleCommands().tableNameDropDown();
  waitFor(window);
  auto* box = window.queryPage()->tableNameBox();
  QStringList names;
  for (int i = 0; i < box->count(); ++i) names << box->itemText(i);
  QVERIFY(names.contains(QStringLiteral("people")));
  QVERIFY(names.contains(QStringLiteral("towns")));
  QCOMPARE(box->currentText(), QStringLiteral("typed"));

  // Parse query checks the query box whichever mode is chosen.
  window.queryPage()->queryBox()->setPlainText(QStringLiteral("select id, name from people"));
  fixture.dialogs.expectMessage(QStringLiteral("SQL query is Ok"));
  window.queryPage()->queryCheckErrors()->click();
  waitFor(window);
  window.queryPage()->queryBox()->setPlainText(QStringLiteral("select * from towns"));
  fixture.dialogs.expectMessage(QStringLiteral("Warning! This query does not support updates"));
  fixture.dialogs.expectMessage(QStringLiteral("SQL query is Ok"));
  window.queryPage()->queryCheckErrors()->click();
  waitFor(window);
  window.queryPage()->queryBox()->setPlainText(QStringLiteral("select nonsense from"));
  fixture.dialogs.expectMessage(QStringLiteral(": select nonsense from"));
  window.queryPage()->queryCheckErrors()->click();
  waitFor(window);
  QVERIFY2(fixture.dialogs.unexpected.isEmpty(), qPrintable(fixture.dialogs.unexpected.join('\n')));
  QVERIFY(fixture.dialogs.allAnswered());
}

void WizardFlowTest::transformsGridCommands() {
  WindowFixture fixture;
  TForm1& window = fixture.start();
  auto* model = window.transformsPage()->model();
  model->setEntries({{"a", "one.fll"}, {"b", "two.fll"}, {"c", "three.fll"}, {"d", ""}});
  QTableView* grid = window.transformsPage()->transformGrid();
  window.document().setModified(false);

  // Entering a filter cell marks the job and puts the cell's text first.
  grid->setCurrentIndex(model->index(1, 1));
  QVERIFY(window.document().modified());
  QCOMPARE(window.filterFiles().at(0), std::string("two.fll"));

  // Clear empties the selected rows only; the current row is not one of them.
  grid->selectionModel()->clearSelection();
  grid->selectionModel()->select(model->index(0, 0),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
  grid->selectionModel()->select(model->index(2, 0),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
  grid->selectionModel()->setCurrentIndex(model->index(1, 1), QItemSelectionModel::NoUpdate);
  window.transformsPage()->clearAll()->click();
  QCOMPARE(model->entries()[0].filter, std::string());
  QCOMPARE(model->entries()[1].filter, std::string("two.fll"));
  QCOMPARE(model->entries()[2].filter, std::string());

  // Browse, then Cancel, changes nothing; Browse, then OK, fills the cell.
  window.document().setModified(false);
  const std::size_t listed = window.filterFiles().count();
  fixture.dialogs.expectOpen(QString());
  window.transformCommands().browse(3);
  QVERIFY(!window.document().modified());
  QCOMPARE(window.filterFiles().count(), listed);
  fixture.dialogs.expectOpen(QStringLiteral("/filters/new.fll"));
  window.transformCommands().browse(3);
  QCOMPARE(model->entries()[3].filter, std::string("/filters/new.fll"));
  QCOMPARE(window.filterFiles().at(0), std::string("/filters/new.fll"));
  QVERIFY(window.document().modified());

  // Copy to all from a row without a filter empties every row.
  grid->selectionModel()->setCurrentIndex(model->index(0, 0), QItemSelectionModel::NoUpdate);
  window.transformsPage()->copyToAll()->click();
  for (const auto& entry : model->entries()) QCOMPARE(entry.filter, std::string());
  QVERIFY(fixture.dialogs.unexpected.isEmpty());
}

void WizardFlowTest::previewMarksChangesAndNulls() {
  WindowFixture fixture;
  Job job(fixture);
  TForm1& window = fixture.start();
  setTable(window, job, QStringLiteral("people"));
  window.transformsPage()->model()->setEntries({{"id", ""},
                                                {"name", job.titleFilter.toStdString()},
                                                {"city", job.nullFilter.toStdString()},
                                                {"photo", ""}});
  // With an untouched sample grid the sample runs first.
  window.transformsPage()->previewButton()->click();
  waitFor(window);
  QVERIFY(fixture.dialogs.unexpected.isEmpty());
  QCOMPARE(window.pageControl()->currentIndex(), int(TForm1::PreviewIndex));
  auto* preview = window.previewPage()->model();
  QCOMPARE(preview->rowCount(), 3);
  QCOMPARE(cell(preview, 0, 1), QStringLiteral("Ann Smith"));
  QVERIFY(preview->index(0, 1).data(Qt::BackgroundRole).isValid());
  QCOMPARE(preview->index(0, 1).data(Qt::ToolTipRole).toString(),
           QStringLiteral("Was:   ann  smith "));
  QCOMPARE(cell(preview, 0, 2), QStringLiteral("YORK"));
  QVERIFY(preview->index(2, 2).data(rowsmith::gui::TextGridModel::NullRole).toBool());
  QCOMPARE(cell(preview, 2, 2), QString());
  QVERIFY(!preview->index(0, 0).data(Qt::BackgroundRole).isValid());  // no filter
  QCOMPARE(cell(preview, 2, 1), QStringLiteral("Cy"));
  QVERIFY(!preview->index(2, 1).data(Qt::BackgroundRole).isValid());  // unchanged

  // A broken filter stops the preview before the page changes.
  window.pageControl()->setCurrentIndex(TForm1::TransformsIndex);
  window.transformsPage()->model()->setFilter(1, job.brokenFilter.toStdString());
  fixture.dialogs.expectMessage(QStringLiteral("no-such-step"));
  window.sampleCommands().startTestClick();
  QCOMPARE(window.pageControl()->currentIndex(), int(TForm1::TransformsIndex));
  QCOMPARE(preview->rowCount(), 3);
  QVERIFY2(fixture.dialogs.unexpected.isEmpty(), qPrintable(fixture.dialogs.unexpected.join('\n')));
}

void WizardFlowTest::previewWithoutFiltersOrWithTooFewColumnsStops() {
  WindowFixture fixture;
  Job job(fixture);
  TForm1& window = fixture.start();
  setTable(window, job, QStringLiteral("people"));
  window.queryPage()->previewData()->click();
  waitFor(window);
  fixture.dialogs.expectMessage(QStringLiteral("No transforms have been specified"));
  window.sampleCommands().startTestClick();
  QCOMPARE(window.pageControl()->currentIndex(), int(TForm1::SampleIndex));

  window.transformsPage()->model()->setEntries(
      {{"id", ""}, {"name", job.titleFilter.toStdString()}});
  fixture.dialogs.expectMessage(QStringLiteral("List index out of bounds (2)"));
  window.sampleCommands().startTestClick();
  QCOMPARE(window.pageControl()->currentIndex(), int(TForm1::PreviewIndex));
  QCOMPARE(cell(window.previewPage()->model(), 0, 1), QStringLiteral("Ann Smith"));
  QVERIFY(fixture.dialogs.unexpected.isEmpty());
}

void WizardFlowTest::headingsCycleTheirArrowAndRowsStay() {
  WindowFixture fixture;
  Job job(fixture);
  TForm1& window = fixture.start();
  setTable(window, job, QStringLiteral("people"));
  window.queryPage()->previewData()->click();
  waitFor(window);
  QHeaderView* header = window.samplePage()->previewGrid()->horizontalHeader();
  auto* cycle = header->findChild<rowsmith::gui::HeadingSortCycle*>();
  using State = rowsmith::gui::HeadingSortCycle::State;
  const State expected[] = {State::Down, State::Up, State::None, State::Down};
  for (State state : expected) {
    emit header->sectionClicked(1);
    QCOMPARE(cycle->state(), state);
    QCOMPARE(header->isSortIndicatorShown(), state != State::None);
  }
  emit header->sectionClicked(2);
  QCOMPARE(cycle->state(), State::Down);
  QCOMPARE(cell(window.samplePage()->sampleModel(), 0, 0), QStringLiteral("1"));
}

void WizardFlowTest::goRunsTheJobWithAProgressWindow() {
  WindowFixture fixture;
  Job job(fixture);
  TForm1& window = fixture.start();
  setTable(window, job, QStringLiteral("people"));
  window.transformsPage()->model()->setEntries({{"id", ""},
                                                {"name", job.titleFilter.toStdString()},
                                                {"city", job.nullFilter.toStdString()},
                                                {"photo", ""}});
  const auto namesBefore = job.column("select name from people order by id");
  const auto citiesBefore = job.column("select city from people order by id");
  window.goButton()->click();
  QVERIFY(fixture.dialogs.unexpected.isEmpty());
  QCOMPARE(progressWindows().size(), 1);
  TTstatusForm* form = progressWindows().first();
  QCOMPARE(form->windowTitle(), QStringLiteral("Processing data rows..."));
  QTRY_COMPARE_WITH_TIMEOUT(form->buttonKind(), TTstatusForm::ButtonKind::Ok, 20000);
  QCOMPARE(form->statusText()->text(), QStringLiteral("Complete. 3 rows processed."));
  QCOMPARE(form->taskProgress()->value(), 100);
  QCOMPARE(form->cancelButton()->text(), QStringLiteral("&OK"));
  // Once the run has ended the window tells the time it took, not a time left.
  QVERIFY2(form->rateText()->text().contains(QStringLiteral("took")) &&
               !form->rateText()->text().contains(QStringLiteral("left")),
           qPrintable(form->rateText()->text()));
  QCOMPARE(job.column("select name from people order by id"),
           (std::vector<std::string>{"Ann Smith", "Bob Jones", "Cy"}));
  // NULL reaches a filter as empty text and comes back as the empty string.
  QCOMPARE(job.column("select city from people order by id"),
           (std::vector<std::string>{"YORK", "", "<null>"}));
  QCOMPARE(job.column("select hex(photo) from people where id = 1"),
           (std::vector<std::string>{"00FF"}));
  QVERIFY(form->noticeText()->isHidden());

  // The run kept a journal: once asked, its changes are put back in a
  // progress window of their own.
  QVERIFY(form->undoButton()->isVisible());
  fixture.dialogs.expectMessage(QStringLiteral("Put back the old values of the 3 rows"),
                                rowsmith::gui::DialogService::Answer::Yes);
  form->undoButton()->click();
  QVERIFY(fixture.dialogs.unexpected.isEmpty());
  QVERIFY(fixture.dialogs.allAnswered());
  QVERIFY(!form->undoButton()->isEnabled());
  QCOMPARE(progressWindows().size(), 2);
  TTstatusForm* undoForm =
      progressWindows().first() == form ? progressWindows().last() : progressWindows().first();
  QCOMPARE(undoForm->windowTitle(), QStringLiteral("Undoing a run..."));
  QTRY_COMPARE_WITH_TIMEOUT(undoForm->buttonKind(), TTstatusForm::ButtonKind::Ok, 20000);
  QVERIFY2(undoForm->noticeText()->text().contains(
               QStringLiteral("3 rows put back as they were before the run.")),
           qPrintable(undoForm->noticeText()->text()));
  QVERIFY(undoForm->undoButton()->isHidden());
  QCOMPARE(job.column("select name from people order by id"), namesBefore);
  QCOMPARE(job.column("select city from people order by id"), citiesBefore);
  delete undoForm;

  // Enter closes the window once it reads OK.
  QTest::keyClick(form, Qt::Key_Return);
  QTRY_VERIFY(progressWindows().isEmpty());
}

void WizardFlowTest::goChecksTheJobFirstAndRunsTwice() {
  WindowFixture fixture;
  Job job(fixture);
  TForm1& window = fixture.start();
  setTable(window, job, QStringLiteral("people"));
  window.transformsPage()->model()->setEntries({{"id", ""}, {"name", ""}});
  fixture.dialogs.expectMessage(QStringLiteral("No transforms have been specified"));
  window.goButtonClick();
  window.transformsPage()->model()->setEntries({{"id", ""}, {"name", "/no/such/filter.fll"}});
  fixture.dialogs.expectMessage(QStringLiteral("Couldn't open /no/such/filter.fll"));
  window.goButtonClick();
  window.queryPage()->tableNameBox()->setEditText(QString());
  fixture.dialogs.expectMessage(QStringLiteral("The table name is blank"));
  window.goButtonClick();
  QVERIFY(progressWindows().isEmpty());
  QVERIFY(fixture.dialogs.unexpected.isEmpty());

  // Two presses, two independent runs. They write the same rows, so the
  // second may find a row the first changed after it was read: that run
  // stops at that row and says so, and nothing is written twice.
  window.queryPage()->tableNameBox()->setEditText(QStringLiteral("people"));
  window.transformsPage()->model()->setEntries(
      {{"id", ""}, {"name", job.titleFilter.toStdString()}, {"city", ""}, {"photo", ""}});
  window.goButtonClick();
  window.goButtonClick();
  QCOMPARE(progressWindows().size(), 2);
  int finished = 0;
  for (TTstatusForm* form : progressWindows()) {
    QTRY_VERIFY_WITH_TIMEOUT(form->ended(), 20000);
    if (form->buttonKind() == TTstatusForm::ButtonKind::Ok) ++finished;
  }
  QVERIFY(finished >= 1);
  for (const QString& message : fixture.dialogs.unexpected)
    QVERIFY2(message.contains(QStringLiteral("Row changed by another user since it was read")),
             qPrintable(message));
  QVERIFY(fixture.dialogs.unexpected.size() == 2 - finished);
  QCOMPARE(job.column("select name from people where id = 2"),
           (std::vector<std::string>{"Bob Jones"}));
}

void WizardFlowTest::aRunTellsOfValuesKeptAsTheyWere() {
  WindowFixture fixture;
  Job job(fixture);
  // A serialized string whose length lies cannot be rewritten.
  rowsmith::db::connect(job.source)
      ->execute("update people set name = 's:9:\"ann\";' where id = 1");
  TForm1& window = fixture.start();
  setTable(window, job, QStringLiteral("people"));
  const QString upper =
      fixture.writeFile(QStringLiteral("upper.fll"), "php-serialized { upper }\n");
  window.transformsPage()->model()->setEntries(
      {{"id", ""}, {"name", upper.toStdString()}, {"city", ""}, {"photo", ""}});
  window.goButtonClick();
  TTstatusForm* form = progressWindows().first();
  QTRY_COMPARE_WITH_TIMEOUT(form->buttonKind(), TTstatusForm::ButtonKind::Ok, 20000);
  QVERIFY(fixture.dialogs.unexpected.isEmpty());
  QVERIFY(!form->noticeText()->isHidden());
  QVERIFY2(form->noticeText()->text().startsWith(
               QStringLiteral("1 value of column name was left as it was: filter ") + upper),
           qPrintable(form->noticeText()->text()));
  QCOMPARE(job.column("select name from people order by id"),
           (std::vector<std::string>{"s:9:\"ann\";", "BOB JONES", "CY"}));
  form->close();
}

void WizardFlowTest::cancelStopsTheRunAndAClosedWindowStopsIt() {
  WindowFixture fixture;
  Job job(fixture);
  rowsmith::db::connect(job.source)
      ->execute(
          "with recursive n(i) as (select 4 union all select i + 1 from n where i < 50000) "
          "insert into people (id, name) select i, 'name ' || i from n");
  TForm1& window = fixture.start();
  setTable(window, job, QStringLiteral("people"));
  window.transformsPage()->model()->setEntries(
      {{"id", ""}, {"name", job.titleFilter.toStdString()}, {"city", ""}, {"photo", ""}});

  // Cancel at once: the button reads Close, then OK once the worker stopped.
  window.goButtonClick();
  TTstatusForm* form = progressWindows().first();
  form->cancelButton()->click();
  QCOMPARE(form->cancelButton()->text(), QStringLiteral("&Close"));
  QTRY_VERIFY2_WITH_TIMEOUT(form->buttonKind() == TTstatusForm::ButtonKind::Ok,
                            qPrintable(fixture.dialogs.shown.join('\n')), 60000);
  QVERIFY2(form->statusText()->text().startsWith(QStringLiteral("Terminated by user.")),
           qPrintable(form->statusText()->text()));
  const auto changed =
      job.column("select cast(count(*) as text) from people where name like 'Name %'");
  QVERIFY(std::stoll(changed[0]) < 50000);
  form->close();

  // A window closed while its run goes on stops the run; nothing reaches it.
  window.goButtonClick();
  form = progressWindows().first();
  QPointer<TTstatusForm> gone(form);
  form->close();
  QTRY_VERIFY(!gone);
  QTest::qWait(300);
  QVERIFY(fixture.dialogs.unexpected.isEmpty());
}

QTEST_MAIN(WizardFlowTest)
#include "WizardFlowTest.moc"
