#include "support/HTTPGetThread.h"

#include <optional>
#include <string>

#include "common/ThreadEnd.h"

namespace rowsmith {

std::shared_ptr<THTTPGetThread> THTTPGetThread::create(THTTPGet& owner, HTTPGetRequest request,
                                                       HTTPGetEvents events) {
  return std::shared_ptr<THTTPGetThread>(
      new THTTPGetThread(owner, std::move(request), std::move(events)));
}

void THTTPGetThread::start() {
  m_thread = std::thread([self = shared_from_this()] { self->run(); });
}

THTTPGetThread::THTTPGetThread(THTTPGet& owner, HTTPGetRequest request, HTTPGetEvents events)
    : m_owner(&owner), m_events(std::move(events)), m_transfer(std::move(request)) {}

// The running thread drops the last reference when the getter has gone.
THTTPGetThread::~THTTPGetThread() { joinOrDetach(m_thread); }

void THTTPGetThread::stop() noexcept {
  if (onWorkerThread()) {
    // Inside a handler, which holds the event lock already.
    m_stopped = true;
  } else {
    std::lock_guard lock(m_eventMutex);
    m_stopped = true;
  }
  m_transfer.cancel();
}

void THTTPGetThread::waitFor() {
  if (onWorkerThread()) return;
  if (m_thread.joinable()) m_thread.join();
}

template <typename Call>
void THTTPGetThread::raise(const Call& call, bool last) {
  std::lock_guard lock(m_eventMutex);
  if (last) m_running = false;
  if (m_stopped) return;
  try {
    call();
  } catch (...) {
    // A handler's failure has nowhere to go on this thread; the transfer goes on.
  }
}

void THTTPGetThread::run() {
  m_workerId = std::this_thread::get_id();
  std::optional<std::string> answer;
  try {
    answer = m_transfer.perform([this](std::int64_t totalSize, std::int64_t bytesRead) {
      raise([&] {
        if (m_events.onProgress) m_events.onProgress(*m_owner, totalSize, bytesRead);
      });
    });
  } catch (...) {
    answer.reset();
  }
  raise(
      [&] {
        if (answer && m_events.onDoneString) m_events.onDoneString(*m_owner, *answer);
        if (!answer && m_events.onError) m_events.onError(*m_owner);
      },
      true);
  m_workerId = std::thread::id();
}

}  // namespace rowsmith
