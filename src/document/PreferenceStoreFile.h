#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace rowsmith {

// The kinds of value the preference store holds, after the registry types
// they stand in for.
enum class PreferenceType {
  Text,        // REG_SZ
  ExpandText,  // REG_EXPAND_SZ; read as it is, without expansion
  Integer,     // REG_DWORD
  Binary,      // any other type, kept as bytes so that nothing is lost
};

struct PreferenceValue {
  // As first spelled; compared without regard to ASCII letter case. Empty for
  // a key's default value.
  std::string name;
  PreferenceType type = PreferenceType::Text;
  // Text and ExpandText: the text. Binary: the bytes.
  std::string data;
  // Integer: the value.
  std::uint32_t integer = 0;
  // Binary: the registry type number of the bytes (3 for plain binary).
  int binaryType = 3;
};

struct PreferenceKey {
  // Path below the hive's root, components joined by "\", as first spelled.
  std::string path;
  std::vector<PreferenceValue> values;
};

// One hive: its keys by path folded to lower case.
using PreferenceHive = std::map<std::string, PreferenceKey>;

// The text form of a hive: a REGEDIT4 file.
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\SOFTWARE\Morvane Software\Rowsmith]
//   "data source"="Provider=SQLite;Data Source=C:\\data.db"
//   "preview rows"=dword:000003e8
//
// A text is quoted with "\" before every "\" and '"'; a text holding a
// control character (a query over several lines) is written as hex(1): its
// bytes and a closing 00. Expandable texts are hex(2), other types hex(N).
// Lines end in LF; CR LF, a UTF-8 byte order mark, comment lines (";") and
// hex data continued with a trailing "\" are accepted when reading.
//
// Threading: pure functions; safe from any thread.
// A key path with its empty components (doubled, leading or trailing "\")
// removed, the others joined by "\".
std::string compactKeyPath(std::string_view path);

class PreferenceStoreFile {
 public:
  // Raises rowsmith::Error naming the line when the text is not a well-formed
  // file for the hive called rootName (for example "HKEY_CURRENT_USER").
  static PreferenceHive parse(std::string_view text, std::string_view rootName);
  static std::string serialize(const PreferenceHive& hive, std::string_view rootName);
};

}  // namespace rowsmith
