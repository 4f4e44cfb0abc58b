// rowsmith-run new: writes a job's settings file from the command line.
#include <CLI/CLI.hpp>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli/CommandRegistry.h"
#include "document/Settings.h"

namespace rowsmith::cli {

namespace {

struct NewOptions {
  std::string output;
  std::string dataSource;
  std::string table;
  std::string query;
  std::int32_t previewRows = 1000;
  std::vector<std::string> columns;
  bool useTable = false;
};

int runNew(const NewOptions& options) {
  TSettings job;
  job.dataSource = options.dataSource;
  job.useTable = options.useTable;
  job.tableName = options.table;
  job.query = options.query;
  job.previewRows = options.previewRows;
  for (const std::string& column : options.columns) {
    // NAME=FILTER, split at the first "="; a bare NAME has no filter.
    const auto equals = column.find('=');
    job.columnNames.push_back(column.substr(0, equals));
    job.columnFilters.push_back(equals == std::string::npos ? "" : column.substr(equals + 1));
  }
  job.SaveToFile(options.output);
  return kExitOk;
}

const CommandRegistration registration(20, [](CLI::App& app, CommandAction& action) {
  auto* command = app.add_subcommand("new", "Write a job's settings file");
  auto options = std::make_shared<NewOptions>();
  command->add_option("-o,--output", options->output, "the settings file to write (.rsm)")
      ->type_name("FILE")
      ->required();
  command->add_option("--data-source", options->dataSource, "the connection string")
      ->type_name("TEXT")
      ->required();
  auto* source = command->add_option_group("source", "what the job processes: exactly one of");
  auto* table = source->add_option("--table", options->table, "process the whole table NAME")
                    ->type_name("NAME");
  source->add_option("--query", options->query, "process the rows of an updatable SELECT")
      ->type_name("SQL");
  source->require_option(1);
  command
      ->add_option("--preview-rows", options->previewRows,
                   "the largest number of sample rows shown (default 1000)")
      ->type_name("N");
  command
      ->add_option("--column", options->columns,
                   "a result column and its filter file; repeat for each column")
      ->type_name("NAME[=FILTER]")
      ->allow_extra_args(false);
  command->callback([&action, options, table] {
    options->useTable = table->count() > 0;
    action = [options] { return runNew(*options); };
  });
});

}  // namespace

}  // namespace rowsmith::cli
