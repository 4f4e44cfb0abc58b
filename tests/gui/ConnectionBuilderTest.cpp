// The connection builder: fields and pairs that make a string the database
// layer reads, and Test connection against real databases without holding
// up the window.

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "ScriptedDialogsSupport.h"
#include "engine/db/ConnectionFactory.h"
#include "engine/db/ConnectionProbe.h"
#include "engine/db/DataLinkFile.h"
#include "engine/db/DataLinksFolder.h"
#include "engine/db/SilentServerSupport.h"
#include "pages/ConnectionBuilder.h"
#include "pages/ConnectionFieldsPanel.h"
#include "pages/ConnectionPairsModel.h"
#include "screenshots/ConnectionScreenshots.h"
#include "support/MariadbTestServer.h"

using rowsmith::db::Backend;
using rowsmith::db::ConnectionFieldId;
using rowsmith::db::testing::SilentServer;
using rowsmith::gui::ConnectionBuilder;
using rowsmith::gui::ConnectionFieldsPanel;
using rowsmith::gui_test::ScriptedDialogs;
using namespace std::chrono_literals;

namespace {

QLineEdit* lineOf(ConnectionBuilder& builder, Backend backend, ConnectionFieldId id) {
  QWidget* control = builder.fieldsPanel(backend)->control(id);
  if (auto* combo = qobject_cast<QComboBox*>(control)) return combo->lineEdit();
  return qobject_cast<QLineEdit*>(control);
}

std::string postgresFixtureString() {
  std::ifstream in(ROWSMITH_PG_DIR "/connection-string");
  std::string line;
  std::getline(in, line);
  return line;
}

}  // namespace

class ConnectionBuilderTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void givesTheStringBackAsItCame_data();
  void givesTheStringBackAsItCame();
  void fieldsMakeAStringTheDatabaseLayerReads();
  void theFileButtonPicksTheDatabase();
  void theAllTabEditsPairsAndTheFieldsFollow();
  void anotherProviderStartsAfreshAndComesBack();
  void mariadbFieldsKeepTheOtherPairs();
  void odbcOffersUnixOdbcsDriversAndConnects();
  void testConnectionReportsSuccessAndErrors();
  void testConnectionNeverHoldsUpTheWindow();
  void aServerThatDoesNotAnswerRunsOutOfTime();
  void closingDuringATestDropsIt();
  void savesTheStringAsADataLinkFile();
  void screenshotsAreWritten();

 private:
  QString databaseFile() const { return m_folder.filePath(QStringLiteral("shop.sqlite")); }
  // Clicks Test connection and waits for the box it ends with.
  QString testAndWait(ConnectionBuilder& builder, ScriptedDialogs& dialogs);

  QTemporaryDir m_folder;
};

void ConnectionBuilderTest::initTestCase() {
  QVERIFY(m_folder.isValid());
  qputenv("XDG_DATA_HOME", m_folder.filePath(QStringLiteral("data")).toUtf8());
  rowsmith::db::connect("Provider=SQLite;Mode=ReadWriteCreate;Data Source=" +
                        databaseFile().toStdString())
      ->execute("CREATE TABLE t (a TEXT)");
}

QString ConnectionBuilderTest::testAndWait(ConnectionBuilder& builder, ScriptedDialogs& dialogs) {
  const auto before = dialogs.shown.size();
  builder.testButton()->click();
  if (!QTest::qWaitFor([&] { return dialogs.shown.size() > before; }, 30000)) return {};
  return dialogs.shown.last();
}

void ConnectionBuilderTest::givesTheStringBackAsItCame_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("provider");
  QTest::addColumn<bool>("onAllTab");
  QTest::newRow("SQLite") << "Provider=SQLite; Data Source = '/a b/x.db' ;Mode=ReadOnly" << 0
                          << false;
  QTest::newRow("PostgreSQL") << "provider=postgresql;Server=db;Password=\"a;b\"" << 1 << false;
  QTest::newRow("MySQL") << "Provider=MySQL;Server=db;Password='a;b';Compress=1" << 2 << false;
  QTest::newRow("MariaDB") << "provider=mariadb; Socket = /run/mysqld/mysqld.sock" << 2 << false;
  QTest::newRow("ODBC driver") << "Driver={SQLite3};Database=/x.db;StepAPI=1" << 3 << false;
  QTest::newRow("ODBC with provider") << "Provider=MSDASQL.1;DSN=shop;PWD={a;}}b}" << 3 << false;
  QTest::newRow("unknown provider") << "Provider=Jet.4.0;Data Source=x.mdb" << -1 << true;
  QTest::newRow("data link file") << "FILE NAME=/srv/shop.udl" << -1 << true;
  QTest::newRow("no provider") << "Data Source=x.db;junk" << -1 << true;
  QTest::newRow("parts that are not pairs") << "Provider=SQLite;Data Source=x.db;junk" << 0 << true;
  QTest::newRow("empty") << "" << -1 << true;
}

