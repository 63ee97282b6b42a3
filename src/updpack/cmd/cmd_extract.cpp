// updpack extract FILE DIR: writes every entry below DIR with its time stamp,
// by the same walk and the same safety rules as the updater.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "payload/inflate_entry.h"
#include "payload/walk.h"
#include "updpack/cmd/commands.h"
#include "updpack/fsys/fsys.h"
#include "updpack/archive/pack_read.h"
#include "updpack/report.h"

namespace {

// The walk joins names to "." so that the updater's 260-byte path rule still
// counts the name; the real destination replaces it here.
const char kWalkRoot[] = ".";

struct ExtractContext {
  PackReader* reader;
  std::string destination;
  std::vector<unsigned char> in, out;
  std::string failedEntry;  // set when a callback has reported a failure
  uint64_t files = 0, folders = 0;
};

// The destination path of a walk path (".\name" in code page 932), or "".
std::string LocalPath(const ExtractContext* c, const char* walkPath) {
  std::string utf8;
  if (!FsCp932ToUtf8(walkPath + sizeof kWalkRoot, &utf8)) return "";
  for (char& ch : utf8)
    if (ch == '\\') ch = '/';
  return FsJoin(c->destination, utf8);
}

void MakeFolder(void* context, const char* path) {
  ExtractContext* c = static_cast<ExtractContext*>(context);
  std::string local = LocalPath(c, path);
  // Like the updater, a folder that cannot be made shows when its files fail.
  if (!local.empty() && FsMakeFolder(local) == 0) c->folders++;
}

void ShowProgress(void*, uint32_t, uint32_t position) { ProgressUpdate(position); }

int ExtractFile(void* context, FILE* stream, const PayloadEntry& entry, const char* path,
                uint32_t position) {
  ExtractContext* c = static_cast<ExtractContext*>(context);
  std::string name = FsDisplayName(entry.name);
  c->failedEntry = name;
  std::string local = LocalPath(c, path);
  if (local.empty()) {
    ReportError(c->reader->shown.c_str(), "entry \"%s\": the name is not code page 932 text",
                name.c_str());
    return 1;
  }
  uint64_t stamp;
  if (PayloadReadTimeStamp(stream, &stamp) != 0) {
    ReportError(c->reader->shown.c_str(), "entry \"%s\": cannot read its time stamp", name.c_str());
    return 1;
  }
  FILE* out = FsOpen(local, "wb");
  if (!out) {
    ReportError(FsShown(local).c_str(), "cannot create: %s", strerror(errno));
    return 1;
  }
  PayloadSink sink{out, PayloadWriteStdio, ShowProgress};
  uint32_t written = 0;
  const char* reason = "corrupt";
  int rc = PayloadInflateEntry(stream, entry.packedSize, position + kPayloadTimeStampBytes,
                               c->in.data(), c->out.data(), sink, &written, &reason);
  bool closed = fclose(out) == 0;
  if (rc != 0) {
    ReportError(c->reader->shown.c_str(), "entry \"%s\": %s", name.c_str(), reason);
    return 1;
  }
  if (!closed) {
    ReportError(FsShown(local).c_str(), "cannot write: %s", strerror(errno));
    return 1;
  }
  if (written != entry.size) {
    ReportError(c->reader->shown.c_str(), "entry \"%s\": inflates to %u bytes, its header says %u",
                name.c_str(), written, entry.size);
    return 1;
  }
  if (FsSetFileTime(local, stamp) != 0) ReportWarning(FsShown(local).c_str(), "cannot set its time");
  c->failedEntry.clear();
  c->files++;
  return 0;
}

int RunExtract(const std::string& path, const std::string& destination) {
  PackReader reader;
  if (PackOpen(path, &reader) != 0) return kExitBadInput;
  if (FsMakeFolders(destination) != 0) {
    ReportError(FsShown(destination).c_str(), "cannot create the folder: %s", strerror(errno));
    PackClose(&reader);
    return kExitBadInput;
  }
  ExtractContext c;
  c.reader = &reader;
  c.destination = destination;
  c.in.resize(kPayloadChunkSize);
  c.out.resize(kPayloadChunkSize);
  PayloadWalkOps ops{&c, IsLeadByte, MakeFolder, ExtractFile};
  const char* reason = "corrupt";
  ProgressStart("extracting", reader.location.length);
  int rc = PayloadWalk(reader.f, reader.location.length, kWalkRoot, kPayloadFullMode, ops, &reason);
  ProgressEnd();
  PackClose(&reader);
  if (rc != 0) {
    // A failed file has been reported by ExtractFile; the rest are the walk's.
    if (c.failedEntry.empty()) ReportError(FsShown(path).c_str(), "%s", reason);
    return kExitBadInput;
  }
  ReportInfo("%s: %llu files, %llu folders written to %s\n", FsShown(path).c_str(),
             static_cast<unsigned long long>(c.files), static_cast<unsigned long long>(c.folders),
             FsShown(destination).c_str());
  return kExitOk;
}

}  // namespace

void RegisterExtractCommand(CLI::App& app, UpdpackContext& context) {
  auto args = std::make_shared<std::vector<std::string>>(2);
  CLI::App* cmd = app.add_subcommand("extract", "Write the files of an update into a folder");
  cmd->add_option("FILE", (*args)[0], "The update executable")->required();
  cmd->add_option("DIR", (*args)[1], "Where the files go (created if missing)")->required();
  cmd->callback([&context, args] {
    context.result = RunExtract(FsArgPath((*args)[0].c_str()), FsArgPath((*args)[1].c_str()));
  });
}
