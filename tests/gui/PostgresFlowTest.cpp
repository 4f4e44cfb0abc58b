// A job built from nothing in the desktop program on the PostgreSQL test
// server: the table picked from the list, sample rows, a filter given in the
// transforms grid, the preview, the job saved, and Go with its progress
// window, checked in the database afterwards; Cancel keeps exactly the rows
// that the progress window reports.
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <fstream>
#include <string>

#include "WindowFixtureSupport.h"
#include "document/Settings.h"
#include "engine/db/ConnectionFactory.h"
#include "pages/PreviewPage.h"
#include "pages/QueryPage.h"
#include "pages/SampleCommands.h"
#include "pages/SamplePage.h"
#include "pages/TableNameBox.h"
#include "pages/TextGridModel.h"
#include "pages/TransformGridModel.h"
#include "pages/TransformsPage.h"
#include "shell/MainMenus.h"
#include "shell/StatusForm.h"

using rowsmith::gui::TForm1;
using rowsmith::gui::TransformGridModel;
using rowsmith::gui::TTstatusForm;
using rowsmith::gui_test::WindowFixture;

namespace {

std::string serverString() {
  std::ifstream in(ROWSMITH_PG_DIR "/connection-string");
  std::string line;
  std::getline(in, line);
  return line;
}

// A table of its own on the test server, dropped again at the end.
struct Table {
  explicit Table(const std::string& stem)
      : source(serverString()), name(stem + "_" + std::to_string(::getpid())) {
    rowsmith::db::connect(source)->execute("drop table if exists " + name + ";create table " +
                                           name + " (id integer primary key, name text)");
  }
  ~Table() {
    try {
      rowsmith::db::connect(source)->execute("drop table if exists " + name);
    } catch (...) {
    }
  }
  void execute(const std::string& sql) const { rowsmith::db::connect(source)->execute(sql); }
  long long count(const std::string& where) const {
    auto rows =
        rowsmith::db::connect(source)->open("select count(*) from " + name + " where " + where, {});
    rows->moveFirst();
    return std::stoll(rows->value(0).text);
  }
  std::string source;
  std::string name;
};

void waitFor(TForm1& window) {
  QSignalSpy done(&window.sampleCommands(), &rowsmith::gui::SampleCommands::finished);
  QVERIFY(done.wait(30000));
}

TTstatusForm* onlyProgressWindow() {
  TTstatusForm* found = nullptr;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* form = qobject_cast<TTstatusForm*>(widget)) found = form;
  }
  return found;
}

}  // namespace

class PostgresFlowTest : public QObject {
  Q_OBJECT

 private slots:
  void aJobBuiltFromNothingRunsAndIsSaved();
  void cancelKeepsExactlyTheRowsReported();
};

