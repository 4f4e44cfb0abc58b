#include "engine/db/odbc/OdbcRowSpool.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "common/Error.h"

namespace rowsmith::db::odbc {

namespace {

std::string systemError() { return std::strerror(errno); }

}  // namespace

OdbcRowSpool::OdbcRowSpool() : m_file(std::tmpfile()) {
  if (!m_file)
    throw Error("Couldn't make a temporary file for the rows to visit: " + systemError());
}

OdbcRowSpool::~OdbcRowSpool() {
  if (m_file) std::fclose(m_file);
}

void OdbcRowSpool::write(const void* data, std::size_t size) {
  if (size != 0 && std::fwrite(data, 1, size, m_file) != size)
    throw Error("Couldn't write the temporary file of rows to visit: " + systemError());
}

void OdbcRowSpool::read(void* data, std::size_t size) {
  if (size != 0 && std::fread(data, 1, size, m_file) != size)
    throw Error("Couldn't read the temporary file of rows to visit: " + systemError());
}

void OdbcRowSpool::append(const std::vector<Value>& row) {
  for (const auto& value : row) {
    const auto kind = static_cast<std::uint8_t>(value.kind);
    write(&kind, 1);
    switch (value.kind) {
      case Value::Kind::Null:
        break;
      case Value::Kind::Integer:
        write(&value.integer, sizeof value.integer);
        break;
      case Value::Kind::Unsigned:
        write(&value.unsignedInteger, sizeof value.unsignedInteger);
        break;
      case Value::Kind::Real:
        write(&value.real, sizeof value.real);
        break;
      case Value::Kind::Boolean: {
        const std::uint8_t b = value.boolean ? 1 : 0;
        write(&b, 1);
        break;
      }
      default: {
        const std::uint64_t length = value.text.size();
        write(&length, sizeof length);
        write(value.text.data(), value.text.size());
        break;
      }
    }
  }
  ++m_rows;
}

void OdbcRowSpool::rewind() {
  if (std::fflush(m_file) != 0 || std::fseek(m_file, 0, SEEK_SET) != 0)
    throw Error("Couldn't read the temporary file of rows to visit: " + systemError());
  m_rowsRead = 0;
}

bool OdbcRowSpool::readNext(std::vector<Value>& row) {
  if (m_rowsRead >= m_rows) return false;
  for (auto& value : row) {
    std::uint8_t kind = 0;
    read(&kind, 1);
    value.kind = static_cast<Value::Kind>(kind);
    value.text.clear();
    switch (value.kind) {
      case Value::Kind::Null:
        break;
      case Value::Kind::Integer:
        read(&value.integer, sizeof value.integer);
        break;
      case Value::Kind::Unsigned:
        read(&value.unsignedInteger, sizeof value.unsignedInteger);
        break;
      case Value::Kind::Real:
        read(&value.real, sizeof value.real);
        break;
      case Value::Kind::Boolean: {
        std::uint8_t b = 0;
        read(&b, 1);
        value.boolean = b != 0;
        break;
      }
      default: {
        std::uint64_t length = 0;
        read(&length, sizeof length);
        value.text.resize(length);
        read(value.text.data(), length);
        break;
      }
    }
  }
  ++m_rowsRead;
  return true;
}

}  // namespace rowsmith::db::odbc
