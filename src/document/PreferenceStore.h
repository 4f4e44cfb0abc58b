#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/PreferenceStoreFile.h"

namespace rowsmith {

// The two hives of the store, after the registry roots they stand in for.
// Both are per user: there is no machine-wide store a user could write.
enum class PreferenceRoot { CurrentUser, LocalMachine };

// What is remembered between sessions: a typed key/value store in place of
// the registry. Keys are paths of components joined by "\"; a key holds named
// values of text or 32-bit integer type. Key paths and value names are
// compared without regard to ASCII letter case and keep the spelling they
// were first given.
//
// Each hive lives in its own REGEDIT4 file, HKEY_CURRENT_USER.reg and
// HKEY_LOCAL_MACHINE.reg, in the store's folder. The files are read when the
// store is created; changes are made in memory and written by save(), which
// merges them into what is on disk at that moment (another process may have
// saved in between), so that each change lands as a single value or key
// operation, as it would in the registry. Files are replaced atomically and
// are readable by their owner only, since connection strings may hold
// passwords.
//
// A file that cannot be read or is not well formed never stops the program:
// its hive starts empty, so every value reads as its default, and the file is
// renamed to NAME.corrupt-<timestamp> beside it (keptAside() lists these). If
// even the rename fails, that hive is never saved, so the file is not
// overwritten.
//
// Threading: not thread-safe; one thread uses an instance. Several instances,
// also in several processes, may share a folder.
class PreferenceStore {
 public:
  // The store in $XDG_CONFIG_HOME/rowsmith, or ~/.config/rowsmith.
  PreferenceStore();
  // The store in folder (created with mode 0700 at the first save).
  explicit PreferenceStore(std::filesystem::path folder);

  static std::filesystem::path defaultFolder();
  static std::string_view rootName(PreferenceRoot root);

  const std::filesystem::path& folder() const { return m_folder; }
  std::filesystem::path filePath(PreferenceRoot root) const;
  // Store files that were found unreadable or malformed and renamed.
  const std::vector<std::filesystem::path>& keptAside() const { return m_keptAside; }

  // Whether the key exists afterwards; with create, a missing key and its
  // missing parents are created.
  bool openKey(PreferenceRoot root, std::string_view path, bool create);
  bool keyExists(PreferenceRoot root, std::string_view path) const;
  // Deletes the key with all its values and subkeys; a missing key is no error.
  void deleteKey(PreferenceRoot root, std::string_view path);

  // The values of a key in the order they were first written; none when the
  // key is missing.
  std::vector<PreferenceValue> values(PreferenceRoot root, std::string_view path) const;
  std::optional<PreferenceValue> value(PreferenceRoot root, std::string_view path,
                                       std::string_view name) const;
  // A text or expandable text value (not expanded); fallback when the value
  // is missing or of another type.
  std::string readText(PreferenceRoot root, std::string_view path, std::string_view name,
                       std::string_view fallback) const;
  // An integer value; fallback when the value is missing or of another type.
  std::int32_t readInteger(PreferenceRoot root, std::string_view path, std::string_view name,
                           std::int32_t fallback) const;

  // Write a value, creating the key when needed. Key paths and value names
  // may not hold control characters (rowsmith::Error otherwise).
  void writeText(PreferenceRoot root, std::string_view path, std::string_view name,
                 std::string_view text);
  void writeInteger(PreferenceRoot root, std::string_view path, std::string_view name,
                    std::int32_t integer);
  void deleteValue(PreferenceRoot root, std::string_view path, std::string_view name);

  // Writes the changes made since the last save to the files. Raises
  // rowsmith::Error "Cannot create file %s" when a file cannot be written;
  // the changes stay pending for the next save.
  void save();

 private:
  using Change = std::function<void(PreferenceHive&)>;
  struct Hive {
    PreferenceHive keys;
    std::vector<Change> pending;
    // The file could be neither read nor kept aside: never overwrite it.
    bool locked = false;
  };

  void load(PreferenceRoot root);
  // The hive in the file, empty when there is no file. A bad file is renamed
  // aside; nothing when even that fails.
  std::optional<PreferenceHive> readFile(PreferenceRoot root);
  void change(PreferenceRoot root, Change apply);
  void saveHive(PreferenceRoot root);
  Hive& hive(PreferenceRoot root) { return m_hives[static_cast<std::size_t>(root)]; }
  const Hive& hive(PreferenceRoot root) const { return m_hives[static_cast<std::size_t>(root)]; }

  std::filesystem::path m_folder;
  std::array<Hive, 2> m_hives;
  std::vector<std::filesystem::path> m_keptAside;
};

}  // namespace rowsmith
