#include "engine/Preview.h"

#include <memory>
#include <utility>

#include "common/Error.h"
#include "document/Settings.h"
#include "engine/CompiledFilters.h"
#include "engine/FieldText.h"
#include "engine/TableReference.h"
#include "engine/ValueChange.h"

namespace rowsmith {

namespace {

// A sample reads its first rows only: it never counts the whole result.
db::OpenOptions sampleOptions() {
  db::OpenOptions options;
  options.countRecords = false;
  return options;
}

}  // namespace

std::string jobStatement(const TSettings& settings, db::Connection& connection) {
  return settings.useTable
             ? "select * from " + TableReference::resolve(settings.tableName, connection)
             : settings.query;
}

void readSampleRows(db::RecordSet& recordSet, int limit,
                    const std::function<void(const SampleData& columns)>& onColumns,
                    const std::function<void(std::vector<SampleCell> row)>& onRow) {
  SampleData columns;
  if (!recordSet.isOpen()) return;
  columns.supportsUpdates = recordSet.supportsUpdates();
  if (!recordSet.eof()) recordSet.moveFirst();
  const int fieldCount = recordSet.fieldCount();
  for (int i = 0; i < fieldCount; ++i) columns.columnNames.push_back(recordSet.fieldName(i));
  onColumns(columns);

  long long count = 0;
  while (!recordSet.eof() && count < limit) {
    std::vector<SampleCell> row(static_cast<std::size_t>(fieldCount));
    for (int i = 0; i < fieldCount; ++i) {
      SampleCell& cell = row[static_cast<std::size_t>(i)];
      cell.opaque = fieldIsOpaque(recordSet, i);
      bool binary = false;
      try {
        const db::Value& value = recordSet.value(i);
        cell.isNull = value.isNull();
        binary = value.kind == db::Value::Kind::Binary;
      } catch (const Error&) {
        // Unreadable: readFieldText gives "BLOB" for it.
      }
      // Binary values and empty values show as empty cells. The value's own
      // kind decides, as it does for a run: an SQLite column declared BLOB
      // (or without a type) may hold text, which a run transforms.
      if (recordSet.fieldType(i) == db::DataType::Empty || binary) continue;
      cell.text = readFieldText(recordSet, i);
    }
    ++count;
    onRow(std::move(row));
    recordSet.moveNext();
  }
}

SampleData readSample(db::RecordSet& recordSet, int limit) {
  SampleData sample;
  readSampleRows(
      recordSet, limit, [&](const SampleData& columns) { sample = columns; },
      [&](std::vector<SampleCell> row) { sample.rows.push_back(std::move(row)); });
  return sample;
}

SampleData readJobSample(db::Connection& connection, const TSettings& settings, int limit) {
  std::unique_ptr<db::RecordSet> recordSet =
      connection.open(jobStatement(settings, connection), sampleOptions());
  SampleData sample = readSample(*recordSet, limit);
  // Nothing was written, so closing keeps the data as it was.
  recordSet->close();
  return sample;
}

void previewChanges(wordmill::FilterApplication& server, const SampleData& sample,
                    const std::vector<std::string>& filterPaths, PreviewData& preview,
                    const std::function<void()>& onCompiled) {
  auto filters = compileFilters(server, filterPaths);
  try {
    if (onCompiled) onCompiled();
    const std::size_t columns = sample.columnNames.size();
    for (const auto& sampleRow : sample.rows) {
      auto& row = preview.rows.emplace_back();
      row.reserve(columns);
      for (std::size_t i = 0; i < columns; ++i) {
        if (i >= filters->size()) {
          throw Error("List index out of bounds (" + std::to_string(i) + ")", "EStringListError");
        }
        const SampleCell& cell = sampleRow[i];
        PreviewCell out;
        const auto& holder = (*filters)[i].holder;
        if (holder && !cell.opaque) {
          out.value = transformValue(cell.text, holder->value);
          // The run writes exactly the cells marked here.
          out.changed = valueChanges(cell.isNull, cell.text, out.value);
        } else if (!cell.isNull) {
          out.value = cell.text;
        }
        row.push_back(std::move(out));
      }
    }
  } catch (...) {
    try {
      freeCompiledFilters(filters);
    } catch (...) {
    }
    throw;
  }
  freeCompiledFilters(filters);
}

}  // namespace rowsmith
