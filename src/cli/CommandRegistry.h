#pragma once

#include <functional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace rowsmith::cli {

// What a parsed subcommand does; returns the process exit status.
using CommandAction = std::function<int()>;

// Adds one subcommand to the runner's parser. When the user picks it, the
// adder's callback stores the work to do in `action`.
using CommandAdder = std::function<void(CLI::App& app, CommandAction& action)>;

// Each command file registers itself with a static CommandRegistration, so
// adding a command never touches main(). `order` sorts the help listing.
//
// Threading: registrations happen during static initialisation; commands()
// is read by main() afterwards, on the main thread only.
struct CommandRegistration {
  CommandRegistration(int order, CommandAdder adder);
};

struct RegisteredCommand {
  int order;
  CommandAdder adder;
};

std::vector<RegisteredCommand>& commands();

// Exit statuses shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitCancelled = 130;

}  // namespace rowsmith::cli
