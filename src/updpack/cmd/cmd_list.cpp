// updpack list FILE: every entry with its kind, size, packed size and time
// (a delta: the new file's size, and its base's after the name), then what
// the update deletes ([delfiles_afterinst] of its install.env).
#include <CLI/CLI.hpp>
#include <memory>

#include "env/env_pieces.h"
#include "env/sections.h"
#include "payload/inflate_entry.h"
#include "updpack/archive/pack_delta.h"
#include "updpack/archive/pack_read.h"
#include "updpack/build/build_names.h"
#include "updpack/cmd/commands.h"
#include "updpack/fsys/fsys.h"
#include "updpack/report.h"

namespace {

// What the update deletes after its files are in place: the lines of the
// packed install.env's [delfiles_afterinst], as the updater reads them.
void ListDeletions(const std::string& env) {
  EnvTextInput input;
  EnvTextInputInit(&input, env.data(), env.size());
  SectionListsRead(EnvTextSource(&input));
  for (const SectionEntry* e = DelfilesAfterinstList.first; e; e = e->next) {
    printf("%-6s %12s %12s  %-19s  %s\n", "delete", "-", "-", "-", FsDisplayName(e->text).c_str());
  }
}

int RunList(const std::string& path) {
  PackReader reader;
  if (PackOpen(path, &reader) != 0) return kExitBadInput;
  printf("%-6s %12s %12s  %-19s  %s\n", "kind", "size", "packed", "time (UTC)", "name");
  uint64_t files = 0, folders = 0, deltas = 0, raw = 0, packed = 0;
  std::string previous;
  std::string env;
  int rc = kExitOk;
  for (;;) {
    PayloadEntry entry;
    int read = PackNextEntry(&reader, &entry, previous);
    if (read == kPayloadEndReached) break;
    if (read != kPayloadEntryRead) {
      rc = kExitBadInput;
      break;
    }
    std::string name = FsDisplayName(entry.name);
    if (PayloadIsFolder(entry)) {
      printf("%-6s %12s %12s  %-19s  %s\n", "folder", "-", "-", "-", name.c_str());
      ++folders;
    } else if (PayloadIsDelta(entry)) {
      DeltaHeader header;
      uint64_t stamp = 0;
      std::string why;
      if (PackDeltaPeek(&reader, entry, &header, &stamp, &why) != 0) {
        ReportError(FsShown(path).c_str(), "entry \"%s\": %s", name.c_str(), why.c_str());
        rc = kExitBadInput;
        break;
      }
      printf("%-6s %12u %12u  %-19s  %s  (base: %u bytes)\n", "delta", header.newSize,
             entry.packedSize, PackFormatTime(stamp).c_str(), name.c_str(), header.baseSize);
      ++files;
      ++deltas;
      raw += header.newSize;
      packed += entry.packedSize;
    } else {
      uint64_t stamp = 0;
      if (PayloadReadTimeStamp(reader.f, &stamp) != 0 ||
          fseek(reader.f, -static_cast<long>(kPayloadTimeStampBytes), SEEK_CUR) != 0) {
        ReportError(FsShown(path).c_str(), "entry \"%s\": cannot read its time stamp",
                    name.c_str());
        rc = kExitBadInput;
        break;
      }
      printf("%-6s %12u %12u  %-19s  %s\n", "file", entry.size, entry.packedSize,
             PackFormatTime(stamp).c_str(), name.c_str());
      ++files;
      raw += entry.size;
      packed += entry.packedSize;
    }
    std::string why;
    // The updater opens it in any letter case.
    if (!PayloadIsFolder(entry) && !PayloadIsDelta(entry) &&
        BuildFoldCase(entry.name) == "install.env") {
      if (PackReadWhole(&reader, entry, &env, &why) != 0) {
        ReportError(FsShown(path).c_str(), "entry \"%s\": %s", name.c_str(), why.c_str());
        rc = kExitBadInput;
        break;
      }
    } else if (PackSkipData(&reader, entry) != 0) {
      rc = kExitBadInput;
      break;
    }
    previous = entry.name;
  }
  PackClose(&reader);
  if (rc == kExitOk) ListDeletions(env);
  if (rc == kExitOk) {
    std::string ofThem =
        deltas ? " (" + std::to_string(deltas) + " of them as deltas)" : std::string();
    ReportInfo("%llu files%s, %llu folders; %llu bytes packed to %llu\n",
               static_cast<unsigned long long>(files), ofThem.c_str(),
               static_cast<unsigned long long>(folders), static_cast<unsigned long long>(raw),
               static_cast<unsigned long long>(packed));
  }
  return rc;
}

}  // namespace

void RegisterListCommand(CLI::App& app, UpdpackContext& context) {
  auto file = std::make_shared<std::string>();
  CLI::App* cmd = app.add_subcommand("list", "List the entries of an update");
  cmd->add_option("FILE", *file, "The update executable")->required()->check(NonEmptyPath());
  cmd->callback([&context, file] { context.result = RunList(FsArgPath(file->c_str())); });
}
