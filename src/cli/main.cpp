// rowsmith-run: the headless runner. Parses the command line, hands the work
// to the chosen subcommand and turns errors into messages and exit statuses.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <exception>
#include <iostream>

#include "cli/CommandRegistry.h"
#include "common/Error.h"

namespace rowsmith::cli {

std::vector<RegisteredCommand>& commands() {
  static std::vector<RegisteredCommand> all;
  return all;
}

CommandRegistration::CommandRegistration(int order, CommandAdder adder) {
  commands().push_back({order, std::move(adder)});
}

}  // namespace rowsmith::cli

int main(int argc, char** argv) {
  using namespace rowsmith::cli;

  CLI::App app{"Rowsmith: search and replace text inside the rows of a database.", "rowsmith-run"};
  app.set_version_flag("--version", "Rowsmith 2.2");
  app.require_subcommand(1);

  auto& registered = commands();
  std::stable_sort(registered.begin(), registered.end(),
                   [](const auto& a, const auto& b) { return a.order < b.order; });
  CommandAction action;
  for (const auto& command : registered) command.adder(app, action);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "rowsmith-run: " << e.what() << "\n"
              << "Run 'rowsmith-run --help' for usage.\n";
    return kExitUsage;
  }

  if (!action) {
    std::cerr << "rowsmith-run: no command given\nRun 'rowsmith-run --help' for usage.\n";
    return kExitUsage;
  }
  try {
    return action();
  } catch (const rowsmith::SilentAbort&) {
    return kExitError;
  } catch (const std::exception& e) {
    std::cerr << "rowsmith-run: " << e.what() << "\n";
    return kExitError;
  }
}
