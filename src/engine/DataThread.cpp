#include "engine/DataThread.h"

#include <unistd.h>

#include <charconv>
#include <climits>
#include <cstdio>
#include <ctime>
#include <new>
#include <span>
#include <string_view>
#include <utility>

#include "common/Error.h"
#include "common/ThreadEnd.h"
#include "document/Settings.h"
#include "engine/ColumnNameCheck.h"
#include "engine/FieldText.h"
#include "engine/JournalUndo.h"
#include "engine/KeptValuesNotice.h"
#include "engine/Preview.h"
#include "engine/ValueChange.h"
#include "engine/db/ConnectionFactory.h"

namespace rowsmith {

namespace {

void appendNumber(std::string& text, long long number) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, number);
  text.append(digits, result.ptr);
}

// Puts `text` (or NULL) into a journal entry's slot, keeping the slot's buffer.
void assignValue(std::optional<std::string>& slot, bool isNull, std::string_view text) {
  if (isNull)
    slot.reset();
  else if (slot)
    slot->assign(text);
  else
    slot.emplace(text);
}

// The whole percentage `rows` are of `total` (at least 1), at most INT_MAX.
int percentOf(long long rows, long long total) {
  const long long percent = rows * 100 / total;
  return percent > INT_MAX ? INT_MAX : static_cast<int>(percent);
}

}  // namespace

std::shared_ptr<TDataThread> TDataThread::create(std::unique_ptr<TSettings> settings,
                                                 std::shared_ptr<RunObserver> observer,
                                                 ConnectFunction connect, RunOptions options) {
  std::shared_ptr<TDataThread> thread(
      new TDataThread(std::move(settings), std::move(observer), std::move(connect), options));
  // The running thread holds the worker until the run is over; when it
  // drops the last reference the worker frees itself.
  thread->m_thread = std::thread([self = thread]() mutable {
    self->Execute();
    self.reset();
  });
  return thread;
}

TDataThread::TDataThread(std::unique_ptr<TSettings> settings, std::shared_ptr<RunObserver> observer,
                         ConnectFunction connect, RunOptions options)
    : m_observer(std::move(observer)),
      m_settings(std::move(settings)),
      m_connect(connect ? std::move(connect) : ConnectFunction(&db::connect)),
      m_options(options) {
  m_statusMessage.reserve(64);
}

// The running thread itself may drop the last reference at its end.
TDataThread::~TDataThread() { joinOrDetach(m_thread); }

void TDataThread::Terminate() noexcept {
  m_terminated.store(true, std::memory_order_relaxed);
  std::lock_guard lock(m_connectionMutex);
  if (m_connection) m_connection->cancel();
}

bool TDataThread::Terminated() const noexcept {
  return m_terminated.load(std::memory_order_relaxed);
}

void TDataThread::waitFor() {
  if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
}

std::string TDataThread::errorReportText(const std::string& className, const std::string& module,
                                         const std::string& message) {
  std::string text = "Exception " + className + " in module " + module + " at 00000000.\n";
  text += message;
  if (!message.empty() && message.back() != '.') text += '.';
  return text;
}

std::string TDataThread::moduleName() {
  static const std::string name = [] {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return std::string("rowsmith");
    std::string full(path, static_cast<std::size_t>(length));
    const auto slash = full.rfind('/');
    return slash == std::string::npos ? full : full.substr(slash + 1);
  }();
  return name;
}

std::unique_ptr<CompiledFilterList> TDataThread::compileFilters(
    wordmill::FilterApplication& server, const std::vector<std::string>& paths) {
  return rowsmith::compileFilters(server, paths);
}

void TDataThread::freeCompiledFilters(std::unique_ptr<CompiledFilterList>& filters) {
  rowsmith::freeCompiledFilters(filters);
}

std::string TDataThread::readFieldText(db::RecordSet& query, int column) {
  return rowsmith::readFieldText(query, column);
}

std::optional<std::string> TDataThread::transformValue(
    const std::string& text, const std::shared_ptr<wordmill::FilterWindow>& filter) {
  return rowsmith::transformValue(text, filter);
}

void TDataThread::Execute() {
  try {
    if (m_options.undo) {
      // Putting values back needs no filters.
      m_filters = std::make_unique<CompiledFilterList>();
    } else {
      setStatus("Connecting to Wordmill Pro...");
      m_server = wordmill::createObject(wordmill::kWordmillProgId);
      m_server->hide();
      m_filters = rowsmith::compileFilters(*m_server, m_settings->columnFilters);
    }
    m_observer->attachThread(shared_from_this());

    setStatus("Connecting to database...");
    {
      auto connection = m_connect(m_settings->dataSource);
      std::lock_guard lock(m_connectionMutex);
      m_connection = std::move(connection);
      // A cancel that came while connecting holds for what follows.
      if (Terminated()) m_connection->cancel();
    }
    db::OpenOptions options;
    options.prepared = true;
    options.cursorType = db::OpenOptions::CursorType::Dynamic;
    options.cursorLocation = db::OpenOptions::CursorLocation::Server;
    options.lockType = db::OpenOptions::LockType::Optimistic;

    setStatus("Generating result set...");
    try {
      m_query = m_connection->open(jobStatement(*m_settings, *m_connection), options);
    } catch (const Cancelled&) {
      // Cancelled while the query was opened: the run ends with no row.
      if (!Terminated()) throw;
    }
    // Filters pair with fields by position: a table changed since the job
    // was saved must not move them onto other columns.
    if (m_query && m_options.undo)
      m_options.undo->prepare(*m_query);
    else if (m_query)
      ColumnNameCheck::verify(m_settings->columnNames, *m_query);
    if (m_query && m_options.journal) startJournal();
    processRows();
  } catch (...) {
    handleError(std::current_exception());
  }
  cleanUp();
  // An observer may hold the worker (attachThread); letting go of it here
  // keeps the two from holding each other for ever.
  m_observer.reset();
}

