#include "engine/db/postgres/PostgresTableInfo.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>

#include "common/Error.h"
#include "engine/db/postgres/PostgresError.h"

namespace rowsmith::db {

namespace {

// One row per column (or one row with NULL columns for a table without
// any); key_position orders the primary key columns, 0 for the others.
constexpr const char* kCatalogQuery = R"sql(
SELECT c.relkind,
       quote_ident(n.nspname) || '.' || quote_ident(c.relname),
       CASE WHEN pg_catalog.pg_table_is_visible(c.oid) THEN c.relname
            ELSE n.nspname || '.' || c.relname END,
       a.attnum, a.attname, quote_ident(tn.nspname) || '.' || quote_ident(t.typname),
       a.attgenerated <> '',
       coalesce(array_position(i.indkey::int2[], a.attnum), -1) + 1,
       c.relname
  FROM pg_catalog.pg_class c
  JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace
  LEFT JOIN pg_catalog.pg_attribute a
    ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped
  LEFT JOIN pg_catalog.pg_type t ON t.oid = a.atttypid
  LEFT JOIN pg_catalog.pg_namespace tn ON tn.oid = t.typnamespace
  LEFT JOIN pg_catalog.pg_index i ON i.indrelid = c.oid AND i.indisprimary
 WHERE c.oid = $1::oid
 ORDER BY a.attnum)sql";

}  // namespace

PostgresTableInfo PostgresTableInfo::load(PGconn* connection, Oid table) {
  const std::string oid = std::to_string(table);
  const char* parameters[] = {oid.c_str()};
  PgResultPtr result(
      PQexecParams(connection, kCatalogQuery, 1, nullptr, parameters, nullptr, nullptr, 0));
  if (!result || PQresultStatus(result.get()) != PGRES_TUPLES_OK)
    throwPostgresError("Cannot read the catalog entry of table " + oid, connection, result.get());
  PGresult* rows = result.get();
  if (PQntuples(rows) == 0) throw Error("Table " + oid + " is not in the catalog");

  PostgresTableInfo info;
  info.m_kind = PQgetvalue(rows, 0, 0)[0];
  info.m_sqlName = PQgetvalue(rows, 0, 1);
  info.m_displayName = PQgetvalue(rows, 0, 2);
  info.m_name = PQgetvalue(rows, 0, 8);
  std::vector<std::pair<int, int>> key;  // (position, attnum)
  for (int row = 0; row < PQntuples(rows); ++row) {
    if (PQgetisnull(rows, row, 3)) continue;
    const int attnum = std::atoi(PQgetvalue(rows, row, 3));
    info.m_columns[attnum] = Column{PQgetvalue(rows, row, 4), PQgetvalue(rows, row, 5),
                                    PQgetvalue(rows, row, 6)[0] == 't'};
    const int position = std::atoi(PQgetvalue(rows, row, 7));
    if (position > 0) key.emplace_back(position, attnum);
  }
  std::sort(key.begin(), key.end());
  for (const auto& [position, attnum] : key) info.m_primaryKey.push_back(attnum);
  return info;
}

}  // namespace rowsmith::db
