#include "document/PreferenceStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <system_error>

#include "common/AsciiCase.h"
#include "common/AtomicFile.h"
#include "common/Error.h"

namespace rowsmith {

namespace {

// A key path with its empty components ("\\", leading or trailing "\")
// removed. Raises on control characters, which the file cannot hold.
std::string normalisedPath(std::string_view path) {
  std::string result = compactKeyPath(path);
  for (const char c : result) {
    if (static_cast<unsigned char>(c) < 32) {
      throw Error("Invalid preference key name '" + result + "'");
    }
  }
  return result;
}

void checkValueName(std::string_view name) {
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 32) {
      throw Error("Invalid preference value name '" + std::string(name) + "'");
    }
  }
}

// Creates the key and its missing parents; returns it. Existing parents keep
// their spelling; new parts are spelled as given.
PreferenceKey& createKey(PreferenceHive& keys, const std::string& path) {
  PreferenceKey* parent = nullptr;
  std::size_t pos = 0;
  while (true) {
    const std::size_t end = path.find('\\', pos);
    const std::string component = path.substr(pos, end == std::string::npos ? end : end - pos);
    auto found = keys.find(asciiLower(path.substr(0, end)));
    if (found == keys.end()) {
      std::string spelled = parent == nullptr ? component : parent->path + '\\' + component;
      found = keys.emplace(asciiLower(spelled), PreferenceKey{spelled, {}}).first;
    }
    if (end == std::string::npos) return found->second;
    parent = &found->second;
    pos = end + 1;
  }
}

void setValue(PreferenceHive& keys, const std::string& path, PreferenceValue value) {
  PreferenceKey& key = createKey(keys, path);
  for (PreferenceValue& existing : key.values) {
    if (equalsIgnoringAsciiCase(existing.name, value.name)) {
      value.name = existing.name;
      existing = std::move(value);
      return;
    }
  }
  key.values.push_back(std::move(value));
}

void removeKey(PreferenceHive& keys, const std::string& path) {
  const std::string folded = asciiLower(path);
  if (folded.empty()) {
    keys.clear();
    return;
  }
  const std::string below = folded + '\\';
  for (auto it = keys.lower_bound(folded); it != keys.end();) {
    if (it->first == folded || it->first.starts_with(below)) {
      it = keys.erase(it);
    } else if (it->first.starts_with(folded)) {
      ++it;  // a sibling such as "key name" between "key" and "key\sub"
    } else {
      break;
    }
  }
}

const PreferenceValue* findValue(const PreferenceHive& keys, std::string_view path,
                                 std::string_view name) {
  const auto key = keys.find(asciiLower(normalisedPath(path)));
  if (key == keys.end()) return nullptr;
  for (const PreferenceValue& value : key->second.values) {
    if (equalsIgnoringAsciiCase(value.name, name)) return &value;
  }
  return nullptr;
}

std::string timestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y%m%d-%H%M%S", &local);
  return buffer;
}

// The whole file; raises std::system_error when it cannot be read.
std::string readWholeFile(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), path.string());
  std::string text;
  char buffer[65536];
  while (true) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      throw std::system_error(error, std::generic_category(), path.string());
    }
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return text;
}

// Holds an exclusive lock on a folder while the files in it are merged and
// replaced, so that two saves do not lose each other's changes.
class FolderLock {
 public:
  explicit FolderLock(const std::filesystem::path& folder)
      : m_fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (m_fd >= 0) {
      while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~FolderLock() {
    if (m_fd >= 0) ::close(m_fd);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int m_fd;
};

}  // namespace

PreferenceStore::PreferenceStore() : PreferenceStore(defaultFolder()) {}

PreferenceStore::PreferenceStore(std::filesystem::path folder) : m_folder(std::move(folder)) {
  load(PreferenceRoot::CurrentUser);
  load(PreferenceRoot::LocalMachine);
}

std::filesystem::path PreferenceStore::defaultFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::filesystem::path(config) / "rowsmith";
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') {
    const passwd* user = ::getpwuid(::getuid());
    home = user != nullptr ? user->pw_dir : "/";
  }
  return std::filesystem::path(home) / ".config" / "rowsmith";
}

