#include "wordmill/WordmillWindow.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

#include "common/AtomicFile.h"
#include "common/Error.h"
#include "wordmill/FilterProgram.h"

namespace rowsmith::wordmill {

namespace {

// Reads a whole regular file; nothing when it cannot be read.
std::optional<std::string> readWholeFile(const std::string& path) {
  if (path.empty()) return std::nullopt;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> text;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    std::string content;
    content.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
      const ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got > 0) {
        content.append(buffer, static_cast<std::size_t>(got));
      } else if (got == 0) {
        text = std::move(content);
        break;
      } else if (errno != EINTR) {
        break;
      }
    }
  }
  ::close(fd);
  return text;
}

}  // namespace

WordmillWindow::WordmillWindow() = default;
WordmillWindow::~WordmillWindow() = default;

bool WordmillWindow::openFilter(const std::string& path) {
  if (m_closed) return false;
  auto text = readWholeFile(path);
  // A file that cannot be read leaves the window as it was.
  if (!text) return false;
  m_path = path;
  m_source = std::move(*text);
  m_opened = true;
  m_program.reset();
  return true;
}

std::string WordmillWindow::compileFilter() {
  if (m_closed) return "The filter window has been closed";
  if (!m_opened) return "No filter has been opened in this window";
  m_program.reset();
  try {
    m_program = FilterProgram::compile(m_source, m_path);
  } catch (const Error& e) {
    // The compiler's own "LINE:COLUMN: message", passed on unchanged.
    return e.what();
  }
  return {};
}

std::string WordmillWindow::processStringWithCompiledFilter(const std::string& input) {
  return program().process(input);
}

void WordmillWindow::processAppending(std::string_view input, std::string& output) {
  program().processAppending(input, output);
}

const FilterProgram& WordmillWindow::program() const {
  if (m_closed) throw Error("Cannot process text: the filter window has been closed");
  if (!m_program) {
    throw Error(m_opened ? "The filter " + m_path + " has not been compiled"
                         : "No filter has been compiled in this window");
  }
  return *m_program;
}

std::uint64_t WordmillWindow::valuesKeptAsTheyWere() const {
  return m_program ? m_program->valuesKeptAsTheyWere() : 0;
}

void WordmillWindow::replaceText(const std::string& text) {
  if (m_closed) throw Error("The filter window has been closed");
  m_source = text;
  m_opened = true;
  m_program.reset();
}

void WordmillWindow::save(const std::string& path) {
  if (m_closed) throw Error("The filter window has been closed");
  if (path.empty()) throw Error("The filter has no file name to be saved under");
  const std::string failure = "Cannot save the filter " + path + ": ";
  namespace fs = std::filesystem;
  std::error_code ignored;
  // The file a link points to is replaced, not the link.
  fs::path target = path;
  if (fs::is_symlink(target, ignored)) {
    if (auto resolved = fs::canonical(target, ignored); !ignored) target = resolved;
  }
  mode_t mode = 0644;
  struct stat info {};
  if (::stat(target.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode)) throw Error(failure + "it is not a file");
    // Renaming over the file needs only the folder's permission: a file
    // the user made read-only is left alone.
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
        ::access(target.c_str(), W_OK) != 0) {
      throw Error(failure + "the file is read-only");
    }
    mode = info.st_mode & 07777;
  }
  try {
    writeFileAtomically(target, m_source, mode);
  } catch (const std::system_error& e) {
    throw Error(failure + std::strerror(e.code().value()));
  }
  if (path != m_path) m_program.reset();
  m_path = path;
}

void WordmillWindow::close() {
  m_closed = true;
  m_program.reset();
  m_source.clear();
  m_source.shrink_to_fit();
}

}  // namespace rowsmith::wordmill
