// rowsmith-run preview JOB [--rows N] [--json]: the first rows of a job's
// table or query, and the same rows as the job's filters would change them.
// Nothing is written to the database.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/CommandRegistry.h"
#include "document/Settings.h"
#include "engine/ColumnNameCheck.h"
#include "engine/Preview.h"
#include "engine/db/ConnectionFactory.h"
#include "wordmill/FilterServer.h"

namespace rowsmith::cli {

namespace {

constexpr int kCellWidth = 32;

struct PreviewOptions {
  std::string jobPath;
  int rows = 0;
  bool rowsGiven = false;
  bool json = false;
};

// Number of characters, counting each UTF-8 sequence as one.
int characterCount(const std::string& text) {
  return static_cast<int>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// A cell as one line of at most kCellWidth characters: line breaks and tabs
// written as escapes, longer texts cut with "...".
std::string cellText(const std::string& text) {
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      line += "\\n";
    } else if (c == '\r') {
      line += "\\r";
    } else if (c == '\t') {
      line += "\\t";
    } else {
      line += c;
    }
  }
  if (characterCount(line) <= kCellWidth) return line;
  int characters = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if ((static_cast<unsigned char>(line[i]) & 0xC0) == 0x80) continue;
    if (characters == kCellWidth - 3) return line.substr(0, i) + "...";
    ++characters;
  }
  return line;
}

void printTable(const std::vector<std::string>& headings,
                const std::vector<std::vector<std::string>>& rows) {
  std::vector<int> widths;
  for (const auto& heading : headings) widths.push_back(characterCount(heading));
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      widths[i] = std::max(widths[i], characterCount(row[i]));
    }
  }
  auto printRow = [&](const std::vector<std::string>& cells) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) line += " | ";
      line += cells[i];
      if (i + 1 < cells.size()) {
        line.append(static_cast<std::size_t>(widths[i] - characterCount(cells[i])), ' ');
      }
    }
    std::cout << line << "\n";
  };
  printRow(headings);
  std::string rule;
  for (std::size_t i = 0; i < widths.size(); ++i) {
    if (i > 0) rule += "-+-";
    rule.append(static_cast<std::size_t>(widths[i]), '-');
  }
  std::cout << rule << "\n";
  for (const auto& row : rows) printRow(row);
}

void printText(const SampleData& sample, const PreviewData& preview) {
  std::vector<std::string> headings;
  for (const auto& name : sample.columnNames) headings.push_back(cellText(name));

  std::vector<std::vector<std::string>> rows;
  for (const auto& sampleRow : sample.rows) {
    auto& row = rows.emplace_back();
    for (const auto& cell : sampleRow) row.push_back(cellText(cell.text));
  }
  std::cout << "Sample data\n";
  printTable(headings, rows);
  std::cout << "Rows returned: " << sample.rows.size() << "\n\n";

  rows.clear();
  int changed = 0;
  for (const auto& previewRow : preview.rows) {
    auto& row = rows.emplace_back();
    for (const auto& cell : previewRow) {
      // NULL shows as an empty cell, as in the sample.
      std::string text = cellText(cell.value.value_or(""));
      if (cell.changed) {
        text = "*" + text;
        ++changed;
      }
      row.push_back(std::move(text));
    }
  }
  std::cout << "Preview changes (* marks a changed cell)\n";
  printTable(headings, rows);
  std::cout << "Changed cells: " << changed << "\n";
}

void printJson(const TSettings& job, const SampleData& sample, const PreviewData& preview) {
  using json = nlohmann::ordered_json;
  json out;
  out["columns"] = sample.columnNames;
  out["filters"] = job.columnFilters;
  out["supportsUpdates"] = sample.supportsUpdates;
  out["rowsReturned"] = sample.rows.size();
  json rows = json::array();
  for (std::size_t r = 0; r < sample.rows.size(); ++r) {
    json before = json::array();
    json after = json::array();
    json changed = json::array();
    for (const auto& cell : sample.rows[r]) {
      before.push_back(cell.isNull ? json(nullptr) : json(cell.text));
    }
    for (const auto& cell : preview.rows[r]) {
      after.push_back(cell.value ? json(*cell.value) : json(nullptr));
      changed.push_back(cell.changed);
    }
    rows.push_back({{"sample", before}, {"preview", after}, {"changed", changed}});
  }
  out["rows"] = rows;
  std::cout << out.dump(2, ' ', false, json::error_handler_t::replace) << "\n";
}

int runPreview(const PreviewOptions& options) {
  TSettings job;
  job.LoadFromFile(options.jobPath);
  job.Validate();
  const int limit = std::max(0, options.rowsGiven ? options.rows : job.previewRows);

  SampleData sample;
  {
    auto connection = db::connect(job.dataSource);
    sample = readJobSample(*connection, job, limit);
  }
  if (!sample.supportsUpdates) std::cerr << "Warning! This query does not support updates\n";
  // The same pairing of filters and columns as a run would make, or none.
  ColumnNameCheck::verify(job.columnNames, sample.columnNames);

  auto server = wordmill::createObject(wordmill::kWordmillProgId);
  server->hide();
  server->calledFrom("Rowsmith");
  PreviewData preview;
  previewChanges(*server, sample, job.columnFilters, preview);

  if (options.json) {
    printJson(job, sample, preview);
  } else {
    printText(sample, preview);
  }
  return kExitOk;
}

const CommandRegistration registration(50, [](CLI::App& app, CommandAction& action) {
  auto* command = app.add_subcommand(
      "preview",
      "Show a job's sample rows and the same rows as its filters would change them; nothing "
      "is written");
  auto options = std::make_shared<PreviewOptions>();
  command->add_option("JOB", options->jobPath, "the job's settings file (.rsm)")->required();
  auto* rows = command
                   ->add_option("--rows", options->rows,
                                "the number of sample rows (default: the job's preview rows)")
                   ->type_name("N");
  command->add_flag("--json", options->json, "print JSON instead of tables");
  command->callback([&action, options, rows] {
    options->rowsGiven = rows->count() > 0;
    action = [options] { return runPreview(*options); };
  });
});

}  // namespace

}  // namespace rowsmith::cli
