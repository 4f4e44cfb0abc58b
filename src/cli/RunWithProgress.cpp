#include "cli/RunWithProgress.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <iostream>

#include "cli/CommandRegistry.h"
#include "document/Settings.h"

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

}  // namespace

RunOutcome runWithProgress(std::unique_ptr<TSettings> settings, const RunOptions& options) {
  const bool terminal = ::isatty(STDERR_FILENO) == 1;
  RunOutcome outcome;
  outcome.display = std::make_shared<ProgressDisplay>(STDERR_FILENO, terminal);
  ProgressDisplay& display = *outcome.display;
  InterruptHandler interrupts;
  auto thread = TDataThread::create(std::move(settings), outcome.display, {}, options);
  bool cancelAsked = false;
  while (!display.waitForEnd(std::chrono::milliseconds(100))) {
    if (!cancelAsked && interrupts.interrupted()) {
      thread->Terminate();
      cancelAsked = true;
    }
    display.draw();
  }
  thread->waitFor();
  display.clear();

  if (const auto error = display.error()) {
    std::cerr << display.lastStatus() << "\n"
              << "rowsmith-run: " << error->message << "\n";
    outcome.exitStatus = kExitError;
    return outcome;
  }
  // Ended without finishing and without an error: a silent abort.
  if (!display.finished()) {
    outcome.exitStatus = kExitError;
    return outcome;
  }
  std::cout << display.lastStatus() << std::endl;
  for (const std::string& notice : display.notices())
    std::cerr << "rowsmith-run: " << notice << "\n";
  outcome.exitStatus = thread->Terminated() ? kExitCancelled : kExitOk;
  return outcome;
}

}  // namespace rowsmith::cli
