#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rowsmith {

class ObjectStreamReader;
class ObjectStreamWriter;
class PreferenceStore;

// One job: where the data is, a table or a query, how many sample rows the
// preview shows, and which filter file goes with which result column.
// Stored as a ".rsm" settings file (SettingsStream) and, for its main values,
// in the preference store between sessions.
//
// Threading: not shared. The desktop program edits its own instance on the
// UI thread; a run gets an instance of its own that its worker only reads.
class TSettings {
 public:
  TSettings() = default;

  // Format version of the last settings file read into this object.
  std::int32_t formatVersion = 0;
  // Full path of the settings file last loaded or saved; empty when untitled.
  std::string fileName;
  std::string dataSource;
  std::string query;
  std::string tableName;
  bool useTable = false;
  std::int32_t previewRows = 0;
  // Parallel lists, always of the same length: entry i of each describes one
  // result column. An empty filter leaves that column unchanged.
  std::vector<std::string> columnNames;
  std::vector<std::string> columnFilters;
  // The object name and general-purpose tag a settings file may carry; the
  // reader fills them in, the program makes no other use of them.
  std::string name;
  std::int32_t tag = 0;

  // Raises rowsmith::Error with "The data source is blank", "The table name
  // is blank" or "The query is blank" when the job cannot run.
  void Validate() const;

  // Reads a settings file; on success sets fileName. On failure raises
  // rowsmith::Error and leaves fileName unchanged.
  void LoadFromFile(const std::string& path);
  // Writes a settings file atomically; on success sets fileName. A failed
  // save leaves both this object and any existing file unchanged. A new file
  // whose data source holds a password is readable by its owner only; an
  // existing file keeps its permission bits.
  void SaveToFile(const std::string& path);

  // The custom data block "TSettings" of the settings file: format version,
  // data source, query, preview rows, the column list, table name and mode.
  // The reader assigns each field as soon as it is read, so a failure leaves
  // the fields before it changed and the others as they were.
  void WriteSettingsData(ObjectStreamWriter& writer) const;
  void ReadSettingsData(ObjectStreamReader& reader);

  // The remembered job values (data source, query, preview rows, table name,
  // table mode) in the user's preference store. SaveDefaults raises
  // rowsmith::Error "Failed to set data for '%s'" with the value's name when
  // the values cannot be stored; they stay in the store for its next save.
  void LoadDefaults(PreferenceStore& store);
  void SaveDefaults(PreferenceStore& store) const;
  // Key path (index 0) and value names of the remembered job values.
  static std::string registryName(int index);
};

}  // namespace rowsmith