void PostgresFlowTest::aJobBuiltFromNothingRunsAndIsSaved() {
  WindowFixture fixture;
  Table table("gui_people");
  table.execute("insert into " + table.name +
                " values (1, '  ann  smith '), (2, 'BOB JONES'), (3, NULL)");
  const QString filter =
      fixture.writeFile(QStringLiteral("title.fll"), "trim\ncollapse-spaces\ntitle\n");
  TForm1& window = fixture.start();

  // Data source page: the string, then the table chosen from the list.
  window.queryPage()->dbConnection()->setText(QString::fromStdString(table.source));
  window.queryPage()->tableRadio()->setChecked(true);
  window.sampleCommands().tableNameDropDown();
  waitFor(window);
  auto* box = window.queryPage()->tableNameBox();
  const int listed = box->findText(QString::fromStdString(table.name));
  QVERIFY2(listed >= 0, table.name.c_str());
  box->setCurrentIndex(listed);

  // Sample rows, then the filter given in the transforms grid.
  window.queryPage()->previewData()->click();
  waitFor(window);
  QVERIFY2(fixture.dialogs.unexpected.isEmpty(), qPrintable(fixture.dialogs.shown.join('\n')));
  QCOMPARE(window.samplePage()->rowsReturned()->text(), QStringLiteral("Rows returned: 3"));
  TransformGridModel* transforms = window.transformsPage()->model();
  QCOMPARE(transforms->rowCount(), 2);
  QVERIFY(transforms->setData(transforms->index(1, TransformGridModel::FilterColumn), filter,
                              Qt::EditRole));

  // The preview marks what the filter changes.
  window.sampleCommands().startTestClick();
  QCOMPARE(window.pageControl()->currentIndex(), int(TForm1::PreviewIndex));
  auto* preview = window.previewPage()->model();
  QCOMPARE(preview->index(0, 1).data().toString(), QStringLiteral("Ann Smith"));
  QVERIFY(preview->index(0, 1).data(Qt::BackgroundRole).isValid());

  // Saved, the job names the table and the filter by column.
  const QString jobFile = fixture.path(QStringLiteral("people.rsm"));
  fixture.dialogs.expectSave(jobFile);
  window.menus().save1->trigger();
  rowsmith::TSettings saved;
  saved.LoadFromFile(jobFile.toStdString());
  QCOMPARE(QString::fromStdString(saved.tableName), QString::fromStdString(table.name));
  QCOMPARE(saved.columnNames.at(1), std::string("name"));
  QCOMPARE(saved.columnFilters.at(1), filter.toStdString());

  // Go: the progress window ends at OK and the rows are changed.
  window.goButton()->click();
  TTstatusForm* form = onlyProgressWindow();
  QVERIFY(form);
  QTRY_COMPARE_WITH_TIMEOUT(form->buttonKind(), TTstatusForm::ButtonKind::Ok, 60000);
  QCOMPARE(form->statusText()->text(), QStringLiteral("Complete. 3 rows processed."));
  QCOMPARE(table.count("name in ('Ann Smith', 'Bob Jones')"), 2);
  // NULL reaches the filter as empty text and is written back as the empty string.
  QCOMPARE(table.count("id = 3 and name = ''"), 1);
  QVERIFY(fixture.dialogs.unexpected.isEmpty());
  delete form;
}

void PostgresFlowTest::cancelKeepsExactlyTheRowsReported() {
  WindowFixture fixture;
  Table table("gui_cancel");
  table.execute("insert into " + table.name +
                " select i, 'row ' || i from generate_series(1, 200000) as i");
  const QString filter = fixture.writeFile(QStringLiteral("upper.fll"), "upper\n");
  TForm1& window = fixture.start();
  window.queryPage()->dbConnection()->setText(QString::fromStdString(table.source));
  window.queryPage()->tableRadio()->setChecked(true);
  window.queryPage()->tableNameBox()->setEditText(QString::fromStdString(table.name));
  window.transformsPage()->model()->setEntries({{"id", ""}, {"name", filter.toStdString()}});

  window.goButton()->click();
  TTstatusForm* form = onlyProgressWindow();
  QVERIFY(form);
  // Let some rows pass, then cancel.
  QTRY_VERIFY_WITH_TIMEOUT(table.count("name like 'ROW %'") > 0, 60000);
  form->cancelButton()->click();
  QTRY_COMPARE_WITH_TIMEOUT(form->buttonKind(), TTstatusForm::ButtonKind::Ok, 60000);
  const QString status = form->statusText()->text();
  const auto match =
      QRegularExpression(QStringLiteral("^Terminated by user\\. (\\d+) rows processed\\.$"))
          .match(status);
  QVERIFY2(match.hasMatch(), qPrintable(status));
  const long long reported = match.captured(1).toLongLong();
  QVERIFY(reported < 200000);
  QCOMPARE(table.count("name like 'ROW %'"), reported);
  QCOMPARE(table.count("name like 'row %'"), 200000 - reported);
  delete form;
}

QTEST_MAIN(PostgresFlowTest)
#include "PostgresFlowTest.moc"
