#pragma once

#include <cstdint>
#include <istream>
#include <string>

namespace rowsmith {

// Reads the values of a tagged object stream (the format of settings files)
// from a byte stream. Wherever an integer is expected any of the three
// integer tags is accepted, wherever a string is expected either string tag.
// Every failure raises rowsmith::Error: "Stream read error" when the bytes end
// too early, "Invalid property value" for a tag that does not fit.
//
// Threading: not shared; one reader per stream, used by one thread.
class ObjectStreamReader {
 public:
  explicit ObjectStreamReader(std::istream& in);

  // The four bytes "TPF0"; anything else is "Invalid stream format".
  void readSignature();
  // Skips an optional flags byte (0xF0 or above) and, when it says so, the
  // integer that follows it.
  void skipFlags();

  // A name: one length byte, then that many bytes.
  std::string readName();

  // The next byte, left unread.
  std::uint8_t peekByte();
  // True when the next byte ends a list; the byte is left unread.
  bool endOfList();
  void readListBegin();
  void readListEnd();

  std::int32_t readInteger();
  std::string readString();
  // Tag 0x09 is true; any other single tag byte reads as false.
  bool readBoolean();
  // Skips one value of any known kind, lists included.
  void skipValue();

 private:
  std::uint8_t readByte();
  void readBytes(char* buffer, std::size_t count);
  std::string readBytes(std::uint32_t count);
  std::int32_t readIntegerPayload(std::uint8_t tag);
  std::string readStringPayload(std::uint8_t tag);

  std::istream& m_in;
};

}  // namespace rowsmith
