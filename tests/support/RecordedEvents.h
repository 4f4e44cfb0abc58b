#pragma once

// The events of an HTTP getter as they arrive on its worker thread, for the
// test thread to look at.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/HTTPGet.h"

namespace rowsmith::support_test {

class RecordedEvents {
 public:
  struct Snapshot {
    std::vector<std::pair<std::int64_t, std::int64_t>> progress;  // (totalSize, readed)
    std::vector<std::string> doneStrings;
    int errors = 0;

    int endings() const { return static_cast<int>(doneStrings.size()) + errors; }
  };

  // Routes getter's events here.
  void attach(THTTPGet& getter) {
    getter.setOnProgress([this](THTTPGet&, std::int64_t total, std::int64_t readed) {
      update([&](Snapshot& events) { events.progress.emplace_back(total, readed); });
    });
    getter.setOnDoneString([this](THTTPGet&, const std::string& result) {
      update([&](Snapshot& events) { events.doneStrings.push_back(result); });
    });
    getter.setOnError([this](THTTPGet&) { update([](Snapshot& events) { ++events.errors; }); });
  }

  Snapshot snapshot() const {
    std::lock_guard lock(m_mutex);
    return m_events;
  }

  // Waits until at least count progress events have arrived (a minute at most).
  bool waitForProgress(std::size_t count = 1) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::minutes(1),
                              [&] { return m_events.progress.size() >= count; });
  }

 private:
  template <typename Change>
  void update(const Change& change) {
    {
      std::lock_guard lock(m_mutex);
      change(m_events);
    }
    m_changed.notify_all();
  }

  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  Snapshot m_events;
};

// Waits until getter's transfer has ended (a minute at most); whether it has.
inline bool waitUntilIdle(const THTTPGet& getter) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (getter.running()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace rowsmith::support_test
