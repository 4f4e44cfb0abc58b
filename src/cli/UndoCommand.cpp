// rowsmith-run undo JOURNAL: puts back the values a run changed, as its undo
// journal recorded them, row by row with the same check a run makes: a row
// changed since the run is left alone and listed. --dry-run only lists what
// would be done.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>

#include "cli/CommandRegistry.h"
#include "cli/RunWithProgress.h"
#include "cli/SafeText.h"
#include "document/Settings.h"
#include "engine/DataThread.h"
#include "engine/JournalUndo.h"

namespace rowsmith::cli {

namespace {

int undoRun(const std::string& journalPath, bool dryRun) {
  JournalUndo::Options undoOptions;
  undoOptions.dryRun = dryRun;
  // Only the worker writes to standard output until the run has ended.
  undoOptions.listing = [](const std::string& line) {
    std::cout << SafeText::forTerminal(line) << "\n";
  };
  RunOptions options;
  options.undo = std::make_shared<JournalUndo>(journalPath, undoOptions);
  const auto& journal = options.undo->journal();
  if (journal.rows() == 0 && journal.whyNoUndo().empty()) {
    std::cout << "Nothing to undo: the run of " << journalPath << " kept no changed row.\n";
    return kExitOk;
  }
  auto settings = options.undo->undoSettings();
  std::cerr << "rowsmith-run: " << (dryRun ? "checking" : "undoing") << " the run of "
            << (journal.jobPath().empty() ? std::string("an unsaved job") : journal.jobPath())
            << " started " << journal.started() << ": " << journal.rows()
            << (journal.rows() == 1 ? " row" : " rows") << " of table " << journal.table()
            << (journal.endStatus().empty() ? " (the run did not end: only the rows it kept)" : "")
            << "\n";
  return runWithProgress(std::move(settings), options).exitStatus;
}

const CommandRegistration registration(45, [](CLI::App& app, CommandAction& action) {
  auto* command = app.add_subcommand(
      "undo",
      "Put back the values a run changed, from its undo journal; a row changed since the run "
      "is left alone and listed");
  auto path = std::make_shared<std::string>();
  auto dryRun = std::make_shared<bool>(false);
  command->add_option("JOURNAL", *path, "the run's undo journal (.journal)")->required();
  command->add_flag("--dry-run", *dryRun, "only list what would be put back; change nothing");
  command->callback(
      [&action, path, dryRun] { action = [path, dryRun] { return undoRun(*path, *dryRun); }; });
});

}  // namespace

}  // namespace rowsmith::cli
