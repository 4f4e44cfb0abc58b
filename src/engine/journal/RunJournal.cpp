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
  // A row whose key the run wrote is found again by its new key.
  for (std::size_t k = 0; k < m_keyFields.size() && k < where.keyValues.size(); ++k) {
    if (m_keyFields[k] < 0) continue;
    for (const ColumnChange& change : changes)
      if (change.ordinal == m_keyFields[k] && change.newValue)
        where.keyValues[k] = *change.newValue;
  }
  // Written in one pass into room made for the longest form of the record.
  std::size_t room = 2 + 2 * kFieldRoom;
  for (const std::string& value : where.keyValues) room += kFieldRoom + value.size();
  for (const ColumnChange& change : changes)
    room += 4 * kFieldRoom + (change.oldValue ? change.oldValue->size() : 0) +
            (change.newValue ? change.newValue->size() : 0);
  char* out = makeRoom(room);
  *out++ = 'R';
  for (const std::string& value : where.keyValues) out = writeField(out, value);
  out = writeNumberField(out, static_cast<long long>(changes.size()));
  for (const ColumnChange& change : changes) {
    out = writeNumberField(out, change.ordinal);
    out = writeField(out, change.oldValue);
    out = writeField(out, change.newValue);
  }
  *out++ = '\n';
  m_used = static_cast<std::size_t>(out - m_buffer.data());
  ++m_rows;
  if (m_used >= kBufferLimit) writeOut();
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
  std::size_t done = 0;
  while (done < m_used) {
    const ssize_t wrote = ::write(m_fd, m_buffer.data() + done, m_used - done);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      m_buffer.erase(0, done);
      m_used -= done;
      fail(error);
    }
    done += static_cast<std::size_t>(wrote);
  }
  // Start writing the block to disk now, so that the sync before the next
  // commit has little left to wait for.
  ::sync_file_range(m_fd, static_cast<off_t>(m_written), static_cast<off_t>(done),
                    SYNC_FILE_RANGE_WRITE);
  m_written += static_cast<long long>(done);
  m_used = 0;
}

void RunJournal::makeDurable() {
  if (m_fd < 0) return;
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