// Whatever the string, OK without a change gives it back byte for byte;
// one the fields cannot show opens on the All tab.
void ConnectionBuilderTest::givesTheStringBackAsItCame() {
  QFETCH(QString, text);
  QFETCH(int, provider);
  QFETCH(bool, onAllTab);
  ConnectionBuilder builder(text.toStdString());
  QCOMPARE(builder.providerBox()->currentIndex(), provider);
  QCOMPARE(builder.tabs()->currentWidget(), onAllTab ? builder.allTab() : builder.connectionTab());
  QCOMPARE(builder.resultLine()->text(), text);
  // Looking at the other tab changes nothing.
  builder.tabs()->setCurrentIndex(onAllTab ? 0 : 1);
  QCOMPARE(builder.connectionString(), text.toStdString());
}

void ConnectionBuilderTest::fieldsMakeAStringTheDatabaseLayerReads() {
  ConnectionBuilder builder("");
  builder.providerBox()->setCurrentIndex(0);
  emit builder.providerBox()->activated(0);
  QCOMPARE(builder.tabs()->currentWidget(), builder.allTab());  // where it opened
  QTest::keyClicks(lineOf(builder, Backend::SQLite, ConnectionFieldId::SqliteFile), databaseFile());
  QTest::keyClicks(lineOf(builder, Backend::SQLite, ConnectionFieldId::SqliteBusyTimeout), "500");
  const std::string made = builder.connectionString();
  QCOMPARE(made,
           "Provider=SQLite;Data Source=" + databaseFile().toStdString() + ";Busy Timeout=500");
  QCOMPARE(builder.resultLine()->text().toStdString(), made);
  QCOMPARE(rowsmith::db::connect(made)->tableNames(), std::vector<std::string>{"t"});

  // The PostgreSQL fixture's string shows in the fields; a port typed over
  // it goes into its own pair.
  ConnectionBuilder postgres(postgresFixtureString());
  QLineEdit* user = lineOf(postgres, Backend::PostgreSQL, ConnectionFieldId::PgUser);
  QCOMPARE(user->text(), QStringLiteral("postgres"));
  QLineEdit* password = lineOf(postgres, Backend::PostgreSQL, ConnectionFieldId::PgPassword);
  QCOMPARE(password->echoMode(), QLineEdit::Password);
  QTest::keyClicks(password, "a;b");
  QVERIFY(postgres.resultLine()->text().endsWith(QStringLiteral(";Password=\"a;b\"")));
}

void ConnectionBuilderTest::theFileButtonPicksTheDatabase() {
  ScriptedDialogs dialogs;
  ConnectionBuilder builder("Provider=SQLite;Data Source=/old/x.db");
  auto* pick = builder.fieldsPanel(Backend::SQLite)->findChild<QPushButton*>("pickFile");
  dialogs.expectOpen(QString());
  pick->click();
  QCOMPARE(builder.connectionString(), std::string("Provider=SQLite;Data Source=/old/x.db"));
  dialogs.expectOpen(databaseFile());
  pick->click();
  QCOMPARE(builder.connectionString(),
           "Provider=SQLite;Data Source=" + databaseFile().toStdString());
  QVERIFY(dialogs.unexpected.isEmpty());
}

