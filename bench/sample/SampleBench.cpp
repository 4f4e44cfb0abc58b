// rowsmith-bench-sample CONNECTION ROWS: how long "Preview data" takes on a
// big table, against the time the database takes to return the same rows.
//
// Fills table sample_t with ROWS rows when it holds fewer, then times, best
// of five: the desktop program's sample (the table's statement, the first
// 1000 rows read with readSampleRows) and the baseline, the same 1000 rows
// asked for with LIMIT. Prints both and their ratio.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "document/Settings.h"
#include "engine/Preview.h"
#include "engine/db/ConnectionFactory.h"

namespace {

using Clock = std::chrono::steady_clock;

long long countRows(rowsmith::db::Connection& connection) {
  auto rows = connection.open("select cast(count(*) as text) from sample_t", {});
  rows->moveFirst();
  return std::atoll(rows->value(0).text.c_str());
}

template <typename Work>
double bestOfFive(Work work) {
  double best = 1e9;
  for (int i = 0; i < 5; ++i) {
    const auto start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: rowsmith-bench-sample CONNECTION ROWS\n");
    return 2;
  }
  const std::string source = argv[1];
  const long long rows = std::atoll(argv[2]);
  try {
    auto connection = rowsmith::db::connect(source);
    connection->execute(
        "create table if not exists sample_t (id integer primary key, a text, b text, c text)");
    if (countRows(*connection) < rows) {
      connection->execute("delete from sample_t");
      connection->execute(
          "insert into sample_t select i, 'alpha ' || i, 'beta ' || i, 'gamma ' || i from "
          "(with recursive n(i) as (select 1 union all select i + 1 from n where i < " +
          std::to_string(rows) + ") select i from n) as s");
    }
    rowsmith::TSettings job;
    job.dataSource = source;
    job.useTable = true;
    job.tableName = "sample_t";
    constexpr int kLimit = 1000;
    std::size_t got = 0;
    const double sample = bestOfFive([&] {
      auto fresh = rowsmith::db::connect(source);
      got = rowsmith::readJobSample(*fresh, job, kLimit).rows.size();
    });
    const double baseline = bestOfFive([&] {
      auto fresh = rowsmith::db::connect(source);
      rowsmith::db::OpenOptions options;
      options.countRecords = false;
      auto rowsRead = fresh->open("select * from sample_t limit 1000", options);
      for (rowsRead->moveFirst(); !rowsRead->eof(); rowsRead->moveNext()) {
        for (int i = 0; i < rowsRead->fieldCount(); ++i) (void)rowsRead->value(i);
      }
      rowsRead->close();
    });
    std::printf(
        "%s, %lld rows: Preview data %.3f s (%zu rows), database's own LIMIT 1000 %.3f s, "
        "ratio %.2f\n",
        source.substr(0, source.find(';')).c_str(), rows, sample, got, baseline, sample / baseline);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "rowsmith-bench-sample: %s\n", error.what());
    return 1;
  }
  return 0;
}
