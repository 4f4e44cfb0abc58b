#pragma once

#include <memory>

#include "cli/ProgressDisplay.h"
#include "engine/DataThread.h"

namespace rowsmith::cli {

struct RunOutcome {
  int exitStatus = 0;
  std::shared_ptr<ProgressDisplay> display;
};

// Runs `settings` on a worker thread and shows its progress on stderr until
// it ends. Ctrl+C (and SIGTERM or SIGHUP) cancels as the Cancel button does:
// the row in hand keeps its old values. A second one stops at once; what was
// committed stays, and every row is wholly old or wholly new. A closed output
// pipe never stops a run: SIGPIPE is ignored and output that cannot be
// written is dropped. The final status goes to stdout, notices and errors to
// stderr.
//
// Threading: the main thread only (it installs signal handlers).
RunOutcome runWithProgress(std::unique_ptr<TSettings> settings, const RunOptions& options);

}  // namespace rowsmith::cli