void ConnectionBuilderTest::theAllTabEditsPairsAndTheFieldsFollow() {
  ScriptedDialogs dialogs;
  ConnectionBuilder builder("Provider=PostgreSQL;Host=db;Port=5432");
  QAbstractItemModel* pairs = builder.pairsView()->model();
  QCOMPARE(pairs->rowCount(), 4);  // three pairs and the empty row
  QVERIFY(pairs->setData(pairs->index(1, 1), "other"));
  QCOMPARE(lineOf(builder, Backend::PostgreSQL, ConnectionFieldId::PgHost)->text(),
           QStringLiteral("other"));
  // A name typed into the empty row adds a pair; its value follows.
  QVERIFY(pairs->setData(pairs->index(3, 0), "sslmode"));
  QVERIFY(pairs->setData(pairs->index(3, 1), "require"));
  QCOMPARE(pairs->rowCount(), 5);
  QCOMPARE(lineOf(builder, Backend::PostgreSQL, ConnectionFieldId::PgSslMode)->text(),
           QStringLiteral("require"));
  // A name no string can carry is refused with a box.
  dialogs.expectMessage(QStringLiteral("cannot be a name"));
  QVERIFY(!pairs->setData(pairs->index(2, 0), "po=rt"));
  QVERIFY(dialogs.allAnswered());
  // Remove: the selected pairs go, the empty row stays.
  builder.pairsView()->selectRow(2);
  builder.findChild<QPushButton*>("removePair")->click();
  builder.pairsView()->selectRow(pairs->rowCount() - 1);
  builder.findChild<QPushButton*>("removePair")->click();
  QCOMPARE(builder.connectionString(),
           std::string("Provider=PostgreSQL;Host=other;sslmode=require"));
  QCOMPARE(lineOf(builder, Backend::PostgreSQL, ConnectionFieldId::PgPort)->text(), QString());
  // A field typed into shows in the pairs.
  QTest::keyClicks(lineOf(builder, Backend::PostgreSQL, ConnectionFieldId::PgDatabase), "shop");
  QCOMPARE(pairs->data(pairs->index(3, 0), Qt::DisplayRole).toString(), QStringLiteral("Database"));
  QVERIFY(dialogs.unexpected.isEmpty());
}

void ConnectionBuilderTest::anotherProviderStartsAfreshAndComesBack() {
  ConnectionBuilder builder("Provider=SQLite;Data Source=/data/shop.db");
  builder.providerBox()->setCurrentIndex(1);
  emit builder.providerBox()->activated(1);
  QCOMPARE(builder.connectionString(), std::string("Provider=PostgreSQL"));
  QCOMPARE(lineOf(builder, Backend::PostgreSQL, ConnectionFieldId::PgHost)->text(), QString());
  builder.providerBox()->setCurrentIndex(0);
  emit builder.providerBox()->activated(0);
  QCOMPARE(builder.connectionString(), std::string("Provider=SQLite;Data Source=/data/shop.db"));
}

// A MariaDB string opens on its fields, synonyms included; pairs without a
// field stay in the All tab; a socket replaces the server and its port.
void ConnectionBuilderTest::mariadbFieldsKeepTheOtherPairs() {
  ScriptedDialogs dialogs;
  const auto field = [](ConnectionBuilder& builder, ConnectionFieldId id) {
    return lineOf(builder, Backend::MariaDB, id);
  };
  ConnectionBuilder builder("Provider=MariaDB;Host=db;Port=3306;DB=shop;UID=anna;Compress=1");
  QCOMPARE(builder.providerBox()->currentText(), QStringLiteral("MySQL/MariaDB"));
  QCOMPARE(builder.tabs()->currentWidget(), builder.connectionTab());
  QCOMPARE(field(builder, ConnectionFieldId::MariadbServer)->text(), QStringLiteral("db"));
  QCOMPARE(field(builder, ConnectionFieldId::MariadbPort)->text(), QStringLiteral("3306"));
  QCOMPARE(field(builder, ConnectionFieldId::MariadbDatabase)->text(), QStringLiteral("shop"));
  QCOMPARE(field(builder, ConnectionFieldId::MariadbUser)->text(), QStringLiteral("anna"));
  QLineEdit* password = field(builder, ConnectionFieldId::MariadbPassword);
  QCOMPARE(password->echoMode(), QLineEdit::Password);
  QTest::keyClicks(password, "a;b");
  QTest::keyClicks(field(builder, ConnectionFieldId::MariadbSocket), "/run/mysqld/mysqld.sock");
  QCOMPARE(field(builder, ConnectionFieldId::MariadbServer)->text(), QString());
  QCOMPARE(field(builder, ConnectionFieldId::MariadbPort)->text(), QString());
  QCOMPARE(builder.connectionString(),
           std::string("Provider=MariaDB;DB=shop;UID=anna;Compress=1;Password=\"a;b\";"
                       "Socket=/run/mysqld/mysqld.sock"));
  QAbstractItemModel* pairs = builder.pairsView()->model();
  QCOMPARE(pairs->data(pairs->index(3, 0), Qt::DisplayRole).toString(), QStringLiteral("Compress"));

  // Chosen from the list, it starts a string of its own.
  ConnectionBuilder fresh("Provider=SQLite;Data Source=/data/shop.db");
  fresh.providerBox()->setCurrentIndex(2);
  emit fresh.providerBox()->activated(2);
  QTest::keyClicks(field(fresh, ConnectionFieldId::MariadbServer), "db.example");
  QCOMPARE(fresh.connectionString(), std::string("Provider=MySQL;Server=db.example"));
  QVERIFY(dialogs.unexpected.isEmpty());
}

