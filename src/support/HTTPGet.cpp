#include "support/HTTPGet.h"

#include "support/HTTPGetThread.h"

namespace rowsmith {

THTTPGet::THTTPGet() { m_request.agent = kDefaultAgent; }

THTTPGet::~THTTPGet() {
  if (!m_worker) return;
  m_worker->stop();
  // From a handler the thread cannot wait for itself; it ends on its own.
  m_worker->waitFor();
}

void THTTPGet::FetchString() {
  if (running() || (m_worker && m_worker->onWorkerThread())) return;
  // The last transfer's final handler may still be returning: it ends
  // first, so handlers of two transfers never overlap and none outlives the
  // getter.
  if (m_worker) m_worker->waitFor();
  m_worker = THTTPGetThread::create(*this, m_request, m_events);
  m_worker->start();
  if (m_waitThread) m_worker->waitFor();
}

void THTTPGet::Abort() {
  if (m_worker) m_worker->stop();
}

bool THTTPGet::running() const { return m_worker && m_worker->running(); }

}  // namespace rowsmith
