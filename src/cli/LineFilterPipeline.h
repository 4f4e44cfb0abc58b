#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "wordmill/FilterServer.h"

namespace rowsmith::cli {

class BlockWriter;
class ChunkReader;

// Runs one filter file over a stream of lines on worker threads and the
// calling thread, keeping the output in input order: each line gives one
// output line.
// Following the server's threading rule, every worker creates its own server
// object and compiles the filter there; only text crosses threads.
//
// Threading: run() and the destructor belong to the thread that created the
// pipeline; the workers touch only the job queue, under m_mutex, and the jobs
// they take from it.
class LineFilterPipeline {
 public:
  LineFilterPipeline(std::string filterPath, unsigned workers);
  // Stops and joins the workers.
  ~LineFilterPipeline();
  LineFilterPipeline(const LineFilterPipeline&) = delete;
  LineFilterPipeline& operator=(const LineFilterPipeline&) = delete;

  // Filters `first`, then every chunk `reader` still gives, writing the
  // results to `writer` in order. Whenever the calling thread would wait for
  // the workers, it filters a queued chunk itself, through `window` (which
  // belongs to it, and counts the values it keeps as they were). A failure
  // is raised after every line before the failing one has been written.
  void run(wordmill::FilterWindow& window, std::string_view first, ChunkReader& reader,
           BlockWriter& writer);

  // Passes each line of `chunk` through `window` and puts the outputs, each
  // with a line feed, in `output`.
  static void filterChunk(wordmill::FilterWindow& window, std::string_view chunk,
                          std::string& output);

  // How many values the workers' filters left as they were because writing
  // them back would have broken their structure. Whole once run() has
  // returned.
  std::uint64_t valuesKeptAsTheyWere() const { return m_kept.load(); }

 private:
  struct Job {
    std::string input;
    std::string output;
    std::exception_ptr error;
    bool done = false;  // guarded by m_mutex
  };

  void work();
  // Queues a copy of `input`, which may change once this returns.
  void submit(std::deque<std::unique_ptr<Job>>& inFlight, std::string_view input);
  // Writes the oldest job once it is done; false when it is not done and
  // `helpWith` is null. Otherwise, until it is done, filters queued jobs
  // through `helpWith`, or waits when none is left.
  bool writeOldest(std::deque<std::unique_ptr<Job>>& inFlight, BlockWriter& writer,
                   wordmill::FilterWindow* helpWith);
  // Filters the job's input into its output, or keeps the error.
  static void filterJob(Job& job, wordmill::FilterWindow& window);
  void stop();

  std::string m_filterPath;
  std::mutex m_mutex;
  std::condition_variable m_jobQueued;
  std::condition_variable m_jobDone;
  std::deque<Job*> m_queue;  // guarded by m_mutex
  bool m_closing = false;    // guarded by m_mutex
  std::size_t m_maxInFlight;
  std::atomic<std::uint64_t> m_kept{0};
  // Jobs written out, kept for their buffers; for the thread of run() only.
  std::vector<std::unique_ptr<Job>> m_spare;
  std::vector<std::thread> m_workers;
};

}  // namespace rowsmith::cli
