#include "document/ObjectStreamReader.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "common/Error.h"
#include "document/ObjectStreamTags.h"

namespace rowsmith {

using namespace objectstream;

namespace {

[[noreturn]] void fail(std::string_view message) { throw Error(std::string(message)); }

// Little-endian decoding of the multi-byte numbers of the stream.
std::uint32_t littleEndian(const unsigned char* bytes, std::size_t count) {
  std::uint32_t value = 0;
  for (std::size_t i = count; i-- > 0;) value = (value << 8) | bytes[i];
  return value;
}

}  // namespace

ObjectStreamReader::ObjectStreamReader(std::istream& in) : m_in(in) {}

std::uint8_t ObjectStreamReader::readByte() {
  char byte = 0;
  readBytes(&byte, 1);
  return static_cast<std::uint8_t>(byte);
}

void ObjectStreamReader::readBytes(char* buffer, std::size_t count) {
  if (count == 0) return;
  m_in.read(buffer, static_cast<std::streamsize>(count));
  if (static_cast<std::size_t>(m_in.gcount()) != count) fail(kStreamReadError);
}

std::string ObjectStreamReader::readBytes(std::uint32_t count) {
  // Read in chunks, so that a length field promising gigabytes in a short
  // file ends in a read error rather than in one huge allocation.
  constexpr std::size_t kChunk = 64 * 1024;
  std::string text;
  std::size_t remaining = count;
  while (remaining > 0) {
    const std::size_t part = std::min(remaining, kChunk);
    const std::size_t start = text.size();
    text.resize(start + part);
    readBytes(text.data() + start, part);
    remaining -= part;
  }
  return text;
}

std::uint8_t ObjectStreamReader::peekByte() {
  const auto next = m_in.peek();
  if (next == std::char_traits<char>::eof()) fail(kStreamReadError);
  return static_cast<std::uint8_t>(next);
}

void ObjectStreamReader::readSignature() {
  std::array<char, 4> signature{};
  readBytes(signature.data(), signature.size());
  if (std::string_view(signature.data(), signature.size()) != kSignature) {
    fail(kInvalidStreamFormat);
  }
}

void ObjectStreamReader::skipFlags() {
  if (peekByte() < kFirstFlagsByte) return;
  const std::uint8_t flags = readByte();
  if (flags & kFlagHasIndex) readInteger();
}

std::string ObjectStreamReader::readName() { return readBytes(std::uint32_t{readByte()}); }

bool ObjectStreamReader::endOfList() { return peekByte() == kEndOfList; }

void ObjectStreamReader::readListBegin() {
  if (readByte() != kListBegin) fail(kInvalidPropertyValue);
}

void ObjectStreamReader::readListEnd() {
  if (readByte() != kEndOfList) fail(kInvalidPropertyValue);
}

std::int32_t ObjectStreamReader::readIntegerPayload(std::uint8_t tag) {
  unsigned char bytes[4] = {};
  switch (tag) {
    case kInt8:
      readBytes(reinterpret_cast<char*>(bytes), 1);
      return static_cast<std::int8_t>(bytes[0]);
    case kInt16:
      readBytes(reinterpret_cast<char*>(bytes), 2);
      return static_cast<std::int16_t>(littleEndian(bytes, 2));
    case kInt32:
      readBytes(reinterpret_cast<char*>(bytes), 4);
      return static_cast<std::int32_t>(littleEndian(bytes, 4));
    default:
      fail(kInvalidPropertyValue);
  }
}

std::string ObjectStreamReader::readStringPayload(std::uint8_t tag) {
  switch (tag) {
    case kShortString:
      return readBytes(std::uint32_t{readByte()});
    case kLongString: {
      unsigned char length[4] = {};
      readBytes(reinterpret_cast<char*>(length), 4);
      return readBytes(littleEndian(length, 4));
    }
    default:
      fail(kInvalidPropertyValue);
  }
}

std::int32_t ObjectStreamReader::readInteger() { return readIntegerPayload(readByte()); }

std::string ObjectStreamReader::readString() { return readStringPayload(readByte()); }

bool ObjectStreamReader::readBoolean() { return readByte() == kTrue; }

void ObjectStreamReader::skipValue() {
  // Iterative, so that deeply nested lists cannot exhaust the call stack.
  std::size_t openLists = 0;
  do {
    const std::uint8_t tag = readByte();
    switch (tag) {
      case kEndOfList:
        // Inside a list it closes it; on its own it is an empty value.
        if (openLists > 0) --openLists;
        break;
      case kListBegin:
        ++openLists;
        break;
      case kInt8:
      case kInt16:
      case kInt32:
        readIntegerPayload(tag);
        break;
      case kShortString:
      case kLongString:
        readStringPayload(tag);
        break;
      case kFalse:
      case kTrue:
        break;
      default:
        fail(kInvalidPropertyValue);
    }
  } while (openLists > 0);
}

}  // namespace rowsmith
