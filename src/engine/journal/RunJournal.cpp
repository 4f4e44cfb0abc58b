#include "engine/journal/RunJournal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>

#include "common/AsciiCase.h"
#include "common/Error.h"
#include "engine/journal/JournalFormat.h"

namespace rowsmith::journal {

namespace {

constexpr std::size_t kBufferLimit = 1 << 20;

std::string timeStamp(std::time_t when, const char* format) {
  std::tm parts{};
  gmtime_r(&when, &parts);
  char text[32];
  std::strftime(text, sizeof text, format, &parts);
  return text;
}

std::filesystem::path stateFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && *state == '/') return std::filesystem::path(state) / "rowsmith/journals";
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home != nullptr && *home != '\0' ? home : "/tmp") /
         ".local/state/rowsmith/journals";
}

}  // namespace

int RunJournal::createFile(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
}

RunJournal::RunJournal(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}

RunJournal::RunJournal(const std::string& path, const std::string& connectionString,
                       const std::string& jobPath, std::time_t started)
    : m_fd(createFile(path)), m_path(path) {
  if (m_fd < 0) {
    const int error = errno;
    throw Error("Cannot create the undo journal " + path + ": " + std::strerror(error) +
                (error == EEXIST ? " (a journal is never overwritten; name another file)" : ""));
  }
  try {
    start(connectionString, jobPath, started);
  } catch (...) {
    // No destructor runs for an object whose constructor failed.
    ::close(m_fd);
    throw;
  }
}

RunJournal RunJournal::besideJob(const std::string& jobPath, const std::string& connectionString,
                                 std::time_t started) {
  namespace fs = std::filesystem;
  const std::string stamp = timeStamp(started, "%Y%m%d-%H%M%S");
  std::vector<fs::path> stems;
  if (!jobPath.empty()) {
    fs::path job(jobPath);
    stems.push_back(job.parent_path() / job.stem());
  }
  const fs::path folder = stateFolder();
  std::error_code ignored;
  stems.push_back(folder /
                  (jobPath.empty() ? std::string("untitled") : fs::path(jobPath).stem().string()));
  int lastError = 0;
  std::string lastPath;
  for (const fs::path& stem : stems) {
    if (stem.parent_path() == folder) fs::create_directories(folder, ignored);
    for (int attempt = 1; attempt < 100; ++attempt) {
      std::string path = stem.string() + "." + stamp;
      if (attempt > 1) path += "-" + std::to_string(attempt);
      path += ".journal";
      const int fd = createFile(path);
      if (fd >= 0) {
        RunJournal journal(fd, path);
        journal.start(connectionString, jobPath, started);
        return journal;
      }
      lastError = errno;
      lastPath = path;
      if (lastError != EEXIST) break;
    }
  }
  throw Error("Cannot create the undo journal " + lastPath + ": " + std::strerror(lastError));
}

RunJournal::RunJournal(RunJournal&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)),
      m_path(std::move(other.m_path)),
      m_buffer(std::move(other.m_buffer)),
      m_used(std::exchange(other.m_used, 0)),
      m_written(other.m_written),
      m_tableWritten(other.m_tableWritten),
      m_whyNoUndo(std::move(other.m_whyNoUndo)),
      m_rows(other.m_rows),
      m_keyFields(std::move(other.m_keyFields)) {}

RunJournal::~RunJournal() {
  if (m_fd < 0) return;
  try {
    makeDurable();
  } catch (...) {
    // The run has reported what it could; a closing journal has no one to
    // tell.
  }
  ::close(m_fd);
}

