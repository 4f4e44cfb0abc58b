#include "cli/ChunkReader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "common/Error.h"

namespace rowsmith::cli {

ChunkReader::ChunkReader(int fd, std::size_t blockSize)
    : m_fd(fd), m_capacity(blockSize), m_buffer(new char[blockSize]) {}

bool ChunkReader::next(std::string_view& chunk) {
  // The unfinished line left by the last chunk moves to the front; it is
  // shorter than one line, so the move is cheap next to the read.
  const std::size_t carried = m_filled - m_carryBegin;
  if (carried > 0 && m_carryBegin > 0)
    std::memmove(m_buffer.get(), m_buffer.get() + m_carryBegin, carried);
  m_carryBegin = 0;
  m_filled = carried;
  while (!m_eof) {
    if (m_filled == m_capacity) {
      // One line fills the whole buffer: make room for more of it.
      const std::size_t larger = 2 * m_capacity;
      std::unique_ptr<char[]> grown(new char[larger]);
      std::memcpy(grown.get(), m_buffer.get(), m_filled);
      m_buffer = std::move(grown);
      m_capacity = larger;
    }
    const std::size_t before = m_filled;
    if (readMore() == 0) break;
    const char* data = m_buffer.get();
    const void* lastFeed = ::memrchr(data + before, '\n', m_filled - before);
    if (!lastFeed) continue;
    m_carryBegin = static_cast<std::size_t>(static_cast<const char*>(lastFeed) - data) + 1;
    chunk = std::string_view(data, m_carryBegin);
    return true;
  }
  // The end: whatever is carried is the last line, without its line feed.
  if (m_filled == 0) return false;
  chunk = std::string_view(m_buffer.get(), m_filled);
  m_carryBegin = m_filled;
  return true;
}

std::size_t ChunkReader::readMore() {
  for (;;) {
    const ssize_t got = ::read(m_fd, m_buffer.get() + m_filled, m_capacity - m_filled);
    if (got > 0) {
      m_filled += static_cast<std::size_t>(got);
      return static_cast<std::size_t>(got);
    }
    if (got == 0) {
      m_eof = true;
      return 0;
    }
    if (errno != EINTR) {
      throw Error(std::string("Couldn't read the standard input: ") + std::strerror(errno));
    }
  }
}

}  // namespace rowsmith::cli
