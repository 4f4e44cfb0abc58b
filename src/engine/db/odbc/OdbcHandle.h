#pragma once

#include <sql.h>

namespace rowsmith::db::odbc {

// Owns one ODBC handle (environment, connection or statement) and frees it
// when destroyed. Move-only.
//
// Threading: used only by the thread that owns the connection it belongs to.
class OdbcHandle {
 public:
  OdbcHandle() = default;
  // Allocates a handle of `type` under `parent` (SQL_NULL_HANDLE for an
  // environment). Throws rowsmith::Error with the driver's diagnostics,
  // prefixed by `context`, when the driver refuses.
  OdbcHandle(SQLSMALLINT type, SQLHANDLE parent, const char* context);
  ~OdbcHandle();

  OdbcHandle(OdbcHandle&& other) noexcept;
  OdbcHandle& operator=(OdbcHandle&& other) noexcept;
  OdbcHandle(const OdbcHandle&) = delete;
  OdbcHandle& operator=(const OdbcHandle&) = delete;

  SQLHANDLE get() const noexcept { return m_handle; }
  SQLSMALLINT type() const noexcept { return m_type; }
  explicit operator bool() const noexcept { return m_handle != SQL_NULL_HANDLE; }
  void reset() noexcept;

 private:
  SQLSMALLINT m_type = 0;
  SQLHANDLE m_handle = SQL_NULL_HANDLE;
};

}  // namespace rowsmith::db::odbc
