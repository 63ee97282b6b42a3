// updpack: builds a game update executable from the bare updater and a folder
// of files, and lists, verifies and extracts such updates.
#include <CLI/CLI.hpp>

#include "updpack/cmd/commands.h"
#include "updpack/report.h"

#ifndef UPDPACK_VERSION
#define UPDPACK_VERSION "0.0.0"
#endif

int main(int argc, char** argv) {
  CLI::App app{"updpack: builds and inspects self-extracting game updates"};
  app.set_version_flag("--version", "updpack " UPDPACK_VERSION);
  UpdpackContext context;
  app.add_flag("-q,--quiet", context.quiet, "Print nothing but errors");
  app.fallthrough();  // --quiet also after the subcommand's name
  app.require_subcommand(1);
  app.parse_complete_callback([&] { SetQuiet(context.quiet); });

  // Subcommands register themselves here.
  RegisterBuildCommand(app, context);
  RegisterListCommand(app, context);
  RegisterVerifyCommand(app, context);
  RegisterExtractCommand(app, context);
  RegisterCheckCommand(app, context);
  RegisterImageCommand(app, context);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? kExitOk : kExitBadUsage;
  }
  return context.result;
}
