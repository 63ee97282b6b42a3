// The subcommands of updpack. Each Register* function adds its subcommand to
// the application; the subcommand's callback stores its exit code in the
// context: 0 success, 1 bad input, 2 bad usage.
#pragma once

#include <string>

namespace CLI {
class App;
class Validator;
}  // namespace CLI

struct UpdpackContext {
  bool quiet = false;
  int result = 0;
};

// Exit codes shared by every subcommand.
constexpr int kExitOk = 0;
constexpr int kExitBadInput = 1;
constexpr int kExitBadUsage = 2;

void RegisterBuildCommand(CLI::App& app, UpdpackContext& context);
void RegisterListCommand(CLI::App& app, UpdpackContext& context);
void RegisterVerifyCommand(CLI::App& app, UpdpackContext& context);
void RegisterExtractCommand(CLI::App& app, UpdpackContext& context);
void RegisterApplyCommand(CLI::App& app, UpdpackContext& context);
void RegisterCheckCommand(CLI::App& app, UpdpackContext& context);
// updpack image encode|decode|info (cmd_image.cpp).
void RegisterImageCommand(CLI::App& app, UpdpackContext& context);

// A folder argument (the game's, --base's) that must exist: kExitOk, or
// kExitBadInput after reporting why not.
int RequireFolder(const std::string& path);

// A check for path arguments: an empty one is bad usage.
const CLI::Validator& NonEmptyPath();

// Sets the messages that every parse error gets: "updpack: " first, unknown
// options and subcommands named, a number asked for where one is wanted.
void SetUsageMessages(CLI::App& app);
