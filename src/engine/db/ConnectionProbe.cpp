#include "engine/db/ConnectionProbe.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "engine/db/ConnectionFactory.h"

namespace rowsmith::db {

struct ConnectionProbe::Shared {
  std::mutex mutex;
  std::condition_variable ended;
  State outcome = State::Connecting;  // guarded by mutex
  std::string message;                // guarded by mutex
};

ConnectionProbe::ConnectionProbe(const std::string& connectionString,
                                 std::chrono::milliseconds timeLimit)
    : m_shared(std::make_shared<Shared>()),
      m_deadline(std::chrono::steady_clock::now() + timeLimit),
      m_timeLimit(timeLimit) {
  // The worker owns its copy of the string and its share of the state, so
  // it never refers to the probe, which may be gone before it ends.
  std::thread([shared = m_shared, connectionString] {
    State outcome = State::Failed;
    std::string message;
    try {
      message = connect(connectionString)->describe();
      outcome = State::Succeeded;
    } catch (const std::exception& error) {
      message = error.what();
    } catch (...) {
      message = "Unknown error while connecting";
    }
    {
      const std::lock_guard<std::mutex> lock(shared->mutex);
      shared->outcome = outcome;
      shared->message = std::move(message);
    }
    shared->ended.notify_all();
  }).detach();
}

ConnectionProbe::~ConnectionProbe() = default;

ConnectionProbe::State ConnectionProbe::state() const {
  {
    const std::lock_guard<std::mutex> lock(m_shared->mutex);
    if (m_shared->outcome != State::Connecting) return m_shared->outcome;
  }
  return std::chrono::steady_clock::now() >= m_deadline ? State::TimedOut : State::Connecting;
}

std::string ConnectionProbe::message() const {
  switch (state()) {
    case State::Connecting:
      return {};
    case State::TimedOut: {
      const auto seconds = std::chrono::ceil<std::chrono::seconds>(m_timeLimit).count();
      return "The database did not answer within " + std::to_string(seconds) +
             (seconds == 1 ? " second" : " seconds");
    }
    default: {
      const std::lock_guard<std::mutex> lock(m_shared->mutex);
      return m_shared->message;
    }
  }
}

bool ConnectionProbe::waitForWorker(std::chrono::milliseconds limit) const {
  std::unique_lock<std::mutex> lock(m_shared->mutex);
  return m_shared->ended.wait_for(lock, limit,
                                  [this] { return m_shared->outcome != State::Connecting; });
}

}  // namespace rowsmith::db
