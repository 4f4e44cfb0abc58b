// rowsmith-run filter FILTER [TEXT...]: runs one filter file over each TEXT,
// or over each line of standard input, one output line per value. The filter
// goes through the same server calls a run makes (newWindow, openFilter,
// compileFilter, then processStringWithCompiledFilter per value). Long
// standard input under a filter that is slow per byte is spread over worker
// threads, each with its own server; a cheap filter keeps it on the main
// thread, where it costs the least CPU time.
#include <time.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cli/BlockWriter.h"
#include "cli/ChunkReader.h"
#include "cli/CommandRegistry.h"
#include "cli/LineFilterPipeline.h"
#include "common/Error.h"
#include "engine/CompiledFilters.h"
#include "engine/KeptValuesNotice.h"
#include "wordmill/FilterServer.h"

namespace rowsmith::cli {

namespace {

// Threads that filter long input, the main thread among them: one per
// processor, within reason.
unsigned filteringThreadCount() {
  const unsigned processors = std::thread::hardware_concurrency();
  return std::clamp(processors, 1u, 8u);
}

// CPU time the calling thread has used so far.
std::chrono::nanoseconds threadCpuTime() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// Worker threads only pay off for filters that spend at least this long per
// input byte. Below it, the main thread's own reading and writing take about
// as long as the filtering, so the workers would mostly wait, while handing
// chunks between threads and the memory each thread touches cost more CPU
// time than the filtering they take over.
constexpr double kWorkersFromNanosecondsPerByte = 1.0;

// Filters `chunk` into `output`. When a line fails, the lines before it are
// written to `out` before the error goes on.
void filterChunk(wordmill::FilterWindow& window, std::string_view chunk, std::string& output,
                 BlockWriter& out) {
  try {
    LineFilterPipeline::filterChunk(window, chunk, output);
  } catch (...) {
    out.write(output);
    throw;
  }
}

// Returns how many values the worker threads' filters left as they were;
// `window` counts its own.
std::uint64_t filterStandardInput(const std::string& filterPath, wordmill::FilterWindow& window,
                                  BlockWriter& out) {
  ChunkReader in(STDIN_FILENO);
  std::string_view chunk;
  std::string output;
  // The first chunks are done here, and show what the filter costs per
  // byte: the cheapest of them counts, as the others may include the first
  // touch of a buffer. Only a slow filter over input that goes on beyond
  // them is worth the worker threads.
  constexpr int kChunksToTime = 4;
  double fastest = std::numeric_limits<double>::infinity();
  for (int timed = 0; timed < kChunksToTime; ++timed) {
    if (!in.next(chunk)) return 0;
    const auto started = threadCpuTime();
    filterChunk(window, chunk, output, out);
    const auto cost = static_cast<double>((threadCpuTime() - started).count());
    fastest = std::min(fastest, cost / static_cast<double>(chunk.size()));
    out.write(output);
  }
  if (!in.next(chunk)) return 0;
  // The main thread filters too, whenever it would wait for the workers.
  const unsigned workers = filteringThreadCount() - 1;
  if (workers > 0 && fastest >= kWorkersFromNanosecondsPerByte) {
    LineFilterPipeline pipeline(filterPath, workers);
    pipeline.run(window, chunk, in, out);
    return pipeline.valuesKeptAsTheyWere();
  }
  do {
    filterChunk(window, chunk, output, out);
    out.write(output);
  } while (in.next(chunk));
  return 0;
}

int runFilter(const std::string& filterPath, const std::vector<std::string>& texts) {
  auto server = wordmill::createObject(wordmill::kWordmillProgId);
  server->hide();
  server->calledFrom("Rowsmith");
  auto filters = compileFilters(*server, {filterPath});
  // The list holds exactly one compiled filter, the one just asked for.
  wordmill::FilterWindow& window = *filters->front().holder->value;

  BlockWriter out(STDOUT_FILENO);
  std::uint64_t keptByWorkers = 0;
  try {
    if (texts.empty()) {
      keptByWorkers = filterStandardInput(filterPath, window, out);
    } else {
      for (const auto& text : texts) out.writeLine(window.processStringWithCompiledFilter(text));
    }
  } catch (...) {
    // What was already processed still reaches the output before the error.
    try {
      out.flush();
    } catch (...) {
    }
    throw;
  }
  out.flush();
  if (const std::uint64_t kept = window.valuesKeptAsTheyWere() + keptByWorkers)
    std::cerr << "rowsmith-run: " << keptValuesNotice(kept, {}, filterPath) << "\n";
  freeCompiledFilters(filters);
  return kExitOk;
}

const CommandRegistration registration(30, [](CLI::App& app, CommandAction& action) {
  auto* command = app.add_subcommand(
      "filter",
      "Run a filter file over each TEXT, or over each line of standard input, printing one "
      "line per value (\"<NULL>\" stands for SQL NULL)");
  auto filterPath = std::make_shared<std::string>();
  auto texts = std::make_shared<std::vector<std::string>>();
  command->add_option("FILTER", *filterPath, "the filter file (.fll)")->required();
  command->add_option("TEXT", *texts, "values to filter; without any, standard input is read");
  command->callback([&action, filterPath, texts] {
    action = [filterPath, texts] { return runFilter(*filterPath, *texts); };
  });
});

}  // namespace

}  // namespace rowsmith::cli
