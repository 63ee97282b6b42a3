// updpack check install.env [--from-utf8 [-o OUT]]: shows what the updater
// will read from a configuration file and reports mistakes by line.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "env/env_keys.h"
#include "env/env_table.h"
#include "env/sections.h"
#include "updpack/archive/pack_read.h"
#include "updpack/check/check_codepage.h"
#include "updpack/check/check_discovery.h"
#include "updpack/check/check_env.h"
#include "updpack/check/check_keys.h"
#include "updpack/check/check_transfer.h"
#include "updpack/cmd/commands.h"
#include "updpack/fsys/fsys.h"
#include "updpack/fsys/out_file.h"
#include "updpack/report.h"

namespace {

std::string Quoted(const std::string& cp932) { return "\"" + DisplayText(cp932) + "\""; }

// Columns a displayed text takes on a terminal: wide characters take two.
size_t DisplayWidth(const std::string& text) {
#ifdef _WIN32
  return text.size();  // code page 932: a double-byte character is two columns
#else
  size_t width = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    if ((b & 0xC0) == 0x80) continue;  // continuation byte
    bool wide = b >= 0xE0;
    // Half-width katakana (U+FF61-FF9F: EF BD A1 - EF BE 9F) take one column.
    if (b == 0xEF && i + 1 < text.size()) {
      unsigned char b1 = static_cast<unsigned char>(text[i + 1]);
      if (b1 == 0xBD || b1 == 0xBE) wide = false;
    }
    width += wide ? 2 : 1;
  }
  return width;
#endif
}

std::string PadTo(const std::string& text, size_t width) {
  size_t used = DisplayWidth(text);
  return used >= width ? text + " " : text + std::string(width - used, ' ');
}

// The line of the first table entry with this key, or 0.
int EntryLine(const EnvCheckResult& result, const char* key) {
  size_t index = 0;
  for (const EnvEntry* e = EnvFirstEntry(); e; e = e->next, ++index) {
    if (strcmp(e->key, key) == 0) {
      return index < result.entryLines.size() ? result.entryLines[index] : 0;
    }
  }
  return 0;
}

void PrintSettings(const EnvCheckResult& result) {
  ReportInfo("Settings, as the updater reads them:\n");
  for (size_t i = 0; i < kKnownEnvKeyCount; ++i) {
    const KnownEnvKey& key = kKnownEnvKeys[i];
    std::string value = KnownEnvKeyValue(key);
    bool text = key.kind != EnvKeyKind::kNumber &&
                !(key.kind == EnvKeyKind::kOptionalText && !EnvFind(key.name));
    const EnvEntry* entry = EnvFind(key.name);
    std::string origin = entry ? "line " + std::to_string(EntryLine(result, key.name)) : "default";
    if (entry && key.kind != EnvKeyKind::kNumber && strlen(entry->value) > kEnvKeptBytes) {
      origin += ", cut to 127 bytes";
    }
    ReportInfo("  %-15s %s%s\n", key.name, PadTo(text ? Quoted(value) : value, 34).c_str(),
               origin.c_str());
  }
  ReportInfo("  %-15s %s\n", "updater title", Quoted(EnvUpdaterTitle()).c_str());
  bool header = false;
  size_t index = 0;
  for (const EnvEntry* e = EnvFirstEntry(); e; e = e->next, ++index) {
    if (FindKnownEnvKey(e->key)) continue;
    if (!header) ReportInfo("Other entries of the table (no setting reads them):\n");
    header = true;
    int line = index < result.entryLines.size() ? result.entryLines[index] : 0;
    ReportInfo("  %s %s  line %d\n", Quoted(e->key).c_str(), Quoted(e->value).c_str(), line);
  }
}

void PrintSections(const EnvCheckResult& result) {
  ReportInfo("Sections:\n");
  for (int id = 0; id < kSectionCount; ++id) {
    if (!result.headerLines[id]) {
      ReportInfo("  %-22s not in the file\n", SectionHeader(id));
      continue;
    }
    int count = 0;
    for (const SectionEntry* e = SectionListOf(id)->first; e; e = e->next) ++count;
    ReportInfo("  %-22s line %d, %d %s\n", SectionHeader(id), result.headerLines[id], count,
               count == 1 ? "entry" : "entries");
    for (const SectionEntry* e = SectionListOf(id)->first; e; e = e->next) {
      ReportInfo("      %s\n", DisplayText(e->text).c_str());
    }
  }
}

