#include "cli/LineFilterPipeline.h"

#include <cstring>

#include "cli/BlockWriter.h"
#include "cli/ChunkReader.h"
#include "engine/CompiledFilters.h"

namespace rowsmith::cli {

// Two chunks per filtering thread keep each one busy while the main thread
// reads and writes; more would only add buffers whose pages each cost a
// first touch.
LineFilterPipeline::LineFilterPipeline(std::string filterPath, unsigned workers)
    : m_filterPath(std::move(filterPath)), m_maxInFlight(2 * (std::size_t{workers} + 1)) {
  try {
    for (unsigned i = 0; i < workers; ++i) m_workers.emplace_back([this] { work(); });
  } catch (...) {
    stop();
    throw;
  }
}

LineFilterPipeline::~LineFilterPipeline() { stop(); }

void LineFilterPipeline::filterChunk(wordmill::FilterWindow& window, std::string_view chunk,
                                     std::string& output) {
  output.clear();
  // Room for the usual case, where the output is about as long as the input.
  output.reserve(chunk.size() + chunk.size() / 4 + 64);
  const char* at = chunk.data();
  const char* const end = at + chunk.size();
  while (at < end) {
    const auto* feed = static_cast<const char*>(std::memchr(at, '\n', end - at));
    const char* lineEnd = feed ? feed : end;
    window.processAppending(std::string_view(at, static_cast<std::size_t>(lineEnd - at)), output);
    output.push_back('\n');
    at = feed ? feed + 1 : end;
  }
}

void LineFilterPipeline::run(wordmill::FilterWindow& window, std::string_view first,
                             ChunkReader& reader, BlockWriter& writer) {
  std::deque<std::unique_ptr<Job>> inFlight;
  try {
    submit(inFlight, first);
    std::string_view chunk;
    while (reader.next(chunk)) {
      while (!inFlight.empty() && writeOldest(inFlight, writer, nullptr)) {
      }
      while (inFlight.size() >= m_maxInFlight) writeOldest(inFlight, writer, &window);
      submit(inFlight, chunk);
    }
    while (!inFlight.empty()) writeOldest(inFlight, writer, &window);
  } catch (...) {
    // The workers may still hold jobs of inFlight: stop them first.
    stop();
    throw;
  }
}

void LineFilterPipeline::submit(std::deque<std::unique_ptr<Job>>& inFlight,
                                std::string_view input) {
  // A job written out lends its buffers to the next one: the memory of the
  // chunks goes round instead of being asked for anew.
  std::unique_ptr<Job> job;
  if (m_spare.empty()) {
    job = std::make_unique<Job>();
  } else {
    job = std::move(m_spare.back());
    m_spare.pop_back();
  }
  job->input.assign(input);
  job->done = false;
  {
    std::lock_guard lock(m_mutex);
    m_queue.push_back(job.get());
  }
  inFlight.push_back(std::move(job));
  m_jobQueued.notify_one();
}

bool LineFilterPipeline::writeOldest(std::deque<std::unique_ptr<Job>>& inFlight,
                                     BlockWriter& writer, wordmill::FilterWindow* helpWith) {
  Job& oldest = *inFlight.front();
  {
    std::unique_lock lock(m_mutex);
    while (!oldest.done) {
      if (!helpWith) return false;
      if (m_queue.empty()) {
        m_jobDone.wait(lock, [&oldest] { return oldest.done; });
        break;
      }
      // Rather than wait, this thread filters the next queued chunk itself.
      Job* job = m_queue.front();
      m_queue.pop_front();
      lock.unlock();
      filterJob(*job, *helpWith);
      lock.lock();
      job->done = true;
    }
  }
  // The lines before a failing one still reach the output.
  writer.write(oldest.output);
  if (oldest.error) std::rethrow_exception(oldest.error);
  // Its output buffer keeps its size for the next job.
  m_spare.push_back(std::move(inFlight.front()));
  inFlight.pop_front();
  return true;
}

void LineFilterPipeline::filterJob(Job& job, wordmill::FilterWindow& window) {
  try {
    filterChunk(window, job.input, job.output);
  } catch (...) {
    job.error = std::current_exception();
  }
}

void LineFilterPipeline::work() {
  std::shared_ptr<wordmill::FilterApplication> server;
  std::unique_ptr<CompiledFilterList> filters;
  std::exception_ptr setupError;
  try {
    server = wordmill::createObject(wordmill::kWordmillProgId);
    server->hide();
    server->calledFrom("Rowsmith");
    filters = compileFilters(*server, {m_filterPath});
  } catch (...) {
    // Reported with the first job this worker takes.
    setupError = std::current_exception();
  }
  std::uint64_t keptSoFar = 0;
  for (;;) {
    Job* job = nullptr;
    {
      std::unique_lock lock(m_mutex);
      m_jobQueued.wait(lock, [this] { return m_closing || !m_queue.empty(); });
      if (m_queue.empty()) break;
      job = m_queue.front();
      m_queue.pop_front();
    }
    if (setupError) {
      job->error = setupError;
    } else {
      wordmill::FilterWindow& window = *filters->front().holder->value;
      filterJob(*job, window);
      // Counted before the job is done, so the total is whole once run() returns.
      const std::uint64_t kept = window.valuesKeptAsTheyWere();
      m_kept += kept - keptSoFar;
      keptSoFar = kept;
    }
    {
      std::lock_guard lock(m_mutex);
      job->done = true;
    }
    m_jobDone.notify_all();
  }
  // The windows and the server go on the thread that made them.
  try {
    freeCompiledFilters(filters);
  } catch (...) {
  }
}

void LineFilterPipeline::stop() {
  {
    std::lock_guard lock(m_mutex);
    m_closing = true;
    m_queue.clear();
  }
  m_jobQueued.notify_all();
  for (auto& worker : m_workers) {
    if (worker.joinable()) worker.join();
  }
  m_workers.clear();
}

}  // namespace rowsmith::cli
