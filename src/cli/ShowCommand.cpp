// rowsmith-run show JOB [--json]: prints every field of a settings file,
// as a readable listing or as one JSON object. Passwords in the data source
// are shown as "********".
#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/CommandRegistry.h"
#include "common/ConnectionStringText.h"
#include "common/Error.h"
#include "document/Settings.h"

namespace rowsmith::cli {

namespace {

struct ShowOptions {
  std::string job;
  bool json = false;
};

// Continuation lines of a multi-line value start under its first line.
std::string indentLines(const std::string& value, std::size_t indent) {
  std::string text;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n') continue;
    text += c;
    if (c == '\n') text.append(indent, ' ');
  }
  return text;
}

void printField(std::ostream& out, const std::string& label, const std::string& value) {
  constexpr std::size_t kLabelWidth = 13;
  std::string line = label;
  line.resize(std::max(kLabelWidth, label.size()), ' ');
  line += " =";
  if (!value.empty()) line += " " + indentLines(value, kLabelWidth + 3);
  out << line << "\n";
}

void printListing(std::ostream& out, const TSettings& job) {
  printField(out, "fileName", job.fileName);
  printField(out, "formatVersion", std::to_string(job.formatVersion));
  printField(out, "dataSource", ConnectionStringText(job.dataSource).masked());
  printField(out, "useTable", job.useTable ? "true" : "false");
  printField(out, "tableName", job.tableName);
  printField(out, "query", job.query);
  printField(out, "previewRows", std::to_string(job.previewRows));
  printField(out, "columns", std::to_string(job.columnNames.size()));
  for (std::size_t i = 0; i < job.columnNames.size(); ++i) {
    const std::string& filter = i < job.columnFilters.size() ? job.columnFilters[i] : "";
    out << "  " << job.columnNames[i] << " =" << (filter.empty() ? "" : " " + filter) << "\n";
  }
}

void printJson(std::ostream& out, const TSettings& job) {
  nlohmann::ordered_json object;
  object["dataSource"] = ConnectionStringText(job.dataSource).masked();
  object["useTable"] = job.useTable;
  object["tableName"] = job.tableName;
  object["query"] = job.query;
  object["previewRows"] = job.previewRows;
  object["columnNames"] = job.columnNames;
  object["columnFilters"] = job.columnFilters;
  // Bytes that are not UTF-8 are shown as U+FFFD rather than failing.
  out << object.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
}

int runShow(const ShowOptions& options) {
  TSettings job;
  job.LoadFromFile(options.job);
  if (options.json) {
    printJson(std::cout, job);
  } else {
    printListing(std::cout, job);
  }
  std::cout.flush();
  if (!std::cout) throw Error("Couldn't write the output");
  return kExitOk;
}

const CommandRegistration registration(10, [](CLI::App& app, CommandAction& action) {
  auto* command = app.add_subcommand("show", "Print every field of a job's settings file");
  auto options = std::make_shared<ShowOptions>();
  command->add_option("JOB", options->job, "the settings file (.rsm)")->required();
  command->add_flag("--json", options->json, "print one JSON object");
  command->callback([&action, options] { action = [options] { return runShow(*options); }; });
});

}  // namespace

}  // namespace rowsmith::cli