std::string_view PreferenceStore::rootName(PreferenceRoot root) {
  return root == PreferenceRoot::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

std::filesystem::path PreferenceStore::filePath(PreferenceRoot root) const {
  return m_folder / (std::string(rootName(root)) + ".reg");
}

bool PreferenceStore::openKey(PreferenceRoot root, std::string_view path, bool create) {
  if (create && !keyExists(root, path)) {
    const std::string normalised = normalisedPath(path);
    change(root, [normalised](PreferenceHive& keys) { createKey(keys, normalised); });
  }
  return keyExists(root, path);
}

bool PreferenceStore::keyExists(PreferenceRoot root, std::string_view path) const {
  return hive(root).keys.contains(asciiLower(normalisedPath(path)));
}

void PreferenceStore::deleteKey(PreferenceRoot root, std::string_view path) {
  const std::string normalised = normalisedPath(path);
  change(root, [normalised](PreferenceHive& keys) { removeKey(keys, normalised); });
}

std::vector<PreferenceValue> PreferenceStore::values(PreferenceRoot root,
                                                     std::string_view path) const {
  const auto& keys = hive(root).keys;
  const auto key = keys.find(asciiLower(normalisedPath(path)));
  return key == keys.end() ? std::vector<PreferenceValue>{} : key->second.values;
}

std::optional<PreferenceValue> PreferenceStore::value(PreferenceRoot root, std::string_view path,
                                                      std::string_view name) const {
  const PreferenceValue* found = findValue(hive(root).keys, path, name);
  if (found == nullptr) return std::nullopt;
  return *found;
}

std::string PreferenceStore::readText(PreferenceRoot root, std::string_view path,
                                      std::string_view name, std::string_view fallback) const {
  const PreferenceValue* found = findValue(hive(root).keys, path, name);
  if (found == nullptr ||
      (found->type != PreferenceType::Text && found->type != PreferenceType::ExpandText)) {
    return std::string(fallback);
  }
  return found->data;
}

std::int32_t PreferenceStore::readInteger(PreferenceRoot root, std::string_view path,
                                          std::string_view name, std::int32_t fallback) const {
  const PreferenceValue* found = findValue(hive(root).keys, path, name);
  if (found == nullptr || found->type != PreferenceType::Integer) return fallback;
  return static_cast<std::int32_t>(found->integer);
}

void PreferenceStore::writeText(PreferenceRoot root, std::string_view path, std::string_view name,
                                std::string_view text) {
  checkValueName(name);
  PreferenceValue value;
  value.name = name;
  value.type = PreferenceType::Text;
  value.data = text;
  const std::string normalised = normalisedPath(path);
  change(root, [normalised, value](PreferenceHive& keys) { setValue(keys, normalised, value); });
}

void PreferenceStore::writeInteger(PreferenceRoot root, std::string_view path,
                                   std::string_view name, std::int32_t integer) {
  checkValueName(name);
  PreferenceValue value;
  value.name = name;
  value.type = PreferenceType::Integer;
  value.integer = static_cast<std::uint32_t>(integer);
  const std::string normalised = normalisedPath(path);
  change(root, [normalised, value](PreferenceHive& keys) { setValue(keys, normalised, value); });
}

void PreferenceStore::deleteValue(PreferenceRoot root, std::string_view path,
                                  std::string_view name) {
  const std::string normalised = normalisedPath(path);
  const std::string valueName(name);
  change(root, [normalised, valueName](PreferenceHive& keys) {
    const auto key = keys.find(asciiLower(normalised));
    if (key == keys.end()) return;
    std::erase_if(key->second.values, [&](const PreferenceValue& value) {
      return equalsIgnoringAsciiCase(value.name, valueName);
    });
  });
}

void PreferenceStore::save() {
  saveHive(PreferenceRoot::CurrentUser);
  saveHive(PreferenceRoot::LocalMachine);
}

void PreferenceStore::load(PreferenceRoot root) {
  Hive& target = hive(root);
  std::optional<PreferenceHive> keys = readFile(root);
  target.locked = !keys.has_value();
  target.keys = keys ? std::move(*keys) : PreferenceHive{};
}

std::optional<PreferenceHive> PreferenceStore::readFile(PreferenceRoot root) {
  const std::filesystem::path path = filePath(root);
  std::error_code error;
  const auto status = std::filesystem::symlink_status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) return PreferenceHive{};
  try {
    if (error) throw std::system_error(error);
    return PreferenceStoreFile::parse(readWholeFile(path), rootName(root));
  } catch (const std::exception&) {
    // Keep the bad file for a person to look at; start this hive afresh.
    std::filesystem::path aside = path;
    aside += ".corrupt-" + timestamp();
    for (int n = 2; std::filesystem::symlink_status(aside, error).type() !=
                    std::filesystem::file_type::not_found;
         ++n) {
      aside = path;
      aside += ".corrupt-" + timestamp() + "-" + std::to_string(n);
    }
    if (::rename(path.c_str(), aside.c_str()) != 0) return std::nullopt;
    m_keptAside.push_back(aside);
    return PreferenceHive{};
  }
}

void PreferenceStore::change(PreferenceRoot root, Change apply) {
  Hive& target = hive(root);
  apply(target.keys);
  target.pending.push_back(std::move(apply));
}

void PreferenceStore::saveHive(PreferenceRoot root) {
  Hive& target = hive(root);
  if (target.pending.empty()) return;
  const std::filesystem::path path = filePath(root);
  const Error failure("Cannot create file " + path.string());

  std::error_code error;
  if (!std::filesystem::is_directory(m_folder, error)) {
    std::filesystem::create_directories(m_folder, error);
    if (error) throw failure;
    std::filesystem::permissions(m_folder, std::filesystem::perms::owner_all, error);
  }
  FolderLock lock(m_folder);
  // Merge into what is on disk now; a file that has gone bad since is kept
  // aside like at start-up, and one that cannot even be renamed stays as is.
  std::optional<PreferenceHive> keys = readFile(root);
  target.locked = !keys.has_value();
  if (target.locked) throw failure;
  target.keys = std::move(*keys);
  for (const Change& apply : target.pending) apply(target.keys);
  try {
    writeFileAtomically(path, PreferenceStoreFile::serialize(target.keys, rootName(root)), 0600);
  } catch (const std::system_error&) {
    throw failure;
  }
  target.pending.clear();
}

}  // namespace rowsmith
