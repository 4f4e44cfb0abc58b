// rowsmith-run new: writes a job's settings file from the command line.
// When the data source can be reached, the job lists the result's columns
// in the database's order and each --column NAME=FILTER lands on the column
// of that name; --no-connect keeps the columns in the order given.
// The connection string may come from a file or from standard input
// ("--data-source -"), so that a password in it never shows in the process
// list.
#include <CLI/CLI.hpp>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/CommandRegistry.h"
#include "common/Error.h"
#include "document/Settings.h"
#include "engine/ColumnNameCheck.h"
#include "engine/Preview.h"
#include "engine/db/ConnectionFactory.h"

namespace rowsmith::cli {

namespace {

struct NewOptions {
  std::string output;
  std::string dataSource;
  std::string dataSourceFile;
  std::string table;
  std::string query;
  std::int32_t previewRows = 1000;
  std::vector<std::string> columns;
  bool useTable = false;
  bool noConnect = false;
};

struct ColumnArgument {
  std::string name;
  std::string filter;
};

// NAME=FILTER, split at the first "="; a bare NAME has no filter.
ColumnArgument parseColumn(const std::string& text) {
  const auto equals = text.find('=');
  return {text.substr(0, equals), equals == std::string::npos ? "" : text.substr(equals + 1)};
}

// The names of the job's result columns, or nothing (with a warning) when
// the data source cannot be reached or the statement cannot be read.
std::optional<std::vector<std::string>> resultColumns(const TSettings& job) {
  try {
    auto connection = db::connect(job.dataSource);
    return readJobSample(*connection, job, 0).columnNames;
  } catch (const Error& e) {
    std::cerr << "rowsmith-run: warning: couldn't read the result's columns (" << e.what()
              << "); the columns are kept in the order given\n";
    return std::nullopt;
  }
}

// Every result column in the result's order, each with the filter of the
// --column that names it (without regard to case), or none.
void placeByName(TSettings& job, const std::vector<ColumnArgument>& arguments,
                 const std::vector<std::string>& names) {
  for (std::size_t a = 0; a < arguments.size(); ++a) {
    const ColumnArgument& argument = arguments[a];
    bool found = false;
    for (const std::string& name : names)
      found = found || ColumnNameCheck::sameName(name, argument.name);
    if (!found) {
      std::string list;
      for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
      throw Error("Column \"" + argument.name +
                  "\" is not a column of the result; its columns are: " + list);
    }
    for (std::size_t b = 0; b < a; ++b)
      if (ColumnNameCheck::sameName(arguments[b].name, argument.name))
        throw Error("Column \"" + argument.name + "\" is given more than once");
  }
  for (const std::string& name : names) {
    std::string filter;
    for (const ColumnArgument& argument : arguments)
      if (ColumnNameCheck::sameName(name, argument.name)) filter = argument.filter;
    job.columnNames.push_back(name);
    job.columnFilters.push_back(filter);
  }
}

// The whole of a stream without the line breaks at its end.
std::string connectionStringFrom(std::istream& in) {
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

std::string dataSourceOf(const NewOptions& options) {
  if (options.dataSourceFile.empty())
    return options.dataSource == "-" ? connectionStringFrom(std::cin) : options.dataSource;
  std::ifstream in(options.dataSourceFile, std::ios::binary);
  if (!in.is_open()) throw Error("Cannot open file " + options.dataSourceFile);
  return connectionStringFrom(in);
}

int runNew(const NewOptions& options) {
  TSettings job;
  job.dataSource = dataSourceOf(options);
  job.useTable = options.useTable;
  job.tableName = options.table;
  job.query = options.query;
  job.previewRows = options.previewRows;
  std::vector<ColumnArgument> arguments;
  for (const std::string& column : options.columns) arguments.push_back(parseColumn(column));

  // Without --column there is nothing to place.
  const auto names = options.noConnect || arguments.empty() ? std::nullopt : resultColumns(job);
  if (names) {
    placeByName(job, arguments, *names);
  } else {
    for (const ColumnArgument& argument : arguments) {
      job.columnNames.push_back(argument.name);
      job.columnFilters.push_back(argument.filter);
    }
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
  auto* dataSource =
      command->add_option_group("data source", "the connection string: exactly one of");
  dataSource
      ->add_option("--data-source", options->dataSource,
                   "the connection string, or - to read it from standard input")
      ->type_name("TEXT");
  dataSource
      ->add_option("--data-source-file", options->dataSourceFile,
                   "read the connection string from FILE (it stays out of the process list)")
      ->type_name("FILE");
  dataSource->require_option(1);
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
                   "a result column and its filter file, placed by name; repeat for each column")
      ->type_name("NAME[=FILTER]")
      ->allow_extra_args(false);
  command->add_flag("--no-connect", options->noConnect,
                    "do not read the result's columns: keep the columns in the order given");
  command->callback([&action, options, table] {
    options->useTable = table->count() > 0;
    action = [options] { return runNew(*options); };
  });
});

}  // namespace

}  // namespace rowsmith::cli