void TDataThread::processRows() {
  long long n = 0;
  // Below 1 when the backend cannot tell.
  long long total = 0;
  if (m_query && m_query->isOpen()) {
    total = m_query->recordCount();
    if (!m_query->eof()) {
      m_query->moveFirst();
      const int fieldCount = m_query->fieldCount();
      while (!m_query->eof()) {
        ++n;
        try {
          if (m_options.undo)
            m_options.undo->restoreRow(*m_query);
          else
            transformRow(fieldCount);
        } catch (const Cancelled&) {
          // A cancel interrupted the database while the row was read or
          // written to: the row in hand keeps its old values.
          if (!Terminated()) throw;
          --n;
          break;
        }
        const long long applied = rowsApplied(n);
        m_observer->rowDone(applied, total);
        setRowStatus(n, total);
        if (total >= 1) setProgress(percentOf(applied, total));
        // Cancelling leaves the row in hand: closing discards its writes,
        // so the count reported is the rows moved past.
        if (Terminated() || !moveToNextRow()) {
          --n;
          break;
        }
      }
    }
  }
  std::vector<std::string> columnNames;
  if (m_query && m_query->isOpen())
    for (int i = 0; i < m_query->fieldCount(); ++i) columnNames.push_back(m_query->fieldName(i));
  if (m_query) {
    const bool counting = n > 0 && rowsApplied(n) < n;
    m_query->close();
    // Closing committed the last rows: every row moved past is applied.
    if (counting) {
      m_observer->rowDone(n, total);
      if (total >= 1) setProgress(percentOf(n, total));
    }
  }
  for (const std::string& notice :
       m_options.undo ? m_options.undo->notices() : keptValuesNotices(*m_filters, columnNames))
    m_observer->showNotice(notice);

  std::string text = Terminated() ? "Terminated by user. " : "Complete. ";
  appendNumber(text, n);
  text += " rows processed.";
  finishJournal(text);
  setStatus(text);
  m_observer->setFinished();
}

long long TDataThread::rowsApplied(long long handled) const {
  // Rows written but not yet committed are still on their way; a row that
  // needed no write is applied as soon as it is handled.
  const long long kept = m_query->rowsKept();
  if (kept < 0 || m_options.undo) return handled;
  return handled - (m_rowsWritten - kept);
}

bool TDataThread::moveToNextRow() {
  try {
    m_query->moveNext();
    return true;
  } catch (const Cancelled&) {
    if (!Terminated()) throw;
    return false;
  }
}

void TDataThread::startJournal() {
  const std::time_t now = std::time(nullptr);
  m_journal = std::make_unique<journal::RunJournal>(
      m_options.journalPath.empty()
          ? journal::RunJournal::besideJob(m_settings->fileName, m_settings->dataSource, now)
          : journal::RunJournal(m_options.journalPath, m_settings->dataSource, m_settings->fileName,
                                now));
  journal::RunJournal* journal = m_journal.get();
  m_query->setBeforeCommit([journal] { journal->makeDurable(); });
  // A record set that tells of the rows it writes spares a record of each
  // row here; an undo writes rows that are not the run's own.
  m_journalFollows = !m_options.undo && !m_query->eof() && journal->follow(*m_query);
}

void TDataThread::finishJournal(const std::string& status) {
  if (!m_journal) return;
  if (m_journalFollows && m_query) m_query->reportWrittenRows(nullptr);
  m_journal->finish(status);
  if (!m_journal->whyNoUndo().empty())
    m_observer->showNotice("This run cannot be undone: its rows cannot be found again (" +
                           m_journal->whyNoUndo() + ").");
  const std::string path = m_journal->path();
  const long long rows = m_journal->rows();
  if (m_query) m_query->setBeforeCommit({});
  const bool undoable = m_journal->whyNoUndo().empty();
  m_journal.reset();
  // A journal without a row has nothing to undo; it would only pile up.
  if (rows == 0 && undoable) {
    std::remove(path.c_str());
    return;
  }
  m_observer->showJournal(path, rows);
}

