// Test support for the native payload tests: archives in temporary files and
// a recording stand-in for the platform's folder and file work.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "payload/entry.h"
#include "payload/format.h"
#include "payload/inflate_entry.h"
#include "payload/walk.h"
#include "unit/payload/payload_writer.h"

namespace testpayload {

// An anonymous temporary file holding the bytes, positioned at the start.
inline FILE* TempFileWith(const std::string& bytes) {
  FILE* f = tmpfile();
  if (!f) return nullptr;
  fwrite(bytes.data(), 1, bytes.size(), f);
  rewind(f);
  return f;
}

// What a walk did, in order: "folder PATH" and "file PATH", with every
// file's contents, time stamp and write sizes.
struct Recorder {
  struct File {
    std::string path;
    std::string data;
    uint64_t stamp = 0;
    std::vector<uint32_t> writes;
    bool ok = false;
  };
  std::vector<std::string> events;
  std::vector<File> files;
  std::vector<unsigned char> in = std::vector<unsigned char>(kPayloadChunkSize);
  std::vector<unsigned char> out = std::vector<unsigned char>(kPayloadChunkSize);

  static void MakeFolder(void* context, const char* path) {
    static_cast<Recorder*>(context)->events.push_back(std::string("folder ") + path);
  }
  static int Write(void* context, const unsigned char* data, uint32_t size) {
    File* f = static_cast<File*>(context);
    f->data.append(reinterpret_cast<const char*>(data), size);
    f->writes.push_back(size);
    return 0;
  }
  static int ExtractFile(void* context, FILE* stream, const PayloadEntry& entry,
                         const char* path, uint32_t position) {
    Recorder* r = static_cast<Recorder*>(context);
    r->events.push_back(std::string("file ") + path);
    r->files.emplace_back();
    File& f = r->files.back();
    f.path = path;
    if (PayloadReadTimeStamp(stream, &f.stamp) != 0) return 1;
    PayloadSink sink{&f, Write, nullptr};
    uint32_t written = 0;
    int result = PayloadInflateEntry(stream, entry.packedSize, position + kPayloadTimeStampBytes,
                                     r->in.data(), r->out.data(), sink, &written);
    f.ok = result == 0;
    return result;
  }
};

// Walks the archive (image + payload + trailer) in the given mode below
// "dest". Returns PayloadWalk's result; the recorder holds what happened.
inline int WalkArchive(const std::string& archive, int mode, Recorder* recorder,
                       const char* destination = "dest", const char** reason = nullptr) {
  FILE* f = TempFileWith(archive);
  if (!f) return -2;
  PayloadLocation where{};
  int result = PayloadLocate(f, &where);
  if (result == 0) {
    PayloadWalkOps ops{recorder, IsLeadByte, Recorder::MakeFolder, Recorder::ExtractFile, nullptr};
    result = PayloadWalk(f, where.length, destination, mode, ops, reason);
  }
  fclose(f);
  return result;
}

}  // namespace testpayload
