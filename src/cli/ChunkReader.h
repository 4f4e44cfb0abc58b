#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace rowsmith::cli {

// Reads a file descriptor straight into one buffer and hands out chunks of
// whole lines as views of it: every chunk but the last ends with a line
// feed; a last line without one comes as the end of the last chunk. Lines
// longer than the buffer make it grow until they end. The buffer is reused
// from chunk to chunk, so its memory is touched once however long the input.
// Raises rowsmith::Error when reading fails.
//
// Threading: one thread only.
class ChunkReader {
 public:
  explicit ChunkReader(int fd, std::size_t blockSize = 128 * 1024);

  // Sets `chunk` to the next lines, which stay valid until the next call;
  // false at the end of the input.
  bool next(std::string_view& chunk);

 private:
  // Reads what fits after the first m_filled bytes; 0 at the end of the input.
  std::size_t readMore();

  int m_fd;
  std::size_t m_capacity;
  std::unique_ptr<char[]> m_buffer;
  // m_buffer[m_carryBegin, m_filled) is the start of a line whose end has
  // not been read yet (before next() moves it to the front).
  std::size_t m_carryBegin = 0;
  std::size_t m_filled = 0;
  bool m_eof = false;
};

}  // namespace rowsmith::cli
