// The connection source dialog: where a connection string comes from, and
// the string it gives back.
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include "ModalDialogSupport.h"
#include "ScriptedDialogsSupport.h"
#include "WindowFixtureSupport.h"
#include "engine/db/DataLinkFile.h"
#include "engine/db/DataLinksFolder.h"
#include "pages/ConnectionBuilder.h"
#include "pages/ConnectionFieldsPanel.h"
#include "pages/ConnectionSourceDialog.h"
#include "pages/QueryPage.h"
#include "shell/DocumentCommands.h"
#include "shell/HelpKeyFilter.h"
#include "support/ui/HelpBrowser.h"
#include "support/ui/HelpContexts.h"
#include "support/ui/HelpDispatch.h"

using rowsmith::gui::ConnectionBuilder;
using rowsmith::gui::HelpContexts;
using rowsmith::gui::HelpDispatch;
using rowsmith::gui::HelpKeyFilter;
using rowsmith::gui::TConnEditForm;
using rowsmith::gui_test::onNextModal;
using rowsmith::gui_test::ScriptedDialogs;
using rowsmith::gui_test::WindowFixture;

class ConnectionSourceDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void loadsAndGivesBackTheSourceByItsRules_data();
  void loadsAndGivesBackTheSourceByItsRules();
  void onlyTheCheckedSourceCanBeEdited();
  void pickAnswersWhetherTheStringChanged();
  void theListHoldsTheDataLinksFolderSorted();
  void browsePicksAFileAndCancelKeepsTheText();
  void buildEditsTheTypedString();
  void theDataSourcePagesBuildPicksTheSource();
  void helpShowsTheDialogsPage();

 private:
  QString folder() const { return QString::fromStdString(rowsmith::db::DataLinksFolder::path()); }
  QTemporaryDir m_home;
};

void ConnectionSourceDialogTest::initTestCase() {
  QVERIFY(m_home.isValid());
  qputenv("XDG_DATA_HOME", m_home.path().toUtf8());
  QDir().mkpath(folder());
  for (const char* name : {"shop.udl", "Archive.udl", "billing.udl"})
    rowsmith::db::DataLinkFile::write((folder() + "/" + name).toStdString(),
                                      "Provider=SQLite;Data Source=/data/x.db");
}

void ConnectionSourceDialogTest::loadsAndGivesBackTheSourceByItsRules_data() {
  QTest::addColumn<QString>("input");
  QTest::addColumn<bool>("dataLink");
  QTest::addColumn<QString>("shown");
  const QString inFolder = folder() + "/shop.udl";
  const QString longPath = "/data/" + QString(300, QLatin1Char('x')) + "/far.udl";
  QTest::newRow("file in the data links folder, by its bare name")
      << "FILE NAME=" + inFolder << true << "shop.udl";
  QTest::newRow("file elsewhere, by its path")
      << "FILE NAME=/srv/links/shop.udl" << true << "/srv/links/shop.udl";
  QTest::newRow("file below the folder, by its path")
      << "FILE NAME=" + folder() + "/old/shop.udl" << true << folder() + "/old/shop.udl";
  QTest::newRow("a path longer than 260 characters, whole")
      << "FILE NAME=" + longPath << true << longPath;
  QTest::newRow("prefix in other letters: a typed string")
      << "File Name=" + inFolder << false << "File Name=" + inFolder;
  QTest::newRow("a typed string") << "Provider=SQLite;Data Source=/x.db" << false
                                  << "Provider=SQLite;Data Source=/x.db";
  QTest::newRow("empty") << "" << false << "";
}

// The dialog shows where the string comes from, and OK without a change
// gives the very same string back.
void ConnectionSourceDialogTest::loadsAndGivesBackTheSourceByItsRules() {
  QFETCH(QString, input);
  QFETCH(bool, dataLink);
  QFETCH(QString, shown);
  TConnEditForm dialog;
  dialog.loadSource(input.toStdString());
  QCOMPARE(dialog.useDataLinkFile()->isChecked(), dataLink);
  QCOMPARE(dialog.useConnectionString()->isChecked(), !dataLink);
  QCOMPARE(dataLink ? dialog.dataLinkFile()->currentText() : dialog.connectionString()->text(),
           shown);
  QCOMPARE(QString::fromStdString(dialog.resultSource()), input);
}

