#include "engine/db/odbc/OdbcHandle.h"

#include <utility>

#include "engine/db/odbc/OdbcError.h"

namespace rowsmith::db::odbc {

OdbcHandle::OdbcHandle(SQLSMALLINT type, SQLHANDLE parent, const char* context) : m_type(type) {
  const SQLRETURN rc = SQLAllocHandle(type, parent, &m_handle);
  if (!SQL_SUCCEEDED(rc)) {
    m_handle = SQL_NULL_HANDLE;
    if (type == SQL_HANDLE_ENV) OdbcError::raise(context, "the ODBC driver manager gave no handle");
    const SQLSMALLINT parentType = type == SQL_HANDLE_DBC ? SQL_HANDLE_ENV : SQL_HANDLE_DBC;
    OdbcError::raise(context, parentType, parent);
  }
}

OdbcHandle::~OdbcHandle() { reset(); }

OdbcHandle::OdbcHandle(OdbcHandle&& other) noexcept
    : m_type(other.m_type), m_handle(std::exchange(other.m_handle, SQLHANDLE{})) {}

OdbcHandle& OdbcHandle::operator=(OdbcHandle&& other) noexcept {
  if (this != &other) {
    reset();
    m_type = other.m_type;
    m_handle = std::exchange(other.m_handle, SQLHANDLE{});
  }
  return *this;
}

void OdbcHandle::reset() noexcept {
  if (m_handle != SQL_NULL_HANDLE) SQLFreeHandle(m_type, m_handle);
  m_handle = SQL_NULL_HANDLE;
}

}  // namespace rowsmith::db::odbc
