#include "engine/db/odbc/OdbcValueReader.h"

#include <sqlext.h>

#include <charconv>
#include <cstring>

#include "engine/db/odbc/OdbcError.h"
#include "engine/db/odbc/OdbcTypes.h"

namespace rowsmith::db::odbc {

namespace {

template <typename Number>
bool parseWhole(const std::string& text, Number& out) {
  const char* end = text.data() + text.size();
  const auto [last, error] = std::from_chars(text.data(), end, out);
  return error == std::errc() && last == end && !text.empty();
}

}  // namespace

void OdbcValueReader::read(SQLHSTMT statement, SQLUSMALLINT number, const OdbcColumn& column,
                           Value& out, const std::string& context) {
  const Value::Kind kind = OdbcTypes::valueKind(column.sqlType, column.isUnsigned);
  out.text.clear();

  if (kind == Value::Kind::Real) {
    double real = 0.0;
    SQLLEN indicator = 0;
    const SQLRETURN rc = SQLGetData(statement, number, SQL_C_DOUBLE, &real, 0, &indicator);
    if (!SQL_SUCCEEDED(rc)) OdbcError::raise(context, SQL_HANDLE_STMT, statement);
    if (indicator == SQL_NULL_DATA) {
      out.kind = Value::Kind::Null;
    } else {
      out.kind = Value::Kind::Real;
      out.real = real;
    }
    return;
  }

  const SQLSMALLINT cType = kind == Value::Kind::Binary ? SQL_C_BINARY : SQL_C_CHAR;
  if (!readPieces(statement, number, cType, out.text, context)) {
    out.kind = Value::Kind::Null;
    return;
  }
  out.kind = kind;
  switch (kind) {
    case Value::Kind::Integer:
      if (parseWhole(out.text, out.integer))
        out.text.clear();
      else
        out.kind = Value::Kind::Text;
      break;
    case Value::Kind::Unsigned:
      if (parseWhole(out.text, out.unsignedInteger))
        out.text.clear();
      else
        out.kind = Value::Kind::Text;
      break;
    case Value::Kind::Boolean:
      if (out.text == "1" || out.text == "0") {
        out.boolean = out.text == "1";
        out.text.clear();
      } else {
        out.kind = Value::Kind::Text;
      }
      break;
    default:
      break;
  }
}

bool OdbcValueReader::readPieces(SQLHSTMT statement, SQLUSMALLINT number, SQLSMALLINT cType,
                                 std::string& out, const std::string& context) {
  const std::size_t room = cType == SQL_C_CHAR ? m_buffer.size() - 1 : m_buffer.size();
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN rc = SQLGetData(statement, number, cType, m_buffer.data(),
                                    static_cast<SQLLEN>(m_buffer.size()), &indicator);
    if (rc == SQL_NO_DATA) return true;  // the previous piece was the last
    if (!SQL_SUCCEEDED(rc)) OdbcError::raise(context, SQL_HANDLE_STMT, statement);
    if (indicator == SQL_NULL_DATA) return false;
    const bool truncated =
        rc == SQL_SUCCESS_WITH_INFO &&
        (indicator == SQL_NO_TOTAL || static_cast<std::size_t>(indicator) > room);
    if (truncated) {
      out.append(m_buffer.data(), room);
      continue;
    }
    std::size_t length = 0;
    if (indicator == SQL_NO_TOTAL)
      length = cType == SQL_C_CHAR ? std::strlen(m_buffer.data()) : room;
    else
      length = std::min(static_cast<std::size_t>(indicator), room);
    out.append(m_buffer.data(), length);
    return true;
  }
}

}  // namespace rowsmith::db::odbc
