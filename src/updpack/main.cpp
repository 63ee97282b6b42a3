// updpack: builds a game update executable from the bare updater and a folder
// of files; lists, verifies and extracts such updates; checks install.env
// files; converts title pictures. One command per run (src/updpack/cmd).
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>

#include "updpack/cmd/commands.h"
#include "updpack/report.h"

#ifndef UPDPACK_VERSION
#define UPDPACK_VERSION "0.0.0"
#endif

int main(int argc, char** argv) {
  // Named, so that the usage line does not show the path it was started by.
  CLI::App app{"updpack: builds and inspects self-extracting game updates", "updpack"};
  SetUsageMessages(app);
  app.set_version_flag("--version", "updpack " UPDPACK_VERSION);
  UpdpackContext context;
  app.add_flag("-q,--quiet", context.quiet, "Print nothing but errors");
  app.fallthrough();  // --quiet also after the subcommand's name
  app.require_subcommand(1);
  app.parse_complete_callback([&] { SetQuiet(context.quiet); });

  // build, list, verify, extract, apply, check, image: each in cmd/cmd_<name>.cpp.
  RegisterBuildCommand(app, context);
  RegisterListCommand(app, context);
  RegisterVerifyCommand(app, context);
  RegisterExtractCommand(app, context);
  RegisterApplyCommand(app, context);
  RegisterCheckCommand(app, context);
  RegisterImageCommand(app, context);

  int result = context.result;
  try {
    app.parse(argc, argv);
    result = context.result;
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    result = code == 0 ? kExitOk : kExitBadUsage;
  } catch (const std::bad_alloc&) {
    ReportError(nullptr, "out of memory");
    result = kExitBadInput;
  }
  // A listing cut short by a full disk or a closed pipe is a failure.
  std::cout.flush();
  errno = 0;
  if (fflush(stdout) != 0 || ferror(stdout) || !std::cout) {
    ReportError(nullptr, "cannot write to the standard output: %s",
                errno ? strerror(errno) : "write error");
    if (result == kExitOk) result = kExitBadInput;
  }
  return result;
}
