// updpack build [--stub UPDATER.EXE] -o UPDATE.EXE [--title PICTURE] [--from-utf8]
//               [--force] [--ignore-check] [-j N] [--mtime TIME] [--level 1..12 | --best]
//               [--base OLD_DIR [--keep-times] [--no-delta] [-v] [--dry-run]] DIR
#include <CLI/CLI.hpp>
#include <cstdlib>
#include <memory>

#include "support/text.h"
#include "updpack/build/build_run.h"
#include "updpack/check/check_env.h"
#include "updpack/cmd/commands.h"
#include "updpack/fsys/fsys.h"
#include "updpack/image/image_convert.h"
#include "updpack/report.h"

namespace {

struct BuildArgs {
  std::string folder;
  std::string output;
  std::string stub;
  std::string engine;
  std::string title;
  std::string mtime;
  std::string base;
  bool fromUtf8 = false;
  bool best = false;
};

// The environment file is checked as `updpack check` does; its errors stop
// the build unless --ignore-check.
int CheckPackedEnv(const std::vector<uint8_t>& contents, const std::string& shown) {
  EnvCheckResult result;
  CheckEnvText(std::string(contents.begin(), contents.end()), false, &result);
  PrintEnvFindings(shown.c_str(), result, IsQuiet());
  return result.errors;
}

// --title: the picture becomes insttscr.rct, in place of any such file in DIR.
// The picture reader opens the argument as given, like `updpack image` does.
int AddTitlePicture(const std::string& argument, BuildOptions* options) {
  std::string picture = FsArgPath(argument.c_str());
  FsItem item;
  std::string error;
  if (FsStat(picture, &item, &error) != 0) {
    ReportError(FsShown(picture).c_str(), "%s", error.c_str());
    return kExitBadInput;
  }
  std::vector<unsigned char> rct;
  if (ConvertPictureToRct(argument.c_str(), nullptr, &rct) != 0) return kExitBadInput;
  std::vector<FsItem> items;
  if (FsListFolder(options->folder, &items, &error) == 0) {
    for (const FsItem& i : items) {
      std::string lower = i.name;
      for (char& c : lower) c = AsciiLower(c);
      if (lower == "insttscr.rct")
        ReportWarning(FsShown(FsJoin(options->folder, i.name)).c_str(),
                      "not packed: --title %s takes its place", FsShown(picture).c_str());
    }
  }
  options->inputs.push_back(picture);
  options->generated.push_back(
      {"insttscr.rct", {rct.begin(), rct.end()}, item.fileTime, FsShown(picture)});
  return kExitOk;
}

// --from-utf8: a UTF-8 install.env is packed converted to code page 932.
// A file that is not UTF-8 is packed as it is (and checked as usual).
int ConvertEnvFromUtf8(const std::string& folder, BuildOptions* options) {
  std::string path = FsJoin(folder, "install.env");
  FsItem item;
  std::string error;
  std::string bytes;
  if (FsStat(path, &item, &error) != 0 || !FsReadAll(path, &bytes)) return kExitOk;
  EnvCheckResult result;
  CheckEnvText(bytes, true, &result);
  if (!result.utf8) return kExitOk;
  if (!result.converted) {
    PrintEnvFindings(FsShown(path).c_str(), result, IsQuiet());
    ReportError(FsShown(path).c_str(), "cannot be converted to Shift-JIS; nothing written");
    return kExitBadInput;
  }
  options->generated.push_back(
      {"install.env", {result.cp932.begin(), result.cp932.end()}, item.fileTime, FsShown(path)});
  return kExitOk;
}

int Run(const BuildArgs& args, BuildOptions* options) {
  options->folder = FsArgPath(args.folder.c_str());
  options->output = FsArgPath(args.output.c_str());
  options->stub = args.stub.empty() ? "" : FsArgPath(args.stub.c_str());
  if (!args.engine.empty() && (!CompressEngineByName(args.engine.c_str(), &options->engine) ||
                               !CompressEngineAvailable(options->engine))) {
    ReportError(nullptr, "--engine: %s is not built in", args.engine.c_str());
    return kExitBadUsage;
  }
  if (args.best) options->level = kCompressLevelMax;
  if (options->level > CompressEngineMaxLevel(options->engine)) {
    ReportWarning(nullptr, "%s compresses at most at level %d; level %d is made as that",
                  CompressEngineName(options->engine), CompressEngineMaxLevel(options->engine),
                  options->level);
  }
  if (BuildTimesFrom(args.mtime, getenv("SOURCE_DATE_EPOCH"), &options->times) != 0)
    return kExitBadUsage;
  if (!args.title.empty() && AddTitlePicture(args.title, options) != 0) {
    return kExitBadInput;
  }
  if (args.fromUtf8 && ConvertEnvFromUtf8(options->folder, options) != 0) return kExitBadInput;
  options->checks.push_back({"install.env", CheckPackedEnv});
  if (!args.base.empty()) {
    options->base.folder = FsArgPath(args.base.c_str());
    options->base.jobs = options->jobs;
  }
  return RunBuild(*options);
}

}  // namespace