// The drop-downs list what unixODBC knows; a driver with its attributes
// reaches the database through the driver manager.
void ConnectionBuilderTest::odbcOffersUnixOdbcsDriversAndConnects() {
  ScriptedDialogs dialogs;
  ConnectionBuilder builder("Provider=MSDASQL");
  auto* driver = qobject_cast<QComboBox*>(
      builder.fieldsPanel(Backend::Odbc)->control(ConnectionFieldId::OdbcDriver));
  const int sqlite3 = driver->findText(QStringLiteral("SQLite3"));
  QVERIFY(sqlite3 > 0);
  driver->setCurrentIndex(sqlite3);
  emit driver->activated(sqlite3);
  QTest::keyClicks(lineOf(builder, Backend::Odbc, ConnectionFieldId::OdbcAttributes),
                   "Database=" + databaseFile());
  QCOMPARE(builder.connectionString(),
           "Provider=MSDASQL;Driver={SQLite3};Database=" + databaseFile().toStdString());
  dialogs.expectMessage(QStringLiteral("Connected to ODBC Driver={SQLite3}"));
  QVERIFY(testAndWait(builder, dialogs).contains(QStringLiteral("Test connection succeeded")));
  QVERIFY(dialogs.unexpected.isEmpty());
}

void ConnectionBuilderTest::testConnectionReportsSuccessAndErrors() {
  ScriptedDialogs dialogs;
  const struct {
    QString text;
    QString says;
    ScriptedDialogs::Kind kind;
  } cases[] = {
      {"Provider=SQLite;Data Source=" + databaseFile(),
       "Connected to SQLite database \"" + databaseFile() + "\".",
       ScriptedDialogs::Kind::Information},
      {QString::fromStdString(postgresFixtureString()), "Connected to PostgreSQL, ",
       ScriptedDialogs::Kind::Information},
      {QString::fromStdString(rowsmith::test::mariadbNativeConnectionString()),
       "Connected to MariaDB, host 127.0.0.1, port ", ScriptedDialogs::Kind::Information},
      {"Provider=MySQL;Server=127.0.0.1;Port=" +
           QString::fromStdString(rowsmith::test::mariadbServerEnv()["MARIADB_PORT"]) +
           ";Database=rowsmith;User ID=nobody;Password=sekrit",
       "Cannot connect to MySQL, host 127.0.0.1", ScriptedDialogs::Kind::Error},
      {"Provider=SQLite;Data Source=" + databaseFile() + ".gone", "the file does not exist",
       ScriptedDialogs::Kind::Error},
      {"FILE NAME=" + m_folder.filePath("none.udl"), "Cannot open data link file",
       ScriptedDialogs::Kind::Error},
  };
  for (const auto& c : cases) {
    ConnectionBuilder builder(c.text.toStdString());
    dialogs.expectMessage(c.says);
    const QString shown = testAndWait(builder, dialogs);
    QVERIFY2(!shown.isEmpty(), qPrintable(c.text));
    QVERIFY(!shown.contains(QStringLiteral("sekrit")));
    QCOMPARE(dialogs.lastKind, c.kind);
    QVERIFY2(dialogs.unexpected.isEmpty(), qPrintable(dialogs.unexpected.join('\n')));
    QVERIFY(builder.testButton()->isEnabled());
    QVERIFY(!QGuiApplication::overrideCursor());
  }
}

