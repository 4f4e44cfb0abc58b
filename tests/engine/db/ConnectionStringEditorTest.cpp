#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/Error.h"
#include "engine/db/ConnectionStringEditor.h"
#include "engine/db/api/ConnectionString.h"
#include "engine/db/mariadb/MariadbConnectionInfo.h"
#include "engine/db/odbc/OdbcConnectionText.h"

namespace rowsmith::db {
namespace {

using Id = ConnectionFieldId;
using ::testing::HasSubstr;

// A string comes back exactly as given while nothing changes; the fields
// can show it only when it is for a backend they know and every part of it
// is a pair.
TEST(ConnectionStringEditor, GivesTheStringBackUnchangedAndSaysWhetherItUnderstandsIt) {
  const struct {
    std::string text;
    Backend backend;
    bool understood;
  } cases[] = {
      {"Provider=SQLite;Data Source=/data/shop.db", Backend::SQLite, true},
      {" provider = sqlite ; data source = '/a b/x.db' ;", Backend::SQLite, true},
      {"Provider=PostgreSQL;Host=db;Password=\"a;b\"\"c\"", Backend::PostgreSQL, true},
      {"Provider=MySQL;Server=db;Password='a;b'", Backend::MariaDB, true},
      {" provider = mariadb ; socket = /run/mysqld/mysqld.sock ;", Backend::MariaDB, true},
      {"Driver={SQLite3};Database=/x.db;StepAPI=1", Backend::Odbc, true},
      {"Provider=MSDASQL.1;DSN=shop;PWD={a;b}}c}", Backend::Odbc, true},
      {"", Backend::NoProvider, false},
      {"Data Source=x.db", Backend::NoProvider, false},
      {"Provider=Jet.4.0;Data Source=x.mdb", Backend::UnknownProvider, false},
      {"FILE NAME=/home/anna/shop.udl", Backend::DataLinkFile, false},
      {"Provider=SQLite;just words;Data Source=x.db", Backend::SQLite, false},
      {"Provider=SQLite;=x;Data Source=x.db", Backend::SQLite, false},
      {"Provider=SQLite;Data Source=\"x.db\"tail", Backend::SQLite, false},
      {"Provider=MySQL;Server=db;junk", Backend::MariaDB, false},
      {"Driver={SQLite3;Database=x.db", Backend::Odbc, false},
      {"DSN=shop;{odd}", Backend::Odbc, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const ConnectionStringEditor editor(c.text);
    EXPECT_EQ(editor.text(), c.text);
    EXPECT_FALSE(editor.changed());
    EXPECT_EQ(editor.backend(), c.backend);
    EXPECT_EQ(editor.understood(), c.understood);
  }
}

// Each field shows the pair its backend reads: SQLite takes the first of
// its names that is present, PostgreSQL and ODBC the first pair.
TEST(ConnectionStringEditor, FieldsShowWhatTheBackendReads) {
  const struct {
    std::string text;
    Id field;
    std::string value;
  } cases[] = {
      {"Provider=SQLite;Database=a.db;Data Source=b.db", Id::SqliteFile, "b.db"},
      {"Provider=SQLite;DataSource=a.db;Mode=ReadOnly", Id::SqliteFile, "a.db"},
      {"Provider=SQLite;Data Source=a.db;Mode=ReadOnly", Id::SqliteMode, "ReadOnly"},
      {"Provider=SQLite;Data Source=a.db", Id::SqliteBusyTimeout, ""},
      {"Provider=PostgreSQL;Server=a;Host=b", Id::PgHost, "a"},
      {"Provider=PostgreSQL;Data Source=a", Id::PgHost, "a"},
      {"Provider=PostgreSQL;dbname=d;Initial Catalog=e", Id::PgDatabase, "d"},
      {"Provider=PostgreSQL;UID=u;user=v", Id::PgUser, "u"},
      {"Provider=PostgreSQL;PWD='a;b'", Id::PgPassword, "a;b"},
      {"Provider=PostgreSQL;sslmode=require", Id::PgSslMode, "require"},
      {"Provider=PostgreSQL;lock timeout=2.5", Id::PgLockTimeout, "2.5"},
      {"Driver={SQLite3};Database=/x.db;StepAPI=1", Id::OdbcDriver, "SQLite3"},
      {"Driver={SQLite3};Database=/x.db; StepAPI=1", Id::OdbcAttributes,
       "Database=/x.db; StepAPI=1"},
      {"Provider=MSDASQL;DSN=shop;User=anna;PWD={a;b}", Id::OdbcUser, "anna"},
      {"Provider=MSDASQL;DSN=shop;User=anna;PWD={a;b}", Id::OdbcPassword, "a;b"},
      {"Provider=MSDASQL;DSN=shop;User=anna;PWD={a;b}", Id::OdbcAttributes, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ConnectionStringEditor(c.text).field(c.field), c.value);
  }
}

// MariaDB and MySQL strings: every field shows the value the backend
// connects with, synonyms and their order of preference included, and the
// string comes back as given, pairs without a field of their own too.
TEST(ConnectionStringEditor, MariadbFieldsShowWhatTheBackendReads) {
  const struct {
    std::string text;
    std::string server, port, socket, database, user, password, lockTimeout;
  } cases[] = {
      {"Provider=MySQL;Server=db.example;Port=3306;Database=shop;User ID=anna;Password=s3cret",
       "db.example", "3306", "", "shop", "anna", "s3cret", ""},
      {"provider=mariadb; socket = /run/mysqld/mysqld.sock ;DB=shop;uid=anna;Lock Timeout=0", "",
       "", "/run/mysqld/mysqld.sock", "shop", "anna", "", "0"},
      {"Provider=MariaDB;Hostname=c;Host=b;Data Source=a;Initial Catalog=i;Database=d;"
       "User Name=n;User=u;PWD=p;Password='a;b';Compress=true",
       "b", "", "", "d", "u", "a;b", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const ConnectionStringEditor editor(c.text);
    EXPECT_EQ(editor.text(), c.text);
    EXPECT_TRUE(editor.understood());
    EXPECT_EQ(editor.backend(), Backend::MariaDB);
    EXPECT_EQ(editor.field(Id::MariadbServer), c.server);
    EXPECT_EQ(editor.field(Id::MariadbPort), c.port);
    EXPECT_EQ(editor.field(Id::MariadbSocket), c.socket);
    EXPECT_EQ(editor.field(Id::MariadbDatabase), c.database);
    EXPECT_EQ(editor.field(Id::MariadbUser), c.user);
    EXPECT_EQ(editor.field(Id::MariadbPassword), c.password);
    EXPECT_EQ(editor.field(Id::MariadbLockTimeout), c.lockTimeout);
    // The backend reads the same values from the string.
    const std::string where = c.socket.empty()
                                  ? "host " + (c.server.empty() ? "(default)" : c.server) +
                                        ", port " + (c.port.empty() ? "(default)" : c.port)
                                  : "socket " + c.socket;
    EXPECT_THAT(MariadbConnectionInfo(ConnectionString(c.text)).describe(),
                HasSubstr(where + ", database " + c.database + ", user " + c.user));
  }
}

// A value written through a field reads back the same, in the syntax of
// the string's backend, whatever characters it holds.
TEST(ConnectionStringEditor, WrittenValuesReadBackUnchanged) {
  const std::string values[] = {"plain", "a;b",    "\"quoted\"", "'single'",
                                " lead", "trail ", "a\"b'c;d",   "{braced}",
                                "}",     "x=y",    "naïve ü"};
  const struct {
    std::string start;
    Id field;
  } targets[] = {
      {"Provider=SQLite;Data Source=x.db", Id::SqliteFile},
      {"Provider=PostgreSQL;Host=db", Id::PgPassword},
      {"Provider=MySQL;Server=db", Id::MariadbPassword},
      {"Provider=MSDASQL;DSN=shop", Id::OdbcPassword},
      {"Driver={SQLite3}", Id::OdbcDriver},
  };
  for (const auto& target : targets) {
    for (const std::string& value : values) {
      SCOPED_TRACE(target.start + " <- [" + value + "]");
      ConnectionStringEditor editor(target.start);
      editor.setField(target.field, value);
      const ConnectionStringEditor reread(editor.text());
      EXPECT_EQ(reread.field(target.field), value) << editor.text();
      EXPECT_TRUE(reread.understood()) << editor.text();
      if (target.field == Id::PgPassword) {
        EXPECT_EQ(ConnectionString(editor.text()).get("Password"), value);
      }
    }
  }
}

// A change touches only its own pair: the others keep their text.
TEST(ConnectionStringEditor, ChangesKeepTheRestAsTyped) {
  const struct {
    std::string start;
    Id field;
    std::string value;
    std::string result;
  } cases[] = {
      {"Provider=SQLite; Data Source = /a b/x.db ;Mode=ReadOnly", Id::SqliteMode, "ReadWrite",
       "Provider=SQLite; Data Source = /a b/x.db ;Mode=ReadWrite"},
      {"Provider=SQLite;Data Source=x.db", Id::SqliteBusyTimeout, "30000",
       "Provider=SQLite;Data Source=x.db;Busy Timeout=30000"},
      {"Provider=PostgreSQL;Server=db;port=5432", Id::PgHost, "other",
       "Provider=PostgreSQL;Server=other;port=5432"},
      {"Provider=PostgreSQL;Host=a;Server=b;Database=d", Id::PgHost, "",
       "Provider=PostgreSQL;Database=d"},
      {"Provider=MySQL; host = db ;Port=3306;Database=shop", Id::MariadbServer, "other",
       "Provider=MySQL;host=other;Port=3306;Database=shop"},
      {"Provider=MySQL;Host=db;Port=3306;Server=db2;Database=shop", Id::MariadbSocket,
       "/run/mysqld/mysqld.sock", "Provider=MySQL;Database=shop;Socket=/run/mysqld/mysqld.sock"},
      {"Provider=MariaDB;Socket=/s;UID=anna", Id::MariadbPort, "3307",
       "Provider=MariaDB;UID=anna;Port=3307"},
      {"Provider=MariaDB;Database=shop", Id::MariadbUser, "anna",
       "Provider=MariaDB;Database=shop;User ID=anna"},
      {"Provider=MSDASQL;Driver={SQLite3};Database=/x.db", Id::OdbcDsn, "shop",
       "Provider=MSDASQL;Database=/x.db;DSN=shop"},
      {"Provider=MSDASQL;DSN=shop;UID=anna", Id::OdbcDriver, "PostgreSQL Unicode",
       "Provider=MSDASQL;UID=anna;Driver={PostgreSQL Unicode}"},
      {"Driver={SQLite3};Database=/x.db;UID=anna", Id::OdbcAttributes,
       "Database=/y.db; StepAPI=1;junk", "Driver={SQLite3};UID=anna;Database=/y.db;StepAPI=1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.start);
    ConnectionStringEditor editor(c.start);
    editor.setField(c.field, c.value);
    EXPECT_EQ(editor.text(), c.result);
    EXPECT_TRUE(editor.changed());
  }
  // Setting what is already there is no change.
  ConnectionStringEditor same("Provider=SQLite;Data Source = x.db ");
  same.setField(Id::SqliteFile, "x.db");
  EXPECT_FALSE(same.changed());
  EXPECT_EQ(same.text(), "Provider=SQLite;Data Source = x.db ");
}

// The pairs of the All tab: renamed, changed, added, removed.
TEST(ConnectionStringEditor, PairsCanBeEditedOneByOne) {
  ConnectionStringEditor editor("Provider=PostgreSQL; Host=db ;Port=5432");
  ASSERT_EQ(editor.pairs().size(), 3u);
  EXPECT_EQ(editor.pairs()[1].key, "Host");
  EXPECT_EQ(editor.pairs()[1].value, "db");

  editor.setKey(2, " port ");
  editor.setValue(1, "db two");
  editor.addPair("sslmode", "require");
  editor.addPair("application_name", "");
  EXPECT_EQ(editor.text(),
            "Provider=PostgreSQL;Host=db two;port=5432;sslmode=require;application_name=");
  editor.removePair(4);
  editor.removePair(0);
  EXPECT_EQ(editor.text(), "Host=db two;port=5432;sslmode=require");
  EXPECT_EQ(editor.backend(), Backend::NoProvider);

  for (const char* bad : {"", "  ", "a=b", "a;b"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(editor.setKey(0, bad), Error);
    EXPECT_THROW(editor.addPair(bad, "x"), Error);
  }
  EXPECT_EQ(editor.text(), "Host=db two;port=5432;sslmode=require");
}

// Another backend starts from its provider alone; the pairs left behind
// come back when the user returns.
TEST(ConnectionStringEditor, SwitchingBackendsSetsPairsAside) {
  ConnectionStringEditor editor("Provider=SQLite;Data Source=/data/shop.db");
  editor.setBackend(Backend::PostgreSQL);
  EXPECT_EQ(editor.text(), "Provider=PostgreSQL");
  EXPECT_EQ(editor.field(Id::PgHost), "");
  editor.setField(Id::PgHost, "db");
  editor.setBackend(Backend::MariaDB);
  EXPECT_EQ(editor.text(), "Provider=MySQL");
  EXPECT_TRUE(editor.understood());
  editor.setBackend(Backend::Odbc);
  EXPECT_EQ(editor.text(), "Provider=MSDASQL");
  EXPECT_EQ(editor.backend(), Backend::Odbc);
  editor.setBackend(Backend::PostgreSQL);
  EXPECT_EQ(editor.text(), "Provider=PostgreSQL;Host=db");
  editor.setBackend(Backend::SQLite);
  EXPECT_FALSE(editor.changed());
  EXPECT_EQ(editor.text(), "Provider=SQLite;Data Source=/data/shop.db");
}

TEST(ConnectionStringQuote, QuotesOnlyWhatNeedsIt) {
  const struct {
    std::string value;
    std::string written;
  } cases[] = {
      {"", ""},
      {"/a b/x.db", "/a b/x.db"},
      {"a;b", "\"a;b\""},
      {"say \"hi\";", "'say \"hi\";'"},
      {"'a\";", "\"'a\"\";\""},
      {" x", "\" x\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(ConnectionString::quote(c.value), c.written);
    EXPECT_EQ(ConnectionString("k=" + c.written).get("k"), c.value);
  }
}

}  // namespace
}  // namespace rowsmith::db
