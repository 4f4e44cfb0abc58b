#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace rowsmith::cli {

// Collects output in a large buffer and writes it to a file descriptor in big
// blocks. Raises rowsmith::Error when writing fails.
//
// Threading: one thread only.
class BlockWriter {
 public:
  explicit BlockWriter(int fd);
  // Writes what is still buffered; a failure here is lost, so callers flush()
  // explicitly on the normal path.
  ~BlockWriter();
  BlockWriter(const BlockWriter&) = delete;
  BlockWriter& operator=(const BlockWriter&) = delete;

  void write(std::string_view text);
  // `line` followed by a line feed.
  void writeLine(std::string_view line);
  void flush();

 private:
  void writeAll(const char* data, std::size_t size);

  int m_fd;
  std::unique_ptr<char[]> m_buffer;
  std::size_t m_used = 0;
};

}  // namespace rowsmith::cli