void PrintSummary(const char* path, const EnvCheckResult& result) {
  std::string encoding = result.utf8 ? "UTF-8, converted to Shift-JIS" : "Shift-JIS";
  std::string reach =
      result.keyPassEndLine
          ? "key lines are read up to \"[EOF]\" on line " + std::to_string(result.keyPassEndLine)
      : result.pieces > result.piecesRead
          ? "key lines are read for the first " + std::to_string(result.piecesRead) + " lines only"
          : std::string("key lines are read to the end");
  ReportInfo("%s: %s, %d lines; %s\n", path, encoding.c_str(), result.lines, reach.c_str());
}

// Writes what the updater should get: the conversion of a UTF-8 file, or the
// file unchanged. Nothing is written when a character could not be converted.
bool WriteConversion(const std::string& output, const std::string& bytes,
                     const EnvCheckResult& result, const std::string& input, bool force) {
  if (result.utf8 && !result.converted) {
    ReportError(output.c_str(), "not written: some characters have no Shift-JIS form");
    return false;
  }
  if (OutWriteFile(FsArgPath(output.c_str()), result.utf8 ? result.cp932 : bytes,
                   {FsArgPath(input.c_str())}, force) != 0)
    return false;
  ReportInfo("wrote %s (Shift-JIS)\n", output.c_str());
  return true;
}

// Reads the whole file, a regular file only. False after reporting.
bool ReadInput(const std::string& path, std::string* bytes) {
  std::string error;
  if (FsReadAll(FsArgPath(path.c_str()), bytes, &error)) return true;
  ReportError(path.c_str(), "cannot read the file: %s", error.c_str());
  return false;
}

int RunCheck(const std::string& path, bool fromUtf8, const std::string& output, bool force) {
  if (!output.empty()) {
    if (int rc = OutCheckTarget(FsArgPath(output.c_str()), {FsArgPath(path.c_str())}, force))
      return rc;
  }
  std::string bytes;
  if (!ReadInput(path, &bytes)) return kExitBadInput;
  // An update: its packed install.env, the one the updater reads (with the
  // deletions that build --base added).
  if (bytes.compare(0, 2, "MZ") == 0) {
    int found = PackReadInstallEnv(FsArgPath(path.c_str()), &bytes);
    if (found < 0) return kExitBadInput;
    if (found > 0) {
      ReportError(path.c_str(), "the update holds no install.env");
      return kExitBadInput;
    }
    if (fromUtf8) {
      ReportError(path.c_str(), "an update's install.env is checked as packed: no --from-utf8");
      return kExitBadUsage;
    }
  }
  EnvCheckResult result;
  CheckEnvText(bytes, fromUtf8, &result);
  bool analysed = !HasUtf16Bom(bytes);  // a UTF-16 file is not read any further
  if (analysed) {
    PrintSummary(path.c_str(), result);
    PrintSettings(result);
    PrintSections(result);
    PrintDiscovery();
    PrintTransfer(result);
  }
  PrintEnvFindings(path.c_str(), result, IsQuiet());
  if (fromUtf8 && !result.utf8) ReportInfo("%s is not UTF-8: nothing to convert\n", path.c_str());
  bool written = output.empty() || WriteConversion(output, bytes, result, path, force);
  ReportInfo("%s: %d error%s, %d warning%s\n", path.c_str(), result.errors,
             result.errors == 1 ? "" : "s", result.warnings, result.warnings == 1 ? "" : "s");
  return result.errors || !written ? kExitBadInput : kExitOk;
}

}  // namespace

void RegisterCheckCommand(CLI::App& app, UpdpackContext& context) {
  struct Options {
    std::string file;
    bool fromUtf8 = false;
    std::string output;
    bool force = false;
  };
  auto options = std::make_shared<Options>();
  CLI::App* check = app.add_subcommand(
      "check",
      "Show what the updater reads from an install.env (or the one packed in an update) and "
      "report its mistakes");
  check->add_option("file", options->file, "The install.env, or an update, to check")
      ->required()
      ->check(NonEmptyPath());
  CLI::Option* utf8 = check->add_flag("--from-utf8", options->fromUtf8,
                                      "Convert a UTF-8 file to Shift-JIS (code page 932)");
  check->add_option("-o,--output", options->output, "Write the converted file here")
      ->needs(utf8)
      ->check(NonEmptyPath());
  check->add_flag("-f,--force", options->force, "Replace an existing output");
  check->callback([options, &context] {
    context.result = RunCheck(options->file, options->fromUtf8, options->output, options->force);
  });
}
