// Feeds arbitrary bytes to the settings-file reader. Any outcome other than
// a clean read or a rowsmith::Error (a crash, a sanitizer report, another
// exception, a huge allocation) is a fault.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "common/Error.h"
#include "document/Settings.h"
#include "document/SettingsStream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  rowsmith::TSettings settings;
  try {
    rowsmith::SettingsStream::read(in, settings);
  } catch (const rowsmith::Error&) {
    return 0;
  }
  // What was read must write back and read again to the same job.
  const std::string written = rowsmith::SettingsStream::write(settings);
  std::istringstream again(written);
  rowsmith::TSettings reread;
  rowsmith::SettingsStream::read(again, reread);
  if (reread.dataSource != settings.dataSource || reread.query != settings.query ||
      reread.previewRows != settings.previewRows || reread.columnNames != settings.columnNames ||
      reread.columnFilters != settings.columnFilters ||
      (settings.formatVersion >= 2 &&
       (reread.tableName != settings.tableName || reread.useTable != settings.useTable))) {
    __builtin_trap();
  }
  return 0;
}
