#include "common/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace rowsmith {

namespace {

[[noreturn]] void raise(int error, const std::string& what) {
  throw std::system_error(error, std::generic_category(), what);
}

}  // namespace

void writeFileAtomically(const std::filesystem::path& path, std::string_view contents,
                         mode_t mode) {
  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  std::string temporary = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) raise(errno, path.string());

  int error = 0;
  if (::fchmod(fd, mode) != 0) error = errno;
  for (std::size_t written = 0; error == 0 && written < contents.size();) {
    const ssize_t n = ::write(fd, contents.data() + written, contents.size() - written);
    if (n < 0) {
      if (errno != EINTR) error = errno;
    } else {
      written += static_cast<std::size_t>(n);
    }
  }
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    raise(error, path.string());
  }
  // Make the rename itself durable; a failure here loses nothing already
  // visible, so it is not reported.
  const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (folderFd >= 0) {
    ::fsync(folderFd);
    ::close(folderFd);
  }
}

}  // namespace rowsmith
