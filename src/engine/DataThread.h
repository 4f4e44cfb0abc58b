#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/CompiledFilters.h"
#include "engine/RunObserver.h"
#include "engine/db/api/Connection.h"
#include "engine/db/api/RecordSet.h"
#include "engine/journal/RunJournal.h"
#include "wordmill/FilterServer.h"

namespace rowsmith {

class TSettings;
class JournalUndo;

// How a run writes its results back.
struct RunOptions {
  // Writes every filtered field of every row, also a value the filter gives
  // back as it was read. Off by default: then only values that change are
  // written (valueChanges), and a row without one is not touched at all.
  bool writeEveryRow = false;
  // Keeps an undo journal of what the run changes (journal::RunJournal): at
  // `journalPath`, or beside the job when that is empty.
  bool journal = false;
  std::string journalPath;
  // Instead of filtering, puts back what a journal says an earlier run
  // changed; the job is then undo->undoSettings().
  std::shared_ptr<JournalUndo> undo;
};

// One run of a job: on a thread of its own the worker creates its own filter
// server object, compiles the job's filters, opens the job's table or query
// on its own connection and passes every row's filtered columns through
// their filters, writing the values that change back into the same row (see
// RunOptions). It reports each step to its observer and stops after the
// current row when asked to (Terminate); that row keeps its old values. A
// statement that waits for the database then (a locked row, a long query) is
// interrupted.
//
// Values that can only be read as "BLOB" (binary data and other values
// without a text form) are left as they are: writing the text "BLOB" back
// would destroy them.
//
// Threading: create() may be called on any thread; the run itself happens
// on the worker's own thread, which alone touches the server object, the
// connection and the record set. Terminate() and Terminated() may be called
// from any thread. waitFor() is for one other thread at a time. The object
// lives while anyone (the caller, the observer, the running thread) holds
// it; when the running thread drops the last reference, the worker frees
// itself.
class TDataThread : public std::enable_shared_from_this<TDataThread> {
 public:
  using ConnectFunction = std::function<std::unique_ptr<db::Connection>(const std::string&)>;

  // Takes the job over and starts the run at once. `connect` opens the
  // job's data source; by default db::connect.
  static std::shared_ptr<TDataThread> create(std::unique_ptr<TSettings> settings,
                                             std::shared_ptr<RunObserver> observer,
                                             ConnectFunction connect = {}, RunOptions options = {});
  ~TDataThread();
  TDataThread(const TDataThread&) = delete;
  TDataThread& operator=(const TDataThread&) = delete;

  // Asks the run to stop after the row it is on, and interrupts what its
  // connection waits for (db::Connection::cancel).
  void Terminate() noexcept;
  bool Terminated() const noexcept;
  // Blocks until the run's thread has ended. Not to be called on that
  // thread itself.
  void waitFor();

  // The report text of an error: "Exception %s in module %s at %p." and,
  // on a second line, the message with a full stop added unless it is
  // empty or already ends with one.
  static std::string errorReportText(const std::string& className, const std::string& module,
                                     const std::string& message);
  // The program's file name without its folder, as the report names it.
  static std::string moduleName();

  // The filter operations a run uses, for callers that think of them as the
  // worker's own (the Go command's check, the preview pages).
  static std::unique_ptr<CompiledFilterList> compileFilters(wordmill::FilterApplication& server,
                                                            const std::vector<std::string>& paths);
  static void freeCompiledFilters(std::unique_ptr<CompiledFilterList>& filters);
  static std::string readFieldText(db::RecordSet& query, int column);
  static std::optional<std::string> transformValue(
      const std::string& text, const std::shared_ptr<wordmill::FilterWindow>& filter);

 private:
  TDataThread(std::unique_ptr<TSettings> settings, std::shared_ptr<RunObserver> observer,
              ConnectFunction connect, RunOptions options);

  void Execute();
  void processRows();
  // Moves past the row in hand; false when a cancel interrupted what that
  // waited for (the row then keeps its old values).
  bool moveToNextRow();
  void transformRow(int fieldCount);
  // Of the `handled` rows, those whose changes the database holds, or that
  // needed none: what progress counts.
  long long rowsApplied(long long handled) const;
  void startJournal();
  void finishJournal(const std::string& status);
  void setStatus(const std::string& text);
  void setRowStatus(long long row, long long total);
  void setProgress(int percent);
  void handleError(std::exception_ptr error);
  void cleanUp();

  std::shared_ptr<RunObserver> m_observer;
  std::unique_ptr<TSettings> m_settings;
  ConnectFunction m_connect;
  const RunOptions m_options;
  // The status text being handed over; reused from row to row.
  std::string m_statusMessage;
  // The end of the row status (" of TOTAL"), the total it was made for and
  // the row the status text names; -1 when it names none.
  std::string m_statusSuffix;
  long long m_statusTotal = 0;
  long long m_statusRow = -1;
  std::unique_ptr<CompiledFilterList> m_filters;
  // Outlives the record set, whose commits make it durable.
  std::unique_ptr<journal::RunJournal> m_journal;
  // The current row's entries for the journal; kept with their buffers from
  // row to row, so only the first ones in use belong to the row.
  std::vector<journal::ColumnChange> m_changes;
  // The record set tells the journal of the rows it writes (no m_changes).
  bool m_journalFollows = false;
  // What the filters read and write, kept from row to row (transformRow).
  std::string m_fieldText;
  std::string m_output;
  // Rows transformRow has set values in.
  long long m_rowsWritten = 0;
  std::shared_ptr<wordmill::FilterApplication> m_server;
  // Set and cleared under m_connectionMutex, which Terminate() holds while
  // it cancels.
  std::mutex m_connectionMutex;
  std::unique_ptr<db::Connection> m_connection;
  std::unique_ptr<db::RecordSet> m_query;
  std::atomic<bool> m_terminated{false};
  std::thread m_thread;
};

}  // namespace rowsmith
