// Command-line conventions shared by the subcommands.
#include <CLI/CLI.hpp>

#include "updpack/cmd/commands.h"
#include "updpack/fsys/fsys.h"
#include "updpack/report.h"

namespace {

// The first word after "not expected: " in CLI11's message of extras.
std::string FirstExtra(const std::string& what) {
  size_t colon = what.find(": ");
  std::string rest = colon == std::string::npos ? what : what.substr(colon + 2);
  return rest.substr(0, rest.find(' '));
}

std::string Unknown(const std::string& extra) {
  return (extra.size() > 1 && extra[0] == '-' ? "unknown option "
                                              : "unknown subcommand or argument ") +
         extra;
}

bool IsNumber(const std::string& s) {
  return !s.empty() && s.find_first_not_of("0123456789+-") == std::string::npos;
}

std::string Message(const CLI::App* app, const CLI::Error& e) {
  std::string what = e.what();
  std::string name = e.get_name();
  // An unknown word where a subcommand is wanted: CLI11 says only that one
  // is required, the word is left over.
  std::vector<std::string> left = app->remaining();
  if (name == "RequiredError" && !left.empty() && what.find("ubcommand") != std::string::npos) {
    what = Unknown(left.front());
  } else if (name == "ValidationError" && what.find("not in range") != std::string::npos) {
    // "--jobs: Value abc not in range 0 to 1024"
    size_t value = what.find("Value ");
    size_t end = what.find(" not in range");
    std::string given = value == std::string::npos ? "" : what.substr(value + 6, end - value - 6);
    if (!IsNumber(given))
      what = what.substr(0, what.find(':')) + " wants a number, not \"" + given + "\"";
  } else if (name == "ExtrasError") {
    std::string extra = FirstExtra(what);
    what = Unknown(extra);
  } else if (name == "ConversionError" ||
             (name == "ValidationError" && what.find("number") != std::string::npos)) {
    // "Could not convert: -j,--jobs = abc" and the like.
    size_t colon = what.find(": ");
    size_t equals = what.find(" = ");
    if (colon != std::string::npos && equals != std::string::npos && equals > colon)
      what = what.substr(colon + 2, equals - colon - 2) + " wants a number, not \"" +
             what.substr(equals + 3) + "\"";
  }
  std::string text = "updpack: " + what + "\n";
  if (app->get_help_ptr()) text += "Run with --help for more information.\n";
  return text;
}

}  // namespace

const CLI::Validator& NonEmptyPath() {
  static const CLI::Validator rule(
      [](std::string& value) {
        return value.empty() ? std::string("an empty path") : std::string();
      },
      "PATH");
  return rule;
}

void SetUsageMessages(CLI::App& app) { app.failure_message(Message); }

int RequireFolder(const std::string& path) {
  FsItem item;
  std::string error;
  if (FsStat(path, &item, &error) == 0 && item.isFolder) return kExitOk;
  ReportError(FsShown(path).c_str(), "%s", error.empty() ? "not a folder" : error.c_str());
  return kExitBadInput;
}
