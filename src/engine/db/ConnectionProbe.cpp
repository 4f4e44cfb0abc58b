#include "engine/db/ConnectionProbe.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

#include "engine/db/ConnectionFactory.h"

namespace rowsmith::db {
namespace {

// Every worker a probe started, kept until it has been joined, so that the
// program's exit path can wait for the workers still inside a database's
// client library. A worker marks itself ended as the last thing it does;
// joining it then waits only for the thread itself to wind down. Ended
// workers are joined when the next one starts and by waitForAll().
class ProbeWorkers {
 public:
  void start(std::function<void()> work) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    joinEnded();
    Worker& worker = m_workers.emplace_back();
    try {
      // The worker cannot mark itself ended before this lock is released,
      // so its thread handle is in place by then.
      worker.thread = std::thread([this, &worker, work = std::move(work)] {
        work();
        const std::lock_guard<std::mutex> ending(m_mutex);
        worker.ended = true;
        m_ended.notify_all();
      });
    } catch (...) {
      m_workers.pop_back();
      throw;
    }
  }

  bool waitForAll(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const bool allEnded = m_ended.wait_for(lock, limit, [this] {
      return std::all_of(m_workers.begin(), m_workers.end(),
                         [](const Worker& worker) { return worker.ended; });
    });
    joinEnded();
    return allEnded;
  }

 private:
  struct Worker {
    std::thread thread;
    bool ended = false;
  };

  // Call with m_mutex held. An ended worker no longer takes the mutex, so
  // joining it here cannot wait on this thread.
  void joinEnded() {
    m_workers.remove_if([](Worker& worker) {
      if (!worker.ended) return false;
      worker.thread.join();
      return true;
    });
  }

  std::mutex m_mutex;
  std::condition_variable m_ended;
  std::list<Worker> m_workers;  // guarded by m_mutex; list nodes never move
};

// Never destroyed: a worker may still be running while the process's static
// objects are destroyed.
ProbeWorkers& probeWorkers() {
  static auto* const workers = new ProbeWorkers;
  return *workers;
}

}  // namespace

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
  probeWorkers().start([shared = m_shared, connectionString] {
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
  });
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

bool ConnectionProbe::waitForAllWorkers(std::chrono::milliseconds limit) {
  return probeWorkers().waitForAll(limit);
}

}  // namespace rowsmith::db
