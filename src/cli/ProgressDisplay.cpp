#include "cli/ProgressDisplay.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "document/Settings.h"

namespace rowsmith::cli {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kTerminalInterval = std::chrono::milliseconds(100);
constexpr auto kPlainInterval = std::chrono::milliseconds(500);
constexpr int kBarWidth = 24;

std::string formatDuration(long long seconds) {
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
  }
  return text;
}

int terminalColumns(int fd) {
  winsize size{};
  if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

// Cuts text to at most `width` characters, counting UTF-8 sequences as one.
std::string fitWidth(const std::string& text, int width) {
  int characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (characters == width) return text.substr(0, i);
    ++characters;
  }
  return text;
}

}  // namespace

ProgressDisplay::ProgressDisplay(int fd, bool terminal)
    : m_fd(fd), m_terminal(terminal), m_started(Clock::now()) {}

void ProgressDisplay::showStatus(const std::string& text) {
  std::lock_guard lock(m_mutex);
  m_status.assign(text);
}

void ProgressDisplay::showProgress(int percent) {
  m_percent.store(percent, std::memory_order_relaxed);
}

void ProgressDisplay::attachThread(const std::shared_ptr<TDataThread>&) {
  // The runner keeps the worker from the start; nothing to add here.
}

void ProgressDisplay::showNotice(const std::string& text) {
  std::lock_guard lock(m_mutex);
  m_notices.push_back(text);
}

std::vector<std::string> ProgressDisplay::notices() const {
  std::lock_guard lock(m_mutex);
  return m_notices;
}

void ProgressDisplay::setFinished() {
  std::lock_guard lock(m_mutex);
  m_finished = true;
}

void ProgressDisplay::showError(const RunErrorReport& report) {
  std::lock_guard lock(m_mutex);
  // The first error is the one that ended the run.
  if (!m_error) m_error = report;
}

void ProgressDisplay::releaseSettings(std::unique_ptr<TSettings> settings) {
  settings.reset();
  {
    std::lock_guard lock(m_mutex);
    m_over = true;
  }
  m_ended.notify_all();
}

void ProgressDisplay::rowDone(long long applied, long long total) {
  // The rate runs from the first row handled, applied or not yet; only the
  // worker writes here.
  if (m_firstRowTicks.load(std::memory_order_relaxed) == 0) {
    m_firstRowTicks.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
  }
  m_total.store(total, std::memory_order_relaxed);
  m_row.store(applied, std::memory_order_relaxed);
}

bool ProgressDisplay::waitForEnd(std::chrono::milliseconds timeout) {
  std::unique_lock lock(m_mutex);
  return m_ended.wait_for(lock, timeout, [this] { return m_over; });
}

void ProgressDisplay::draw() {
  const auto now = Clock::now();
  if (now - m_lastDrawn < (m_terminal ? kTerminalInterval : kPlainInterval)) return;
  m_lastDrawn = now;
  const std::string status = lastStatus();

  if (!m_terminal) {
    if (status.empty() || status == m_shownStatus) return;
    m_shownStatus = status;
    writeOut(status + "\n");
    return;
  }
  const std::string line = barLine(status, m_row.load(std::memory_order_relaxed),
                                   m_total.load(std::memory_order_relaxed));
  writeOut("\r" + fitWidth(line, terminalColumns(m_fd) - 1) + "\x1b[K");
  m_barShown = true;
}

void ProgressDisplay::clear() {
  if (m_terminal && m_barShown) writeOut("\r\x1b[K");
  m_barShown = false;
}

bool ProgressDisplay::finished() const {
  std::lock_guard lock(m_mutex);
  return m_finished;
}

std::optional<RunErrorReport> ProgressDisplay::error() const {
  std::lock_guard lock(m_mutex);
  return m_error;
}

std::string ProgressDisplay::lastStatus() const {
  std::lock_guard lock(m_mutex);
  return m_status;
}

std::string ProgressDisplay::barLine(const std::string& status, long long row,
                                     long long total) const {
  if (row < 1) return status;
  std::string line;
  char text[160];
  const long long firstTicks = m_firstRowTicks.load(std::memory_order_relaxed);
  const double elapsed = firstTicks == 0
                             ? 0.0
                             : std::chrono::duration<double>(
                                   Clock::now() - Clock::time_point(Clock::duration(firstTicks)))
                                   .count();
  const double rate = elapsed > 0.05 ? static_cast<double>(row) / elapsed : 0.0;

  if (total >= 1) {
    const int percent = std::clamp(m_percent.load(std::memory_order_relaxed), 0, 100);
    const int filled = percent * kBarWidth / 100;
    line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(kBarWidth - filled), '-') + "]";
    std::snprintf(text, sizeof text, " %3d%%  %lld of %lld rows", percent, row, total);
    line += text;
  } else {
    std::snprintf(text, sizeof text, "%lld rows", row);
    line += text;
  }
  if (rate > 0) {
    std::snprintf(text, sizeof text, "  %.0f rows/s", rate);
    line += text;
    if (total >= 1 && row < total) {
      line +=
          "  " +
          formatDuration(static_cast<long long>(static_cast<double>(total - row) / rate + 0.5)) +
          " left";
    }
  }
  line += "  " +
          formatDuration(static_cast<long long>(
              std::chrono::duration<double>(Clock::now() - m_started).count())) +
          " elapsed";
  return line;
}

void ProgressDisplay::writeOut(const std::string& text) const {
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t written = ::write(m_fd, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return;  // Progress that cannot be shown is not worth failing a run for.
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
}

void ProgressDisplay::showJournal(const std::string& path, long long rows) {
  std::lock_guard lock(m_mutex);
  m_journalPath = path;
  m_journalRows = rows;
}

std::string ProgressDisplay::journalPath() const {
  std::lock_guard lock(m_mutex);
  return m_journalPath;
}

long long ProgressDisplay::journalRows() const {
  std::lock_guard lock(m_mutex);
  return m_journalRows;
}

}  // namespace rowsmith::cli