void ConnectionSourceDialogTest::onlyTheCheckedSourceCanBeEdited() {
  TConnEditForm dialog;
  dialog.show();
  dialog.activateWindow();
  dialog.loadSource("FILE NAME=/srv/shop.udl");
  QVERIFY(dialog.dataLinkFile()->isEnabled() && dialog.browse()->isEnabled());
  QVERIFY(!dialog.connectionString()->isEnabled() && !dialog.build()->isEnabled());
  QTRY_VERIFY(dialog.dataLinkFile()->hasFocus());
  const auto onIndicator = [](QWidget* button) { return QPoint(8, button->height() / 2); };
  QTest::mouseClick(dialog.useConnectionString(), Qt::LeftButton, {},
                    onIndicator(dialog.useConnectionString()));
  QVERIFY(!dialog.dataLinkFile()->isEnabled() && !dialog.browse()->isEnabled());
  QVERIFY(dialog.connectionString()->isEnabled() && dialog.build()->isEnabled());
  QTRY_VERIFY(dialog.connectionString()->hasFocus());
  // Switching the source leaves both texts; the checked one is the result.
  QCOMPARE(dialog.resultSource(), std::string());
  dialog.connectionString()->setText("Provider=SQLite;Data Source=/y.db");
  QCOMPARE(dialog.resultSource(), std::string("Provider=SQLite;Data Source=/y.db"));
  QTest::mouseClick(dialog.useDataLinkFile(), Qt::LeftButton, {},
                    onIndicator(dialog.useDataLinkFile()));
  QCOMPARE(dialog.resultSource(), std::string("FILE NAME=/srv/shop.udl"));
}

// PickConnectionSource answers true only for a different string, and
// leaves the string alone otherwise.
void ConnectionSourceDialogTest::pickAnswersWhetherTheStringChanged() {
  const std::string start = "FILE NAME=" + folder().toStdString() + "/shop.udl";
  const struct {
    const char* what;
    std::function<void(TConnEditForm&)> act;
    bool changed;
    std::string result;
  } cases[] = {
      {"OK without a change", [](TConnEditForm& d) { d.okButton()->click(); }, false, start},
      {"Cancel after a change",
       [](TConnEditForm& d) {
         d.dataLinkFile()->setEditText("billing.udl");
         d.cancelButton()->click();
       },
       false, start},
      {"Esc after a change",
       [](TConnEditForm& d) {
         d.dataLinkFile()->setEditText("billing.udl");
         QTest::keyClick(&d, Qt::Key_Escape);
       },
       false, start},
      {"another file of the list",
       [](TConnEditForm& d) {
         d.dataLinkFile()->setCurrentIndex(d.dataLinkFile()->findText("billing.udl"));
         d.okButton()->click();
       },
       true, "FILE NAME=" + folder().toStdString() + "/billing.udl"},
      {"an empty file name",
       [](TConnEditForm& d) {
         d.dataLinkFile()->setEditText(QString());
         d.okButton()->click();
       },
       true, ""},
      {"a typed string",
       [](TConnEditForm& d) {
         d.useConnectionString()->click();
         QTest::keyClicks(d.connectionString(), "Provider=SQLite;Data Source=/z.db");
         QTest::keyClick(d.connectionString(), Qt::Key_Return);
       },
       true, "Provider=SQLite;Data Source=/z.db"},
  };
  for (const auto& c : cases) {
    std::string text = start;
    QString caption;
    onNextModal<TConnEditForm>([&](TConnEditForm& dialog) {
      caption = dialog.windowTitle();
      c.act(dialog);
    });
    const bool changed = TConnEditForm::PickConnectionSource(nullptr, text);
    QVERIFY2(changed == c.changed, c.what);
    QVERIFY2(text == c.result, c.what);
    QCOMPARE(caption, QStringLiteral("Form1.ADOConnection ConnectionString"));
  }
}

void ConnectionSourceDialogTest::theListHoldsTheDataLinksFolderSorted() {
  TConnEditForm dialog;
  QStringList items;
  for (int i = 0; i < dialog.dataLinkFile()->count(); ++i)
    items << dialog.dataLinkFile()->itemText(i);
  QCOMPARE(items, (QStringList{"Archive.udl", "billing.udl", "shop.udl"}));
}

