#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/db/api/RecordSet.h"

namespace rowsmith::db {

// How a statement is opened. Callers always ask for a prepared, dynamic,
// server-side, optimistic cursor; backends accept these and give the
// updatable, streaming behaviour they stand for.
struct OpenOptions {
  bool prepared = true;
  enum class CursorType { ForwardOnly, Keyset, Dynamic, Static } cursorType = CursorType::Dynamic;
  enum class CursorLocation { Server, Client } cursorLocation = CursorLocation::Server;
  enum class LockType {
    ReadOnly,
    Pessimistic,
    Optimistic,
    BatchOptimistic
  } lockType = LockType::Optimistic;
  // Count the rows when opening, so that recordCount() knows them (a run's
  // progress). A sample leaves it off: counting reads the whole result.
  bool countRecords = true;
};

// One open session with a database, made by a backend from a connection
// string (see ConnectionFactory). Errors are rowsmith::Error with the
// provider's own message and the operation it failed in.
//
// Threading: a connection and everything opened on it are used only by the
// thread that created it; cancel() alone may be called from any thread.
class Connection {
 public:
  virtual ~Connection() = default;

  // Interrupts what this connection and its record sets wait for (a locked
  // row, a long query) and makes their later waits fail at once: those calls
  // raise rowsmith::Cancelled; rows already written stay written. Callable
  // from any thread while the connection lives, also while its own thread is
  // inside a call. Backends that cannot interrupt ignore it.
  virtual void cancel() noexcept {}

  // Names of tables and views, in the order the database lists them.
  virtual std::vector<std::string> tableNames() = 0;
  // Runs a statement that returns rows. A statement without a result fails
  // with "CommandText does not return a result set".
  virtual std::unique_ptr<RecordSet> open(const std::string& sql, const OpenOptions& options) = 0;
  // Runs a statement that returns no rows (set-up in tests and benchmarks).
  virtual void execute(const std::string& sql) = 0;
  // What this connection reaches, for messages: provider and host or file,
  // never a password.
  virtual std::string describe() const = 0;
  // `name` as a quoted identifier of this database: in double quotes, with
  // each double quote inside doubled, unless the backend quotes otherwise.
  virtual std::string quoteIdentifier(const std::string& name) const {
    std::string quoted = "\"";
    for (char c : name) {
      if (c == '"') quoted += '"';
      quoted += c;
    }
    return quoted + "\"";
  }
};

}  // namespace rowsmith::db
