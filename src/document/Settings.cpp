#include "document/Settings.h"

#include <filesystem>
#include <fstream>

#include "common/ConnectionStringText.h"
#include "common/Error.h"
#include "document/DocumentFileWriter.h"
#include "document/ObjectStreamReader.h"
#include "document/ObjectStreamWriter.h"
#include "document/SettingsStream.h"

namespace rowsmith {

namespace {

// The format version this program writes; version 1 files lack the table
// name and table mode.
constexpr std::int32_t kCurrentFormatVersion = 2;

}  // namespace

void TSettings::Validate() const {
  if (dataSource.empty()) throw Error("The data source is blank");
  if (useTable && tableName.empty()) throw Error("The table name is blank");
  if (!useTable && query.empty()) throw Error("The query is blank");
}

void TSettings::LoadFromFile(const std::string& path) {
  std::error_code error;
  std::ifstream in;
  if (!std::filesystem::is_directory(path, error)) in.open(path, std::ios::binary);
  if (!in.is_open()) throw Error("Cannot open file " + path);
  SettingsStream::read(in, *this);
  fileName = path;
}

void TSettings::SaveToFile(const std::string& path) {
  // A data source with a password makes a new file readable by its owner only.
  DocumentFileWriter::write(path, SettingsStream::write(*this),
                            ConnectionStringText(dataSource).hasPassword());
  fileName = path;
}

void TSettings::WriteSettingsData(ObjectStreamWriter& writer) const {
  writer.writeInteger(kCurrentFormatVersion);
  writer.writeString(dataSource);
  writer.writeString(query);
  writer.writeInteger(previewRows);
  writer.writeListBegin();
  for (std::size_t i = 0; i < columnNames.size(); ++i) {
    writer.writeString(columnNames[i]);
    writer.writeString(i < columnFilters.size() ? columnFilters[i] : std::string());
  }
  writer.writeListEnd();
  writer.writeString(tableName);
  writer.writeBoolean(useTable);
}

void TSettings::ReadSettingsData(ObjectStreamReader& reader) {
  formatVersion = reader.readInteger();
  dataSource = reader.readString();
  query = reader.readString();
  previewRows = reader.readInteger();
  columnNames.clear();
  columnFilters.clear();
  reader.readListBegin();
  while (!reader.endOfList()) {
    // Both strings are read before either list grows, so that a list cut
    // short still leaves the two lists of the same length.
    std::string columnName = reader.readString();
    std::string columnFilter = reader.readString();
    columnNames.push_back(std::move(columnName));
    columnFilters.push_back(std::move(columnFilter));
  }
  reader.readListEnd();
  if (formatVersion >= kCurrentFormatVersion) {
    tableName = reader.readString();
    useTable = reader.readBoolean();
  }
}

}  // namespace rowsmith
