// rowsmith-bench-db: times the database layer against the database's own
// UPDATE on the same data. Driven by bench/db/run.
//
//   rowsmith-bench-db fill CONNECTION TABLE ROWS     make TABLE with ROWS rows of three text
//   columns rowsmith-bench-db native CONNECTION TABLE        UPDATE TABLE SET b = replace(b, 'x',
//   'y') rowsmith-bench-db layer CONNECTION TABLE         the same through a record set, row by row
//   rowsmith-bench-db check CONNECTION TABLE         prints how many rows hold the replaced text
//
// Each prints one line "<seconds> <rows>" on stdout.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "common/Error.h"
#include "engine/FieldText.h"
#include "engine/db/ConnectionFactory.h"

namespace {

using Clock = std::chrono::steady_clock;

bool isSqlite(const std::string& connectionString) {
  return connectionString.find("SQLite") != std::string::npos ||
         connectionString.find("sqlite") != std::string::npos;
}

void fill(rowsmith::db::Connection& connection, const std::string& connectionString,
          const std::string& table, long long rows) {
  connection.execute("DROP TABLE IF EXISTS " + table);
  connection.execute("CREATE TABLE " + table +
                     " (id INTEGER PRIMARY KEY, a VARCHAR(100), b VARCHAR(100), c VARCHAR(100))");
  const std::string n = std::to_string(rows);
  const std::string values =
      "'alpha ' || n || ' text', 'bravo x ' || n || ' xx', 'charlie ' || n || ' text'";
  if (isSqlite(connectionString))
    connection.execute("WITH RECURSIVE s(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM s WHERE n < " +
                       n + ") INSERT INTO " + table + " SELECT n, " + values + " FROM s");
  else
    connection.execute("INSERT INTO " + table + " SELECT n, " + values +
                       " FROM generate_series(1, " + n + ") AS n");
  if (!isSqlite(connectionString)) connection.execute("VACUUM ANALYZE " + table);
}

std::string replaced(std::string text) {
  for (char& c : text)
    if (c == 'x') c = 'y';
  return text;
}

// Keeps the reads of the unwritten columns from being optimised away.
volatile std::size_t g_bytesRead = 0;

long long throughLayer(rowsmith::db::Connection& connection, const std::string& table) {
  auto recordSet = connection.open("select * from " + table, rowsmith::db::OpenOptions{});
  long long rows = 0;
  if (!recordSet->eof()) recordSet->moveFirst();
  for (; !recordSet->eof(); recordSet->moveNext(), ++rows) {
    // Read all three text columns, as a job with a filter on each would.
    const std::string a = rowsmith::readFieldText(*recordSet, 1);
    const std::string b = rowsmith::readFieldText(*recordSet, 2);
    const std::string c = rowsmith::readFieldText(*recordSet, 3);
    g_bytesRead = g_bytesRead + a.size() + c.size();
    recordSet->setValue(2, replaced(b));
  }
  recordSet->close();
  return rows;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "usage: rowsmith-bench-db fill|native|layer|check CONNECTION TABLE [ROWS]\n";
    return 2;
  }
  const std::string mode = argv[1], connectionString = argv[2], table = argv[3];
  try {
    auto connection = rowsmith::db::connect(connectionString);
    const auto start = Clock::now();
    long long rows = 0;
    if (mode == "fill" && argc == 5) {
      rows = std::atoll(argv[4]);
      fill(*connection, connectionString, table, rows);
    } else if (mode == "native") {
      connection->execute("UPDATE " + table + " SET b = replace(b, 'x', 'y')");
    } else if (mode == "layer") {
      rows = throughLayer(*connection, table);
    } else if (mode == "check") {
      auto recordSet =
          connection->open("select count(*) from " + table + " where b like 'bravo y % yy'", {});
      rows = std::atoll(rowsmith::readFieldText(*recordSet, 0).c_str());
    } else {
      std::cerr << "rowsmith-bench-db: unknown mode " << mode << "\n";
      return 2;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%.3f %lld\n", seconds, rows);
  } catch (const rowsmith::Error& e) {
    std::cerr << "rowsmith-bench-db: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
