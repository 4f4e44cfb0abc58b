// rowsmith-run dde TEXT: hands an execute request to the running desktop
// program, as its file manager integration or a script would.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>

#include "cli/CommandRegistry.h"
#include "document/DdeChannel.h"

namespace rowsmith::cli {

namespace {

struct DdeOptions {
  std::string text;
  std::string service = "rowsmith";
  bool queryState = false;
};

int runDde(const DdeOptions& options) {
  const std::string socket = DdeChannel::socketPath(options.service);
  const char kind = options.queryState ? DdeChannel::kQueryState : DdeChannel::kExecute;
  const DdeClientReply reply = sendDdeRequest(socket, kind, options.text);
  if (reply.status != DdeChannel::kProcessed) {
    std::cerr << "rowsmith-run: " << reply.payload << "\n";
    return kExitError;
  }
  std::cout << reply.payload;
  return kExitOk;
}

const CommandRegistration registration(60, [](CLI::App& app, CommandAction& action) {
  auto* command = app.add_subcommand(
      "dde", "Send a request to the running desktop program, e.g. '[FileOpen(\"/path/job.rsm\")]'");
  auto options = std::make_shared<DdeOptions>();
  command->add_option("text", options->text, "the request text")->type_name("TEXT");
  command
      ->add_option("--service", options->service,
                   "the program's executable name (default rowsmith)")
      ->type_name("NAME");
  // For tests and scripts that check what the window shows: prints its title, page and
  // modified flag. Not listed in the help.
  command->add_flag("--query-state", options->queryState)->group("");
  command->callback([&action, options, command] {
    if (!options->queryState && command->count("text") == 0) throw CLI::RequiredError("text");
    action = [options] { return runDde(*options); };
  });
});

}  // namespace

}  // namespace rowsmith::cli
