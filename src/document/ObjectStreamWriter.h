#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rowsmith {

// Writes the values of a tagged object stream (the format of settings files)
// into a byte buffer, choosing the smallest tag that holds each value:
// integers as 8, 16 or 32 bits, strings of up to 255 bytes as short strings.
// Multi-byte numbers are little-endian.
//
// Threading: not shared; one writer per buffer, used by one thread.
class ObjectStreamWriter {
 public:
  void writeSignature();
  // A name: one length byte, then the bytes; at most 255 bytes.
  void writeName(std::string_view name);
  void writeListBegin();
  void writeListEnd();
  void writeInteger(std::int32_t value);
  void writeString(std::string_view text);
  void writeBoolean(bool value);

  // Everything written so far.
  const std::string& bytes() const { return m_bytes; }

 private:
  void writeByte(std::uint8_t byte);
  void writeLittleEndian(std::uint32_t value, int byteCount);

  std::string m_bytes;
};

}  // namespace rowsmith