void RegisterBuildCommand(CLI::App& app, UpdpackContext& context) {
  auto options = std::make_shared<BuildOptions>();
  auto args = std::make_shared<BuildArgs>();
  CLI::App* cmd = app.add_subcommand("build", "Build an update executable from a folder");
  cmd->add_option("DIR", args->folder, "Folder whose contents the update installs")
      ->required()
      ->check(NonEmptyPath());
  cmd->add_option("-o,--output", args->output, "The update executable to write")
      ->required()
      ->check(NonEmptyPath());
  cmd->add_option("--stub", args->stub, "The bare updater (default: updater.exe beside updpack)")
      ->check(NonEmptyPath());
  cmd->add_option("--title", args->title, "PNG or BMP picture for the menu, packed as insttscr.rct")
      ->check(NonEmptyPath());
  cmd->add_flag("--from-utf8", args->fromUtf8,
                "Pack a UTF-8 install.env converted to Shift-JIS (CP932)");
  cmd->add_flag("-f,--force", options->force, "Replace an existing output");
  cmd->add_flag("--ignore-check", options->ignoreChecks, "Build despite errors in install.env");
  cmd->add_option("--mtime", args->mtime,
                  "Give every file this time (seconds since 1970 or YYYY-MM-DD[ hh:mm:ss] UTC); "
                  "without it, times after SOURCE_DATE_EPOCH are clamped to it");
  CLI::Option* level = cmd->add_option("--level", options->level,
                                       "Compression level, 1 (fastest) to 12 (smallest); default 6")
                           ->check(CLI::Range(kCompressLevelMin, kCompressLevelMax));
  cmd->add_flag("--best", args->best,
                "The smallest update: level 12, for the final build of a release")
      ->excludes(level);
  cmd->add_option("-j,--jobs", options->jobs, "Compression threads (default: one per core)")
      ->check(CLI::Range(0, 1024));
  cmd->add_option("--base", args->base,
                  "Pack only what differs from this folder (the version players have) and "
                  "delete what it has that DIR no longer has")
      ->check(NonEmptyPath());
  cmd->add_flag("--keep-times", options->base.keepTimes,
                "With --base: pack files whose bytes are equal but whose time differs");
  cmd->add_flag("--no-delta", options->base.noDelta,
                "With --base: pack changed files whole, never as deltas against the old ones");
  cmd->add_flag("-v,--verbose", options->base.verbose, "With --base: list every file of the plan");
  cmd->add_flag("-n,--dry-run", options->dryRun, "Check and print the plan; write nothing");
  // For comparing the compressors; the default is the fastest one built in.
  cmd->add_option("--engine", args->engine, "Compressor: libdeflate or zlib")->group("");
  cmd->callback([&context, options, args] { context.result = Run(*args, options.get()); });
}
