// updpack build [--stub UPDATER.EXE] -o UPDATE.EXE [--force] [-j N] DIR
#include <CLI/CLI.hpp>

#include <memory>

#include "updpack/build_run.h"
#include "updpack/commands.h"
#include "updpack/fsys.h"
#include "updpack/report.h"

void RegisterBuildCommand(CLI::App& app, UpdpackContext& context) {
  auto options = std::make_shared<BuildOptions>();
  auto args = std::make_shared<std::vector<std::string>>(4);  // folder, output, stub, engine
  CLI::App* cmd = app.add_subcommand("build", "Build an update executable from a folder");
  cmd->add_option("DIR", (*args)[0], "Folder whose contents the update installs")->required();
  cmd->add_option("-o,--output", (*args)[1], "The update executable to write")->required();
  cmd->add_option("--stub", (*args)[2],
                  "The bare updater (default: updater.exe beside updpack)");
  cmd->add_flag("-f,--force", options->force,
                "Replace an existing output; build despite errors in checked files");
  cmd->add_option("-j,--jobs", options->jobs, "Compression threads (default: one per core)")
      ->check(CLI::Range(0, 1024));
  // For comparing the compressors; the default is the fastest one built in.
  cmd->add_option("--engine", (*args)[3], "Compressor: libdeflate or zlib")->group("");
  cmd->callback([&context, options, args] {
    options->folder = FsArgPath((*args)[0].c_str());
    options->output = FsArgPath((*args)[1].c_str());
    options->stub = (*args)[2].empty() ? "" : FsArgPath((*args)[2].c_str());
    if (!(*args)[3].empty()) {
      if (!CompressEngineByName((*args)[3].c_str(), &options->engine) ||
          !CompressEngineAvailable(options->engine)) {
        ReportError(nullptr, "--engine: %s is not built in", (*args)[3].c_str());
        context.result = kExitBadUsage;
        return;
      }
    }
    context.result = RunBuild(*options);
  });
}