void TDataThread::transformRow(int fieldCount) {
  const CompiledFilterList& filters = *m_filters;
  // Values are read, filtered and compared through buffers kept from row to
  // row: a row costs no allocation once they have grown.
  std::size_t changes = 0;
  bool wrote = false;
  for (int i = 0; i < fieldCount; ++i) {
    if (static_cast<std::size_t>(i) >= filters.size()) {
      throw Error("List index out of bounds (" + std::to_string(i) + ")", "EStringListError");
    }
    const auto& holder = filters[static_cast<std::size_t>(i)].holder;
    if (!holder) continue;
    std::string_view text;
    bool readNull = false;
    // A value without a text form (binary data) is left untouched rather
    // than overwritten with what its text would be.
    if (!viewFieldText(*m_query, i, m_fieldText, text, readNull)) continue;
    const bool resultNull = !transformValueInto(text, holder->value, m_output);
    // A value that comes back as it was read is left alone, so a row whose
    // values all stay is not written at all. NULL reads as empty text: only
    // then does it matter which of the two was stored.
    if (!m_options.writeEveryRow && !valueChanges(readNull, text, resultNull, m_output)) continue;
    // The journal copies the value read before the write can touch it.
    if (m_journal && !m_journalFollows) {
      if (changes == m_changes.size()) m_changes.emplace_back();
      journal::ColumnChange& change = m_changes[changes++];
      change.ordinal = i;
      assignValue(change.oldValue, readNull, text);
      assignValue(change.newValue, resultNull, m_output);
    }
    wrote = true;
    if (resultNull)
      m_query->setValue(i, std::nullopt);
    else
      m_query->setValue(i, std::string_view(m_output));
  }
  if (wrote) ++m_rowsWritten;
  if (m_journal && !m_journalFollows && changes > 0)
    m_journal->recordRow(*m_query,
                         std::span<const journal::ColumnChange>(m_changes.data(), changes));
}

void TDataThread::setStatus(const std::string& text) {
  m_statusMessage = text;
  m_statusRow = -1;
  m_observer->showStatus(m_statusMessage);
}

void TDataThread::setRowStatus(long long row, long long total) {
  // Sent for every row: the number is counted up in place when it follows
  // the one sent last, and the part after it (" of TOTAL") is made once.
  static constexpr std::string_view kPrefix = "Processing row ";
  if (m_statusRow >= 0 && row == m_statusRow + 1 && total == m_statusTotal) {
    std::size_t digit = m_statusMessage.size() - m_statusSuffix.size();
    while (digit > kPrefix.size() && m_statusMessage[digit - 1] == '9')
      m_statusMessage[--digit] = '0';
    if (digit == kPrefix.size())
      m_statusMessage.insert(digit, 1, '1');
    else
      ++m_statusMessage[digit - 1];
  } else {
    m_statusTotal = total;
    m_statusSuffix.assign(" of ");
    if (total >= 1)
      appendNumber(m_statusSuffix, total);
    else
      m_statusSuffix.append("(Unknown)");
    m_statusMessage.assign(kPrefix);
    appendNumber(m_statusMessage, row);
    m_statusMessage.append(m_statusSuffix);
  }
  m_statusRow = row;
  m_observer->showStatus(m_statusMessage);
}

void TDataThread::setProgress(int percent) { m_observer->showProgress(percent); }

void TDataThread::handleError(std::exception_ptr error) {
  // The row in hand keeps its old values; the rows moved past are made
  // permanent before the report, so a report that waits for a person holds
  // no transaction open meanwhile.
  std::exception_ptr closeError;
  if (m_query) {
    try {
      if (m_query->isOpen()) m_query->close();
    } catch (...) {
      closeError = std::current_exception();
    }
  }

  if (m_journal) {
    try {
      finishJournal("Ended by an error.");
    } catch (...) {
      if (!closeError) closeError = std::current_exception();
    }
  }

  for (const auto& failure : {error, closeError}) {
    if (!failure) continue;
    RunErrorReport report;
    report.className = "Exception";
    try {
      std::rethrow_exception(failure);
    } catch (const SilentAbort&) {
      continue;
    } catch (const Error& e) {
      report.className = e.className();
      report.message = e.what();
    } catch (const std::bad_alloc&) {
      report.className = "EOutOfMemory";
      report.message = "Out of memory";
    } catch (const std::exception& e) {
      report.message = e.what();
    } catch (...) {
      report.message = "Unknown error";
    }
    report.text = errorReportText(report.className, moduleName(), report.message);
    try {
      m_observer->showError(report);
    } catch (...) {
      // Nobody is left to tell.
    }
  }
}

void TDataThread::cleanUp() {
  // In this order whatever happened; a failure in one step does not keep
  // the later ones from running.
  try {
    m_observer->releaseSettings(std::move(m_settings));
  } catch (...) {
  }
  m_settings.reset();
  try {
    rowsmith::freeCompiledFilters(m_filters);
  } catch (...) {
    // Every window has been closed; a failing close changes nothing here.
  }
  m_server.reset();
  // The record set is released before the connection it was opened on.
  if (m_query) {
    try {
      if (m_query->isOpen()) m_query->close();
    } catch (...) {
    }
    m_query.reset();
  }
  m_journal.reset();
  std::unique_ptr<db::Connection> connection;
  {
    std::lock_guard lock(m_connectionMutex);
    connection = std::move(m_connection);
  }
  connection.reset();
}

}  // namespace rowsmith
