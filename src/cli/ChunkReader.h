#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace rowsmith::cli {

// Reads a file descriptor in large blocks and hands them out as chunks of
// whole lines: every chunk but the last ends with a line feed; a last line
// without one comes as the end of the last chunk. Lines longer than a block
// are carried on until they end. Raises rowsmith::Error when reading fails.
//
// Threading: one thread only.
class ChunkReader {
 public:
  explicit ChunkReader(int fd, std::size_t blockSize = 256 * 1024);

  // Replaces `chunk` with the next lines; false at the end of the input.
  bool next(std::string& chunk);

 private:
  // Reads one block into m_block; 0 at the end of the input.
  std::size_t readBlock();

  int m_fd;
  std::vector<char> m_block;
  std::string m_carry;  // the start of a line whose end has not been read yet
  bool m_eof = false;
};

}  // namespace rowsmith::cli