void RunJournal::start(const std::string& connectionString, const std::string& jobPath,
                       std::time_t started) {
  // Room for a full block and the row that fills it, so that appending
  // never moves the buffer in the common case.
  m_buffer.resize(kBufferLimit + (64 << 10));
  std::string record(kJournalHeader);
  record += 'S';
  appendField(record, connectionString);
  appendField(record, jobPath);
  appendField(record, timeStamp(started, "%Y-%m-%dT%H:%M:%SZ"));
  record += '\n';
  append(record);
  makeDurable();
  // The new name itself must survive a crash.
  const std::string folder = std::filesystem::path(m_path).parent_path().string();
  const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

void RunJournal::writeTable(db::RecordSet& recordSet, const db::RowLocation& where) {
  m_tableWritten = true;
  const int fields = recordSet.fieldCount();
  std::vector<std::string> columns;
  for (int i = 0; i < fields; ++i) columns.push_back(recordSet.baseColumnName(i));
  std::string record = "T";
  appendField(record, where.table);
  appendField(record, std::to_string(where.keyColumns.size()));
  for (const std::string& name : where.keyColumns) appendField(record, name);
  appendField(record, std::to_string(columns.size()));
  for (const std::string& name : columns) appendField(record, name);
  record += '\n';
  append(record);

  m_keyFields.assign(where.keyColumns.size(), -1);
  for (std::size_t k = 0; k < where.keyColumns.size(); ++k)
    for (int i = 0; i < fields; ++i)
      if (equalsIgnoringAsciiCase(columns[static_cast<std::size_t>(i)], where.keyColumns[k]))
        m_keyFields[k] = i;
}

bool RunJournal::follow(db::RecordSet& recordSet) {
  if (!m_whyNoUndo.empty() || !recordSet.reportWrittenRows(this)) return false;
  if (!m_tableWritten) {
    db::RowLocation& where = m_scratch;
    if (!recordSet.locateRow(where)) {
      // Recorded row by row: the first row's record says why it cannot be.
      recordSet.reportWrittenRows(nullptr);
      return false;
    }
    writeTable(recordSet, where);
  }
  return true;
}

void RunJournal::recordRow(db::RecordSet& recordSet, std::span<const ColumnChange> changes) {
  if (!m_whyNoUndo.empty()) return;
  db::RowLocation& where = m_scratch;
  // The table and its key columns are the same for every row: after the
  // first row only the key values are asked for.
  const bool found =
      m_tableWritten ? recordSet.currentKeyValues(where) : recordSet.locateRow(where);
  if (!found) {
    m_whyNoUndo = where.table;
    std::string record = "N";
    appendField(record, m_whyNoUndo);
    record += '\n';
    append(record);
    return;
  }
  if (!m_tableWritten) writeTable(recordSet, where);
  m_keyViews.assign(where.keyValues.begin(), where.keyValues.end());
  m_fields.resize(changes.size());
  for (std::size_t i = 0; i < changes.size(); ++i)
    m_fields[i] = db::WrittenField{changes[i].ordinal, changes[i].oldValue, changes[i].newValue};
  writeRow(m_keyViews, m_fields);
  if (m_used >= kBufferLimit) writeOut();
}

void RunJournal::rowWritten(std::span<const std::string_view> key,
                            std::span<const db::WrittenField> fields) noexcept {
  // A record set cannot stop for an error here: the records stay in the
  // buffer, and the commit that needs them tries again (makeDurable) and
  // fails with the error if it lasts. A row that could not even be buffered
  // fails every commit from now on.
  try {
    writeRow(key, fields);
  } catch (...) {
    m_rowLost = true;
    return;
  }
  if (!m_writeFailed && m_used >= kBufferLimit) m_writeFailed = tryWriteOut() != 0;
}

void RunJournal::writeRow(std::span<const std::string_view> key,
                          std::span<const db::WrittenField> fields) {
  // A row whose key the run wrote is found again by its new key: the key is
  // copied only then.
  for (std::size_t k = 0; k < m_keyFields.size() && k < key.size(); ++k) {
    if (m_keyFields[k] < 0) continue;
    for (const db::WrittenField& field : fields) {
      if (field.ordinal != m_keyFields[k] || !field.newValue) continue;
      if (key.data() != m_keyViews.data()) {
        m_keyViews.assign(key.begin(), key.end());
        key = m_keyViews;
      }
      m_keyViews[k] = *field.newValue;
    }
  }
  // Written in one pass into room made for the longest form of the record.
  std::size_t room = 2 + 2 * kFieldRoom;
  for (const std::string_view value : key) room += kFieldRoom + value.size();
  for (const db::WrittenField& field : fields)
    room += 4 * kFieldRoom + (field.oldValue ? field.oldValue->size() : 0) +
            (field.newValue ? field.newValue->size() : 0);
  char* out = makeRoom(room);
  *out++ = 'R';
  for (const std::string_view value : key) out = writeField(out, value);
  out = writeNumberField(out, static_cast<long long>(fields.size()));
  for (const db::WrittenField& field : fields) {
    out = writeNumberField(out, field.ordinal);
    out = writeField(out, field.oldValue);
    out = writeField(out, field.newValue);
  }
  *out++ = '\n';
  m_used = static_cast<std::size_t>(out - m_buffer.data());
  ++m_rows;
}

char* RunJournal::makeRoom(std::size_t room) {
  if (m_buffer.size() - m_used < room)
    m_buffer.resize(std::max(2 * m_buffer.size(), m_used + room));
  return m_buffer.data() + m_used;
}

void RunJournal::append(std::string_view record) {
  std::memcpy(makeRoom(record.size()), record.data(), record.size());
  m_used += record.size();
}

void RunJournal::writeOut() {
  if (const int error = tryWriteOut()) fail(error);
}

int RunJournal::tryWriteOut() noexcept {
  std::size_t done = 0;
  while (done < m_used) {
    const ssize_t wrote = ::write(m_fd, m_buffer.data() + done, m_used - done);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      // What was not written stays for the next try.
      const int error = errno;
      std::memmove(m_buffer.data(), m_buffer.data() + done, m_used - done);
      m_used -= done;
      m_written += static_cast<long long>(done);
      return error;
    }
    done += static_cast<std::size_t>(wrote);
  }
  // Start writing the block to disk now, so that the sync before the next
  // commit has little left to wait for.
  ::sync_file_range(m_fd, static_cast<off_t>(m_written), static_cast<off_t>(done),
                    SYNC_FILE_RANGE_WRITE);
  m_written += static_cast<long long>(done);
  m_used = 0;
  return 0;
}

void RunJournal::makeDurable() {
  if (m_fd < 0) return;
  if (m_rowLost)
    throw Error("Cannot write the undo journal " + m_path + ": out of memory for a row's record");
  // A write that failed while a record set told of its rows is tried again.
  m_writeFailed = false;
  writeOut();
  if (::fdatasync(m_fd) != 0) fail(errno);
}

void RunJournal::finish(const std::string& status) {
  std::string record = "E";
  appendField(record, status);
  record += '\n';
  append(record);
  makeDurable();
}

void RunJournal::fail(int error) const {
  throw Error("Cannot write the undo journal " + m_path + ": " + std::strerror(error));
}

}  // namespace rowsmith::journal
