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
#include "cli/SafeText.h"
#include "document/Settings.h"
#include "engine/ColumnNameCheck.h"
#include "engine/Preview.h"
#include "engine/db/ConnectionFactory.h"
#include "wordmill/FilterServer.h"
#include "wordmill/Utf8.h"

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

// A cell as one line of at most kCellWidth characters: line breaks, tabs,
// other control characters and bytes that are not UTF-8 written as escapes
// (a value must not steer the terminal), longer texts cut with "...".
std::string cellText(const std::string& text) {
  const std::string line = SafeText::forTerminal(text);
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

using json = nlohmann::ordered_json;

// Sets `object[name]` to the texts (nullptr for NULL). JSON strings hold
// only UTF-8: a text that is not valid UTF-8 is printed with U+FFFD for its
// bad bytes, so `object[name + "Hex"]` then gives every text's bytes in
// hexadecimal where it is not valid (null elsewhere), and two such values
// can be told apart.
void addTexts(json& object, const std::string& name, const std::vector<const std::string*>& texts) {
  json values = json::array();
  json hex = json::array();
  bool anyInvalid = false;
  for (const std::string* text : texts) {
    values.push_back(text != nullptr ? json(*text) : json(nullptr));
    const bool invalid = text != nullptr && !wordmill::utf8::isValid(*text);
    hex.push_back(invalid ? json(SafeText::hex(*text)) : json(nullptr));
    anyInvalid = anyInvalid || invalid;
  }
  object[name] = std::move(values);
  if (anyInvalid) object[name + "Hex"] = std::move(hex);
}

void addTexts(json& object, const std::string& name, const std::vector<std::string>& texts) {
  std::vector<const std::string*> pointers;
  for (const std::string& text : texts) pointers.push_back(&text);
  addTexts(object, name, pointers);
}

void printJson(const TSettings& job, const SampleData& sample, const PreviewData& preview) {
  json out;
  addTexts(out, "columns", sample.columnNames);
  addTexts(out, "filters", job.columnFilters);
  out["supportsUpdates"] = sample.supportsUpdates;
  out["rowsReturned"] = sample.rows.size();
  json rows = json::array();
  for (std::size_t r = 0; r < sample.rows.size(); ++r) {
    std::vector<const std::string*> before;
    std::vector<const std::string*> after;
    json changed = json::array();
    for (const auto& cell : sample.rows[r]) before.push_back(cell.isNull ? nullptr : &cell.text);
    for (const auto& cell : preview.rows[r]) {
      after.push_back(cell.value ? &*cell.value : nullptr);
      changed.push_back(cell.changed);
    }
    json row;
    addTexts(row, "sample", before);
    addTexts(row, "preview", after);
    row["changed"] = std::move(changed);
    rows.push_back(std::move(row));
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
