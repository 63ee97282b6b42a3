// updpack verify FILE [--base DIR]: walks the whole payload, inflates every
// file and checks every rule an updater relies on; names the first bad
// entry. A delta is checked as far as it can be without its base, or, with
// --base, made from the file of its name in DIR and its checksum verified.
#include <CLI/CLI.hpp>
#include <memory>
#include <vector>

#include "payload/pe_image.h"
#include "updpack/archive/pack_delta.h"
#include "updpack/archive/pack_order.h"
#include "updpack/archive/pack_read.h"
#include "updpack/cmd/commands.h"
#include "updpack/fsys/fsys.h"
#include "updpack/fsys/fsys_txn.h"
#include "updpack/report.h"

namespace {

// Checks the image in front of the payload. Returns 0 or -1 (reported).
int CheckImage(PackReader* reader) {
  unsigned char head[2] = {0, 0};
  long here = ftell(reader->f);
  bool ok = reader->location.first >= 2 && fseek(reader->f, 0, SEEK_SET) == 0 &&
            fread(head, 1, 2, reader->f) == 2 && head[0] == 'M' && head[1] == 'Z';
  if (fseek(reader->f, here, SEEK_SET) != 0) ok = false;
  if (!ok) {
    ReportError(reader->shown.c_str(), "the payload does not follow a Windows executable");
    return -1;
  }
  return 0;
}

// Warns about each DLL the updater in front of the payload imports that
// Windows would look for in the update's own folder first: a copy planted
// there (a Downloads folder) runs before the updater does, with its rights.
// An image without PE headers is left to the check above.
void CheckImports(PackReader* reader) {
  std::vector<unsigned char> image(reader->location.first);
  long here = ftell(reader->f);
  bool read = fseek(reader->f, 0, SEEK_SET) == 0 &&
              fread(image.data(), 1, image.size(), reader->f) == image.size();
  fseek(reader->f, here, SEEK_SET);
  PeImage pe;
  int opened = read ? PeOpen(image.data(), image.size(), &pe) : -1;
  if (opened == kPeNotAnImage) return;
  std::vector<std::string> names;
  if (opened != 0 || PeImportNames(pe, &names) != 0) {
    ReportWarning(reader->shown.c_str(), "the updater's import table cannot be read");
    return;
  }
  for (const std::string& name : names) {
    if (PeIsKnownDll(name)) continue;
    ReportWarning(reader->shown.c_str(),
                  "the updater imports %s, not a known DLL: Windows looks for it beside the "
                  "update first, where a planted copy would run with administrator rights",
                  name.c_str());
  }
}

// A delta entry: never a start-up file (the start-up walk passes deltas
// by), and its streams sound.
int VerifyDelta(PackReader* reader, const PayloadEntry& entry, const std::string& base) {
  std::string name = FsDisplayName(entry.name);
  if (PackIsStartupName(entry.name)) {
    ReportError(reader->shown.c_str(),
                "entry \"%s\": a start-up file as a delta (the updater needs it whole)",
                name.c_str());
    return -1;
  }
  std::string basePath;
  if (!base.empty() && !FsTxnLocal(base, entry.name, &basePath)) {
    ReportError(reader->shown.c_str(), "entry \"%s\": the name is not code page 932 text",
                name.c_str());
    return -1;
  }
  uint64_t stamp;
  std::string why;
  if (PackDeltaMake(reader, entry, basePath, nullptr, &stamp, &why) != 0) {
    ReportError(reader->shown.c_str(), "entry \"%s\": %s", name.c_str(), why.c_str());
    return -1;
  }
  return 0;
}

int VerifyEntries(PackReader* reader, const std::string& base, uint64_t* files, uint64_t* folders,
                  uint64_t* deltas) {
  OrderCheck order;
  std::string previous;
  for (;;) {
    PayloadEntry entry;
    int read = PackNextEntry(reader, &entry, previous);
    if (read == kPayloadEndReached) return 0;
    if (read != kPayloadEntryRead) return -1;
    std::string name = FsDisplayName(entry.name);
    const char* why = PackNameProblem(entry);
    std::string utf8;
    if (!why && !FsCp932ToUtf8(entry.name, &utf8))
      why = "the name is not valid Shift-JIS (code page 932) text";
    if (!why) why = OrderCheckEntry(&order, entry);
    if (why) {
      ReportError(reader->shown.c_str(), "entry \"%s\": %s", name.c_str(), why);
      return -1;
    }
    previous = entry.name;
    if (PayloadIsFolder(entry)) {
      ++*folders;
      continue;
    }
    if (PayloadIsDelta(entry)) {
      if (VerifyDelta(reader, entry, base) != 0) return -1;
      ++*files;
      ++*deltas;
      continue;
    }
    uint64_t stamp;
    std::string reason;
    if (PackInflate(reader, entry, nullptr, &stamp, &reason) != 0) {
      ReportError(reader->shown.c_str(), "entry \"%s\": %s", name.c_str(), reason.c_str());
      return -1;
    }
    ++*files;
  }
}

int RunVerify(const std::string& path, const std::string& base) {
  if (!base.empty() && RequireFolder(base) != kExitOk) return kExitBadInput;
  PackReader reader;
  if (PackOpen(path, &reader) != 0) return kExitBadInput;
  uint64_t files = 0, folders = 0, deltas = 0;
  int rc = CheckImage(&reader);
  if (rc == 0) {
    CheckImports(&reader);
    ProgressStart("verifying", reader.location.length);
    rc = VerifyEntries(&reader, base, &files, &folders, &deltas);
    ProgressEnd();
  }
  PackClose(&reader);
  if (rc != 0) return kExitBadInput;
  // The signature itself is the signing tool's to check.
  std::string ofThem;
  if (deltas)
    ofThem = " (" + std::to_string(deltas) + " of them as deltas" +
             (base.empty() ? ", checked without their bases" : "") + ")";
  ReportInfo("%s: OK (%llu files%s, %llu folders%s)\n", FsShown(path).c_str(),
             static_cast<unsigned long long>(files), ofThem.c_str(),
             static_cast<unsigned long long>(folders),
             reader.location.certificateBytes ? "; signed" : "");
  return kExitOk;
}

}  // namespace

void RegisterVerifyCommand(CLI::App& app, UpdpackContext& context) {
  auto args = std::make_shared<std::vector<std::string>>(2);
  CLI::App* cmd = app.add_subcommand("verify", "Check an update thoroughly");
  cmd->add_option("FILE", (*args)[0], "The update executable")->required()->check(NonEmptyPath());
  cmd->add_option("--base", (*args)[1],
                  "The version the update is for: make every delta's file from it and check it")
      ->check(NonEmptyPath());
  cmd->callback([&context, args] {
    std::string base = (*args)[1].empty() ? "" : FsArgPath((*args)[1].c_str());
    context.result = RunVerify(FsArgPath((*args)[0].c_str()), base);
  });
}
