// rowsmith-run run JOB: checks a job as the Go command does (its settings,
// then its filters), then runs it on a worker thread and shows the run's
// progress until it ends (see runWithProgress). --write-every-row writes
// every filtered value, also those that do not change. The run keeps an
// undo journal beside the job, or where --journal says; --no-journal keeps
// none.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>

#include "cli/CommandRegistry.h"
#include "cli/RunWithProgress.h"
#include "document/Settings.h"
#include "engine/DataThread.h"
#include "engine/RunChecks.h"
#include "wordmill/FilterServer.h"

namespace rowsmith::cli {

namespace {

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
  const RunOutcome outcome = runWithProgress(std::move(settings), options);
  if (outcome.display->journalRows() > 0)
    std::cerr << "rowsmith-run: the changes of " << outcome.display->journalRows()
              << (outcome.display->journalRows() == 1 ? " row are" : " rows are")
              << " in the undo journal " << outcome.display->journalPath()
              << " (rowsmith-run undo JOURNAL puts them back)\n";
  return outcome.exitStatus;
}

const CommandRegistration registration(40, [](CLI::App& app, CommandAction& action) {
  auto* command = app.add_subcommand(
      "run",
      "Run a job: pass every row of its table or query through the column filters and write "
      "back the values that change (Ctrl+C cancels after the current row)");
  auto jobPath = std::make_shared<std::string>();
  auto options = std::make_shared<RunOptions>();
  auto noJournal = std::make_shared<bool>(false);
  command->add_option("JOB", *jobPath, "the job's settings file (.rsm)")->required();
  command->add_flag("--write-every-row", options->writeEveryRow,
                    "write every filtered value back, also those the filters leave as they "
                    "were (by default only changed values are written, and rows without one "
                    "are not touched)");
  auto* journal =
      command->add_option("--journal", options->journalPath,
                          "keep the undo journal in FILE (a new file) instead of beside the job as "
                          "JOB.YYYYMMDD-HHMMSS.journal");
  command->add_flag("--no-journal", *noJournal, "keep no undo journal")->excludes(journal);
  command->callback([&action, jobPath, options, noJournal] {
    options->journal = !*noJournal;
    action = [jobPath, options] { return runJob(*jobPath, *options); };
  });
});

}  // namespace

}  // namespace rowsmith::cli
