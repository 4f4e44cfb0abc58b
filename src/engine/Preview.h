#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/db/api/Connection.h"
#include "engine/db/api/RecordSet.h"
#include "wordmill/FilterServer.h"

namespace rowsmith {

class TSettings;

// One cell of a sample row, as the sample page shows it.
struct SampleCell {
  // The field as text: empty for NULL, for binary values and for empty
  // values; "BLOB" for other values without a text form.
  std::string text;
  bool isNull = false;
  // The value has no text form: a run leaves it untouched, so the preview
  // does too.
  bool opaque = false;
};

// The first rows of a job's table or query.
struct SampleData {
  std::vector<std::string> columnNames;
  std::vector<std::vector<SampleCell>> rows;
  // False when the result cannot be written back (a run would fail).
  bool supportsUpdates = true;
};

// One cell of the preview: the value the filter gives (std::nullopt for
// NULL) and whether it differs from the sample (valueChanges): a run writes
// the changed cells and leaves the others alone.
struct PreviewCell {
  std::optional<std::string> value;
  bool changed = false;
};

struct PreviewData {
  std::vector<std::vector<PreviewCell>> rows;
};

// The sample and the preview of changes: reads the first rows of a job's
// result and passes them through the job's filters, writing nothing.
//
// Threading: each call runs on the thread that owns the connection, record
// set and server it is given; the functions keep no state.

// The statement a job runs on `connection`: "select * from " and the table
// reference the table name stands for (TableReference), or the job's query.
// Raises rowsmith::Error for a table name that cannot be used safely.
std::string jobStatement(const TSettings& settings, db::Connection& connection);

// Reads up to `limit` rows (none when `limit` is below 1) of a record set
// from its first row on; never writes. The record set is left open.
SampleData readSample(db::RecordSet& recordSet, int limit);

// Reads like readSample, handing over the column names as soon as the
// result is open and then each row as soon as it has been read, so that a
// caller keeps what was read before an error.
void readSampleRows(db::RecordSet& recordSet, int limit,
                    const std::function<void(const SampleData& columns)>& onColumns,
                    const std::function<void(std::vector<SampleCell> row)>& onRow);

// Opens the job's statement on `connection`, reads its sample and closes
// the record set again; nothing is written.
SampleData readJobSample(db::Connection& connection, const TSettings& settings, int limit);

// Passes every sample cell of a column with a filter through that filter;
// other cells are copied. Rows are added to `preview` one cell at a time,
// so after an error the cells done so far stay. Raises the filters' compile
// errors, a filter's processing error, and "List index out of bounds (%d)"
// when the sample has more columns than `filterPaths` has entries.
// `onCompiled`, when given, runs once every filter has compiled, before the
// first cell.
void previewChanges(wordmill::FilterApplication& server, const SampleData& sample,
                    const std::vector<std::string>& filterPaths, PreviewData& preview,
                    const std::function<void()>& onCompiled = {});

}  // namespace rowsmith
