#include "engine/db/postgres/PostgresTextArray.h"

#include <cstdint>

#include "common/Error.h"

namespace rowsmith::db {

namespace {

// Header: dimensions, flags, element type, then length and lower bound of
// the one dimension; big-endian 32-bit integers each.
constexpr std::size_t kFlagsAt = 4;
constexpr std::size_t kLengthAt = 12;
constexpr std::uint32_t kTextOid = 25;

void putInt32(std::string& out, std::uint32_t value) {
  const char bytes[4] = {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                         static_cast<char>(value >> 8), static_cast<char>(value)};
  out.append(bytes, 4);
}

void setInt32(std::string& out, std::size_t at, std::uint32_t value) {
  out[at] = static_cast<char>(value >> 24);
  out[at + 1] = static_cast<char>(value >> 16);
  out[at + 2] = static_cast<char>(value >> 8);
  out[at + 3] = static_cast<char>(value);
}

}  // namespace

PostgresTextArray::PostgresTextArray() {
  putInt32(m_bytes, 1);  // dimensions
  putInt32(m_bytes, 0);  // flags: whether there are NULLs
  putInt32(m_bytes, kTextOid);
  putInt32(m_bytes, 0);  // length
  putInt32(m_bytes, 1);  // lower bound
}

void PostgresTextArray::append(const std::optional<std::string>& value) {
  if (value) {
    append(std::string_view(*value));
    return;
  }
  putInt32(m_bytes, 0xFFFFFFFFu);  // -1: NULL
  m_hasNull = true;
  ++m_elements;
}

void PostgresTextArray::append(std::string_view value) {
  // A field of a row is far below the protocol's limit of 1 GB.
  if (value.size() >= 0x7FFFFFFFu) throw Error("A value is too long to be sent to the server");
  putInt32(m_bytes, static_cast<std::uint32_t>(value.size()));
  m_bytes.append(value);
  ++m_elements;
}

const std::string& PostgresTextArray::bytes() {
  setInt32(m_bytes, kFlagsAt, m_hasNull ? 1 : 0);
  setInt32(m_bytes, kLengthAt, static_cast<std::uint32_t>(m_elements));
  return m_bytes;
}

}  // namespace rowsmith::db
