#include "cli/ChunkReader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/Error.h"

namespace rowsmith::cli {

ChunkReader::ChunkReader(int fd, std::size_t blockSize) : m_fd(fd), m_block(blockSize) {}

bool ChunkReader::next(std::string& chunk) {
  chunk.clear();
  while (!m_eof) {
    const std::size_t got = readBlock();
    if (got == 0) break;
    const char* data = m_block.data();
    const void* lastFeed = ::memrchr(data, '\n', got);
    if (!lastFeed) {
      m_carry.append(data, got);
      continue;
    }
    const auto upTo = static_cast<std::size_t>(static_cast<const char*>(lastFeed) - data) + 1;
    chunk.reserve(m_carry.size() + upTo);
    chunk.append(m_carry);
    chunk.append(data, upTo);
    m_carry.assign(data + upTo, got - upTo);
    return true;
  }
  // The end: whatever is carried is the last line, without its line feed.
  if (m_carry.empty()) return false;
  chunk.swap(m_carry);
  m_carry.clear();
  return true;
}

std::size_t ChunkReader::readBlock() {
  for (;;) {
    const ssize_t got = ::read(m_fd, m_block.data(), m_block.size());
    if (got > 0) return static_cast<std::size_t>(got);
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
