// The remembered job values of TSettings in the preference store.
#include <array>

#include "common/Error.h"
#include "document/PreferenceStore.h"
#include "document/Settings.h"

namespace rowsmith {

namespace {

constexpr std::int32_t kDefaultPreviewRows = 1000;
constexpr std::int32_t kDefaultUseTable = 1;

}  // namespace

std::string TSettings::registryName(int index) {
  static const std::string key = "SOFTWARE\\Morvane Software\\Rowsmith";
  static const std::array<std::string, 8> names = {
      key,        "data source",          "query",          "preview rows", "tableName",
      "useTable", key + "\\Recent files", key + "\\Filters"};
  if (index < 0 || index >= static_cast<int>(names.size())) return {};
  return names[static_cast<std::size_t>(index)];
}

void TSettings::LoadDefaults(PreferenceStore& store) {
  constexpr auto root = PreferenceRoot::CurrentUser;
  const std::string key = registryName(0);
  store.openKey(root, key, true);
  dataSource = store.readText(root, key, registryName(1), "");
  query = store.readText(root, key, registryName(2), "");
  previewRows = store.readInteger(root, key, registryName(3), kDefaultPreviewRows);
  tableName = store.readText(root, key, registryName(4), "");
  useTable = store.readInteger(root, key, registryName(5), kDefaultUseTable) != 0;
}

void TSettings::SaveDefaults(PreferenceStore& store) const {
  constexpr auto root = PreferenceRoot::CurrentUser;
  const std::string key = registryName(0);
  store.writeText(root, key, registryName(1), dataSource);
  store.writeText(root, key, registryName(2), query);
  store.writeInteger(root, key, registryName(3), previewRows);
  store.writeText(root, key, registryName(4), tableName);
  store.writeInteger(root, key, registryName(5), useTable ? 1 : 0);
  try {
    store.save();
  } catch (const Error&) {
    // The values reach the store's file together, so none of them was
    // stored: the report names the first, as a value-by-value store would.
    throw Error("Failed to set data for '" + registryName(1) + "'");
  }
}

}  // namespace rowsmith
