// `updpack check` on any bytes, report and all: the command as a game maker
// runs it (summary, settings, sections, findings; with --from-utf8 -o every
// other input), through its own command-line parsing, on a file in a temp
// folder of its own. The findings must agree with their counts and point at
// lines of the file.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "env/env_keys.h"
#include "env/env_table.h"
#include "env/sections.h"
#include "updpack/check/check_env.h"
#include "updpack/cmd/commands.h"

namespace {

std::string g_folder;
std::string g_input;
std::string g_output;

// A folder of its own: writing the conversion lists the output's folder for
// stale temporary files, which in a shared temp folder costs more than the
// check itself.
void Prepare() {
  const char* dir = getenv("TMPDIR");
  std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/check_report_fuzzer.XXXXXX";
  if (!mkdtemp(&pattern[0])) __builtin_trap();
  g_folder = pattern;
  g_input = pattern + "/install.env";
  g_output = pattern + "/out.env";
  atexit([] {
    remove(g_input.c_str());
    remove(g_output.c_str());
    rmdir(g_folder.c_str());
  });
}

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// The check leaves the updater's tables filled, as one run of updpack does;
// each analysis here starts from empty ones.
void ResetTables() {
  EnvFree();
  EnvResetAccessors();
  for (int id = 0; id < kSectionCount; ++id) SectionListClear(SectionListOf(id));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (g_input.empty()) Prepare();
  std::string bytes(reinterpret_cast<const char*>(data), size);
  FILE* f = fopen(g_input.c_str(), "wb");
  if (!f) return 0;
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);

  bool convert = size > 0 && (data[0] & 1);
  // A fresh parser each time: the command's option values live in it.
  CLI::App app;
  UpdpackContext context;
  RegisterCheckCommand(app, context);
  context.result = -1;
  ResetTables();
  std::vector<std::string> args = {g_input, "check"};  // CLI11 takes them last to first
  if (convert) args.insert(args.begin(), {g_output, "-o", "--from-utf8"});
  app.parse(args);
  // Bytes that start as an executable are an update to the command: it
  // checks the install.env packed in it, not these bytes, and refuses
  // --from-utf8 there. Only its exit code can be held to anything.
  bool update = bytes.compare(0, 2, "MZ") == 0;
  Require(context.result == kExitOk || context.result == kExitBadInput ||
          (update && convert && context.result == kExitBadUsage));
  if (update) {
    remove(g_output.c_str());
    return 0;
  }

  EnvCheckResult result;
  ResetTables();
  CheckEnvText(bytes, convert, &result);
  int errors = 0, warnings = 0;
  for (const CheckFinding& finding : result.findings) {
    (finding.severity == CheckSeverity::kError ? errors : warnings)++;
    Require(finding.line >= 0 && finding.line <= result.lines + 1);
    Require(!finding.message.empty());
  }
  Require(errors == result.errors && warnings == result.warnings);
  Require((context.result == kExitOk) == (result.errors == 0));
  for (int line : result.entryLines) Require(line >= 1 && line <= result.lines);
  Require(result.piecesRead <= result.pieces);
  remove(g_output.c_str());
  return 0;
}
