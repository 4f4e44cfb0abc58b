#include "document/DocumentFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <random>

#include "common/Error.h"
#include "document/ObjectStreamTags.h"

namespace rowsmith {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void cannotCreate(const std::string& path) {
  throw Error("Cannot create file " + path);
}

// The file to replace: the path itself, or the file a symbolic link names.
fs::path resolveTarget(const std::string& path) {
  std::error_code error;
  if (fs::is_symlink(path, error)) {
    fs::path resolved = fs::weakly_canonical(path, error);
    if (!error) return resolved;
  }
  return fs::path(path);
}

// Creates a new, empty file beside `target` that no one else has opened,
// with the permission bits `mode` (less umask).
int createTemporary(const fs::path& target, std::string& temporaryPath, mode_t mode) {
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::random_device entropy;
  std::mt19937_64 generator(entropy());
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporaryPath = (folder / ("." + target.filename().string() + ".tmp" +
                               std::to_string(generator() % 1000000000ULL)))
                        .string();
    const int fd = ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Makes the rename itself durable; a failure here loses nothing.
void syncFolder(const fs::path& target) {
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

void DocumentFileWriter::write(const std::string& path, std::string_view bytes, bool ownerOnly) {
  const fs::path target = resolveTarget(path);

  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && (S_ISDIR(existing.st_mode) || ::access(target.c_str(), W_OK) != 0)) {
    cannotCreate(path);
  }

  std::string temporaryPath;
  const int fd = createTemporary(target, temporaryPath, ownerOnly ? 0600 : 0666);
  if (fd < 0) cannotCreate(path);

  if (exists) (void)::fchmod(fd, existing.st_mode & 07777);
  const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed) {
    ::unlink(temporaryPath.c_str());
    throw Error(std::string(objectstream::kStreamWriteError));
  }
  if (::rename(temporaryPath.c_str(), target.c_str()) != 0) {
    ::unlink(temporaryPath.c_str());
    cannotCreate(path);
  }
  syncFolder(target);
}

}  // namespace rowsmith
