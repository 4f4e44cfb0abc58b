#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "support/CurlTransfer.h"
#include "support/HTTPGetRequest.h"

namespace rowsmith {

class THTTPGet;

// The worker of one transfer of THTTPGet: on a thread of its own it performs
// the request and raises the getter's events (OnProgress after each piece of
// the body, then OnDoneString or OnError), calling the handlers on that thread
// and waiting for each. Handlers and properties are the ones the getter had
// when the transfer started.
//
// stop() cancels the transfer and silences the worker: once stop() has
// returned no handler runs any more (on another thread, stop() waits for a
// handler that is running; from inside a handler it only marks the worker), so
// the getter and its owner may go away. The worker calls no handler and never
// touches the getter after that.
//
// Threading: create(), start(), running(), stop() and waitFor() are for the
// getter's controlling thread; stop() and onWorkerThread() also for the
// handlers on the worker thread. The object lives while the getter or the
// running thread holds it.
class THTTPGetThread : public std::enable_shared_from_this<THTTPGetThread> {
 public:
  static std::shared_ptr<THTTPGetThread> create(THTTPGet& owner, HTTPGetRequest request,
                                                HTTPGetEvents events);
  ~THTTPGetThread();
  THTTPGetThread(const THTTPGetThread&) = delete;
  THTTPGetThread& operator=(const THTTPGetThread&) = delete;

  // Starts the thread. The getter keeps the worker first, so that its
  // handlers may reach the worker through the getter.
  void start();
  // Until the last event is raised; false from the moment its handler starts.
  bool running() const noexcept { return m_running; }
  void stop() noexcept;
  // Blocks until the thread has ended. Does nothing on the worker thread itself.
  void waitFor();
  bool onWorkerThread() const noexcept { return std::this_thread::get_id() == m_workerId.load(); }

 private:
  THTTPGetThread(THTTPGet& owner, HTTPGetRequest request, HTTPGetEvents events);

  void run();
  // Runs a handler unless the worker has been stopped; with last, the worker
  // counts as ended from then on.
  template <typename Call>
  void raise(const Call& call, bool last = false);

  THTTPGet* m_owner;
  HTTPGetEvents m_events;
  CurlTransfer m_transfer;
  std::mutex m_eventMutex;  // held while a handler runs
  bool m_stopped = false;   // guarded by m_eventMutex
  std::atomic<bool> m_running{true};
  std::atomic<std::thread::id> m_workerId;
  std::thread m_thread;  // touched by the worker thread only in the destructor
};

}  // namespace rowsmith
