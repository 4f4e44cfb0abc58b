#include "document/ObjectStreamWriter.h"

#include <limits>

#include "common/Error.h"
#include "document/ObjectStreamTags.h"

namespace rowsmith {

using namespace objectstream;

void ObjectStreamWriter::writeByte(std::uint8_t byte) {
  m_bytes.push_back(static_cast<char>(byte));
}

void ObjectStreamWriter::writeLittleEndian(std::uint32_t value, int byteCount) {
  for (int i = 0; i < byteCount; ++i) writeByte(static_cast<std::uint8_t>(value >> (8 * i)));
}

void ObjectStreamWriter::writeSignature() { m_bytes.append(kSignature); }

void ObjectStreamWriter::writeName(std::string_view name) {
  if (name.size() > std::numeric_limits<std::uint8_t>::max()) {
    throw Error(std::string(kStreamWriteError));
  }
  writeByte(static_cast<std::uint8_t>(name.size()));
  m_bytes.append(name);
}

void ObjectStreamWriter::writeListBegin() { writeByte(kListBegin); }

void ObjectStreamWriter::writeListEnd() { writeByte(kEndOfList); }

void ObjectStreamWriter::writeInteger(std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  if (value >= std::numeric_limits<std::int8_t>::min() &&
      value <= std::numeric_limits<std::int8_t>::max()) {
    writeByte(kInt8);
    writeLittleEndian(bits, 1);
  } else if (value >= std::numeric_limits<std::int16_t>::min() &&
             value <= std::numeric_limits<std::int16_t>::max()) {
    writeByte(kInt16);
    writeLittleEndian(bits, 2);
  } else {
    writeByte(kInt32);
    writeLittleEndian(bits, 4);
  }
}

void ObjectStreamWriter::writeString(std::string_view text) {
  if (text.size() <= std::numeric_limits<std::uint8_t>::max()) {
    writeByte(kShortString);
    writeByte(static_cast<std::uint8_t>(text.size()));
  } else if (text.size() <= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    writeByte(kLongString);
    writeLittleEndian(static_cast<std::uint32_t>(text.size()), 4);
  } else {
    // The length field cannot hold it.
    throw Error(std::string(kStreamWriteError));
  }
  m_bytes.append(text);
}

void ObjectStreamWriter::writeBoolean(bool value) { writeByte(value ? kTrue : kFalse); }

}  // namespace rowsmith
