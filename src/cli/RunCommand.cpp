// rowsmith-run run JOB: checks a job as the Go command does (its settings,
// then its filters), then runs it on a worker thread and shows the run's
// progress until it ends. --write-every-row writes every filtered value,
// also those that do not change. Ctrl+C (and SIGTERM or SIGHUP) cancels as the
// Cancel button does: the row in hand keeps its old values. A second one
// stops at once; what was committed stays, and every row is wholly old or
// wholly new. A closed output pipe never stops a run: SIGPIPE is ignored and
// output that cannot be written is dropped.
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <iostream>
#include <memory>
#include <string>

#include "cli/CommandRegistry.h"
#include "cli/ProgressDisplay.h"
#include "document/Settings.h"
#include "engine/DataThread.h"
#include "engine/RunChecks.h"
#include "wordmill/FilterServer.h"

namespace rowsmith::cli {

namespace {

std::atomic<int> g_interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free, "used from a signal handler");

extern "C" void onInterrupt(int) {
  if (g_interrupts.fetch_add(1) >= 1) {
    static const char kMessage[] = "\nrowsmith-run: stopped\n";
    const ssize_t ignored = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    (void)ignored;
    ::_exit(kExitCancelled);
  }
}

// Routes SIGINT, SIGTERM and SIGHUP to the run, and ignores SIGPIPE. The
// handling stays until the process ends: a second signal that comes while
// the run is winding up must still stop the process with the status of a
// cancelled run.
//
// Threading: the main thread only.
class InterruptHandler {
 public:
  InterruptHandler() {
    g_interrupts.store(0);
    struct sigaction action {};
    action.sa_handler = &onInterrupt;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);
  }

  bool interrupted() const { return g_interrupts.load() > 0; }
};

int runJob(const std::string& jobPath, const RunOptions& options) {
  auto settings = std::make_unique<TSettings>();
  settings->LoadFromFile(jobPath);
  {
    // The Go command's check, on a server of its own that goes at once.
    auto server = wordmill::createObject(wordmill::kWordmillProgId);
    server->hide();
    server->calledFrom("Rowsmith");
    checkJob(*settings, *server);
  }

  const bool terminal = ::isatty(STDERR_FILENO) == 1;
  auto display = std::make_shared<ProgressDisplay>(STDERR_FILENO, terminal);
  InterruptHandler interrupts;
  auto thread = TDataThread::create(std::move(settings), display, {}, options);
  bool cancelAsked = false;
  while (!display->waitForEnd(std::chrono::milliseconds(100))) {
    if (!cancelAsked && interrupts.interrupted()) {
      thread->Terminate();
      cancelAsked = true;
    }
    display->draw();
  }
  thread->waitFor();
  display->clear();

  if (const auto error = display->error()) {
    std::cerr << display->lastStatus() << "\n"
              << "rowsmith-run: " << error->message << "\n";
    return kExitError;
  }
  // Ended without finishing and without an error: a silent abort.
  if (!display->finished()) return kExitError;
  std::cout << display->lastStatus() << std::endl;
  for (const std::string& notice : display->notices())
    std::cerr << "rowsmith-run: " << notice << "\n";
  return thread->Terminated() ? kExitCancelled : kExitOk;
}

const CommandRegistration registration(40, [](CLI::App& app, CommandAction& action) {
  auto* command = app.add_subcommand(
      "run",
      "Run a job: pass every row of its table or query through the column filters and write "
      "back the values that change (Ctrl+C cancels after the current row)");
  auto jobPath = std::make_shared<std::string>();
  auto options = std::make_shared<RunOptions>();
  command->add_option("JOB", *jobPath, "the job's settings file (.rsm)")->required();
  command->add_flag("--write-every-row", options->writeEveryRow,
                    "write every filtered value back, also those the filters leave as they "
                    "were (by default only changed values are written, and rows without one "
                    "are not touched)");
  command->callback([&action, jobPath, options] {
    action = [jobPath, options] { return runJob(*jobPath, *options); };
  });
});

}  // namespace

}  // namespace rowsmith::cli
