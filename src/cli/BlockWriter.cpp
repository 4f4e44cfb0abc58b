#include "cli/BlockWriter.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "common/Error.h"

namespace rowsmith::cli {

namespace {
// Text from this size on goes out with its own write(2), without a copy;
// the buffer gathers the smaller pieces (single values, short chunks).
constexpr std::size_t kBufferSize = 64 * 1024;
constexpr std::size_t kDirectSize = kBufferSize / 4;
}  // namespace

BlockWriter::BlockWriter(int fd) : m_fd(fd), m_buffer(new char[kBufferSize]) {}

BlockWriter::~BlockWriter() {
  try {
    flush();
  } catch (...) {
  }
}

void BlockWriter::write(std::string_view text) {
  if (text.size() >= kDirectSize) {
    // Large enough to go out on its own, without a copy.
    flush();
    writeAll(text.data(), text.size());
    return;
  }
  if (kBufferSize - m_used < text.size()) flush();
  std::memcpy(m_buffer.get() + m_used, text.data(), text.size());
  m_used += text.size();
}

void BlockWriter::writeLine(std::string_view line) {
  if (kBufferSize - m_used <= line.size()) {
    write(line);
    write("\n");
    return;
  }
  std::memcpy(m_buffer.get() + m_used, line.data(), line.size());
  m_used += line.size();
  m_buffer[m_used++] = '\n';
}

void BlockWriter::flush() {
  const std::size_t used = m_used;
  m_used = 0;
  writeAll(m_buffer.get(), used);
}

void BlockWriter::writeAll(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(m_fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      throw Error(std::string("Couldn't write the output: ") + std::strerror(errno));
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

}  // namespace rowsmith::cli