// While the database takes its time the window goes on: a busy cursor, the
// button off until the answer, events handled.
void ConnectionBuilderTest::testConnectionNeverHoldsUpTheWindow() {
  ScriptedDialogs dialogs;
  const SilentServer server;
  ConnectionBuilder builder(server.postgresString(2));
  QElapsedTimer clock;
  clock.start();
  builder.testButton()->click();
  QVERIFY(clock.elapsed() < 1000);
  QVERIFY(builder.testRunning());
  QVERIFY(!builder.testButton()->isEnabled());
  QCOMPARE(builder.statusLabel()->text(), QStringLiteral("Connecting..."));
  QVERIFY(QGuiApplication::overrideCursor());
  QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
  bool ticked = false;
  QTimer::singleShot(200, &builder, [&] { ticked = true; });
  QTRY_VERIFY(ticked);
  QVERIFY(builder.testRunning());
  dialogs.expectMessage(QStringLiteral("timeout"));
  QTRY_VERIFY_WITH_TIMEOUT(!builder.testRunning(), 15000);
  QTRY_VERIFY(dialogs.allAnswered());
  QCOMPARE(dialogs.lastKind, ScriptedDialogs::Kind::Error);
  QVERIFY(!QGuiApplication::overrideCursor());
  QVERIFY(builder.testButton()->isEnabled());
  QVERIFY(dialogs.unexpected.isEmpty());
}

void ConnectionBuilderTest::aServerThatDoesNotAnswerRunsOutOfTime() {
  ScriptedDialogs dialogs;
  const SilentServer server;
  ConnectionBuilder builder(server.postgresString(3));
  builder.setTestTimeLimit(300ms);
  dialogs.expectMessage(QStringLiteral("The database did not answer within 1 second"));
  QVERIFY(!testAndWait(builder, dialogs).isEmpty());
  QVERIFY(dialogs.unexpected.isEmpty());
  QVERIFY(!builder.testRunning());
  // The dropped worker ends with libpq's own time-out, reaching nothing.
  QVERIFY(rowsmith::db::ConnectionProbe::waitForAllWorkers(60s));
}

void ConnectionBuilderTest::closingDuringATestDropsIt() {
  ScriptedDialogs dialogs;
  const SilentServer server;
  {
    ConnectionBuilder builder(server.postgresString(2));
    builder.testButton()->click();
    QVERIFY(builder.testRunning());
    builder.reject();
  }
  QVERIFY(!QGuiApplication::overrideCursor());
  // Once the dropped worker has ended, nothing it left behind may show.
  QVERIFY(rowsmith::db::ConnectionProbe::waitForAllWorkers(60s));
  QTest::qWait(50);
  QVERIFY(dialogs.shown.isEmpty());
}

void ConnectionBuilderTest::savesTheStringAsADataLinkFile() {
  ScriptedDialogs dialogs;
  const std::string text = "Provider=SQLite;Data Source=" + databaseFile().toStdString();
  ConnectionBuilder builder(text);
  const QString folder = QString::fromStdString(rowsmith::db::DataLinksFolder::path());
  const QString path = folder + "/shop.udl";
  dialogs.expectSave(path);
  builder.saveButton()->click();
  QVERIFY(dialogs.unexpected.isEmpty());
  QCOMPARE(rowsmith::db::DataLinkFile::read(path.toStdString()), text);
  QVERIFY(builder.statusLabel()->text().contains(path));
  // The saved file is a data source of its own.
  QCOMPARE(rowsmith::db::connect("FILE NAME=" + path.toStdString())->tableNames(),
           std::vector<std::string>{"t"});

  // A string that could not be read back is refused before any dialog.
  ConnectionBuilder empty("");
  dialogs.expectMessage(QStringLiteral("the connection string is empty"));
  empty.saveButton()->click();
  QVERIFY(dialogs.allAnswered());
  QVERIFY(dialogs.unexpected.isEmpty());
}

void ConnectionBuilderTest::screenshotsAreWritten() {
  QTemporaryDir folder;
  rowsmith::gui_test::renderConnectionScreenshots(folder.path());
  for (const char* name : {"connection-source.png", "connection-builder.png"}) {
    const QImage image(folder.filePath(QLatin1String(name)));
    QVERIFY2(!image.isNull(), name);
    QVERIFY(image.width() >= 472 && image.height() >= 185);
  }
}

QTEST_MAIN(ConnectionBuilderTest)
#include "ConnectionBuilderTest.moc"