void ConnectionSourceDialogTest::browsePicksAFileAndCancelKeepsTheText() {
  ScriptedDialogs dialogs;
  TConnEditForm dialog;
  dialog.loadSource("FILE NAME=/srv/links/shop.udl");
  dialogs.expectOpen("/srv/other/main.udl");
  dialog.browse()->click();
  QCOMPARE(dialog.dataLinkFile()->currentText(), QStringLiteral("/srv/other/main.udl"));
  dialogs.expectOpen(QString());
  dialog.browse()->click();
  QCOMPARE(dialog.dataLinkFile()->currentText(), QStringLiteral("/srv/other/main.udl"));
  QVERIFY(dialogs.unexpected.isEmpty());
  QCOMPARE(dialogs.shown.first(), QStringLiteral("open: Select Data Link File"));
}

// Build opens the builder on the typed string; its OK puts the new string
// in the field, its Cancel leaves the field. A data link file saved there
// joins the list.
void ConnectionSourceDialogTest::buildEditsTheTypedString() {
  ScriptedDialogs dialogs;
  TConnEditForm dialog;
  dialog.loadSource("Provider=PostgreSQL;Host=db");
  onNextModal<ConnectionBuilder>([](ConnectionBuilder& builder) {
    auto* port = qobject_cast<QLineEdit*>(builder.fieldsPanel(rowsmith::db::Backend::PostgreSQL)
                                              ->control(rowsmith::db::ConnectionFieldId::PgPort));
    QTest::keyClicks(port, "5433");
    builder.accept();
  });
  dialog.build()->click();
  QCOMPARE(dialog.connectionString()->text(),
           QStringLiteral("Provider=PostgreSQL;Host=db;Port=5433"));

  const QString saved = folder() + "/new link.udl";
  dialogs.expectSave(saved);
  onNextModal<ConnectionBuilder>([](ConnectionBuilder& builder) {
    builder.saveButton()->click();
    builder.reject();
  });
  dialog.build()->click();
  QCOMPARE(dialog.connectionString()->text(),
           QStringLiteral("Provider=PostgreSQL;Host=db;Port=5433"));
  QVERIFY(dialogs.unexpected.isEmpty());
  QVERIFY(dialog.dataLinkFile()->findText("new link.udl") >= 0);
  QCOMPARE(rowsmith::db::DataLinkFile::read(saved.toStdString()),
           std::string("Provider=PostgreSQL;Host=db;Port=5433"));
}

// Build on the data source page opens the dialog on the data source box:
// a new string goes into the box and marks the job modified; Cancel
// changes nothing.
void ConnectionSourceDialogTest::theDataSourcePagesBuildPicksTheSource() {
  WindowFixture fixture;
  rowsmith::gui::TForm1& window = fixture.start();
  rowsmith::gui::QueryPage& page = *window.queryPage();
  page.setDataSource("Provider=SQLite;Data Source=/a.db");
  window.document().setModified(false);

  onNextModal<TConnEditForm>([](TConnEditForm& dialog) {
    dialog.connectionString()->setText(QStringLiteral("Provider=SQLite;Data Source=/b.db"));
    dialog.cancelButton()->click();
  });
  page.buildConnection()->click();
  QCOMPARE(page.dataSource(), std::string("Provider=SQLite;Data Source=/a.db"));
  QVERIFY(!window.document().modified());

  onNextModal<TConnEditForm>([](TConnEditForm& dialog) {
    dialog.connectionString()->setText(QStringLiteral("Provider=SQLite;Data Source=/b.db"));
    dialog.okButton()->click();
  });
  page.buildConnection()->click();
  QCOMPARE(page.dataSource(), std::string("Provider=SQLite;Data Source=/b.db"));
  QVERIFY(window.document().modified());
  QVERIFY(fixture.dialogs.unexpected.isEmpty());
}

// Help and F1 show the dialog's page; the builder inside it has its own.
void ConnectionSourceDialogTest::helpShowsTheDialogsPage() {
  WindowFixture fixture;
  rowsmith::gui::TForm1& window = fixture.start();
  TConnEditForm dialog(&window);
  QCOMPARE(HelpKeyFilter::contextFor(dialog.connectionString(), window),
           int(HelpContexts::kConnectionSource));
  ConnectionBuilder builder("", &dialog);
  QCOMPARE(HelpKeyFilter::contextFor(builder.resultLine(), window),
           int(HelpContexts::kConnectionBuilder));
  dialog.helpButton()->click();
  QVERIFY(HelpDispatch::browser());
  QCOMPARE(HelpDispatch::browser()->currentPage(), QStringLiteral("connection-source.html"));
}

QTEST_MAIN(ConnectionSourceDialogTest)
#include "ConnectionSourceDialogTest.moc"
