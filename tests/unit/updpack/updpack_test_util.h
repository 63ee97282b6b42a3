// Test support for updpack: temporary folders, running the program and
// checking what it printed, and an independent reader of the updates it
// writes (plain byte parsing and zlib's one-shot uncompress, none of
// updpack's or the updater's reading code).
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <regex.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace testupd {

namespace fs = std::filesystem;

// A fresh folder below the system's temp folder, removed afterwards.
struct TempDir {
  fs::path path;
  TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "updpack-test-XXXXXX").string();
    path = mkdtemp(&tmpl[0]) ? fs::path(tmpl) : fs::path();
  }
  ~TempDir() {
    std::error_code ec;
    if (!path.empty()) fs::remove_all(path, ec);
  }
  std::string operator/(const std::string& name) const { return (path / name).string(); }
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A stand-in for the updater: a small image that starts like an executable.
inline std::string FakeStub() {
  std::string stub = "MZ";
  for (int i = 0; i < 510; ++i) stub.push_back(static_cast<char>(i * 7));
  return stub;
}

// Sets a file's last-write time (seconds and nanoseconds since 1970).
inline void SetMtime(const std::string& path, int64_t seconds, long nanoseconds) {
  struct timespec times[2];
  times[0].tv_sec = seconds;
  times[0].tv_nsec = 0;
  times[1].tv_sec = seconds;
  times[1].tv_nsec = nanoseconds;
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

inline struct timespec Mtime(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mtim;
}

// Every name below root with its kind, bytes and modification time, to the
// second or to the nanosecond; symbolic links as "link", not followed.
inline std::map<std::string, std::string> TreeSnapshot(const std::string& root, bool nanoseconds) {
  std::map<std::string, std::string> out;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    std::string rel = fs::relative(it->path(), root).string();
    if (it->is_symlink()) {
      out[rel] = "link";
    } else if (it->is_directory()) {
      out[rel] = "folder";
    } else {
      struct timespec t = Mtime(it->path().string());
      out[rel] = ReadBytes(it->path().string()) + "@" + std::to_string(t.tv_sec) +
                 (nanoseconds ? "." + std::to_string(t.tv_nsec) : "");
    }
  }
  return out;
}

// Copies the tree at from to to (replacing it), modification times and all.
inline void CopyTreeWithTimes(const std::string& from, const std::string& to) {
  fs::remove_all(to);
  fs::copy(from, to, fs::copy_options::recursive);
  for (auto& e : fs::recursive_directory_iterator(from)) {
    if (!e.is_regular_file()) continue;
    struct timespec t = Mtime(e.path().string());
    SetMtime(to + "/" + fs::relative(e.path(), from).string(), t.tv_sec, t.tv_nsec);
  }
}

struct RunResult {
  int code = -1;
  std::string out;
  std::string err;
};

inline std::string Quote(const std::string& arg) {
  std::string q = "'";
  for (char c : arg) {
    if (c == '\'') {
      q += "'\\''";
    } else {
      q += c;
    }
  }
  return q + "'";
}

// For failure messages: the exit code and everything the program printed.
inline std::ostream& operator<<(std::ostream& os, const RunResult& r) {
  return os << "exit code " << r.code << "\nstdout:\n" << r.out << "\nstderr:\n" << r.err;
}

// Runs a program (a path, or a name looked up in PATH) with the arguments and
// collects its exit code and output; a run that hangs is ended after a minute
// (exit code 124).
inline RunResult RunProgram(const std::string& program, const std::vector<std::string>& args) {
  TempDir io;
  std::string cmd = "timeout 60 " + Quote(program);
  for (const std::string& a : args) cmd += " " + Quote(a);
  cmd += " >" + Quote(io / "out") + " 2>" + Quote(io / "err") + " </dev/null";
  int status = system(cmd.c_str());
  RunResult r;
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = ReadBytes(io / "out");
  r.err = ReadBytes(io / "err");
  return r;
}

inline RunResult RunUpdpack(const std::vector<std::string>& args) {
  return RunProgram(UPDPACK_EXE, args);
}

// Whether the text holds a match of the regular expression, read as CMake's
// MATCHES and `grep -E` read it: POSIX extended, where `.` matches a line end
// too, so that one pattern can span lines of a report.
inline testing::AssertionResult Finds(const std::string& text, const std::string& pattern) {
  regex_t re;
  if (regcomp(&re, pattern.c_str(), REG_EXTENDED | REG_NOSUB) != 0) {
    return testing::AssertionFailure() << "bad regular expression \"" << pattern << "\"";
  }
  bool found = regexec(&re, text.c_str(), 0, nullptr, 0) == 0;
  regfree(&re);
  if (found) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "no \"" << pattern << "\" in:\n" << text;
}

// Whether the text holds the exact string, as `grep -F` finds it.
inline testing::AssertionResult Contains(const std::string& text, const std::string& exact) {
  if (text.find(exact) != std::string::npos) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "no \"" << exact << "\" in:\n" << text;
}

// Runs updpack and expects its exit code, each of errPatterns in its stderr
// and outPattern, unless empty, in its stdout (regular expressions, as Finds
// reads them); returns the run for further checks.
inline RunResult ExpectRun(const std::vector<std::string>& args, int code,
                           const std::vector<std::string>& errPatterns = {},
                           const std::string& outPattern = "") {
  RunResult r = RunUpdpack(args);
  std::string command = "updpack";
  for (const std::string& a : args) command += " " + a;
  EXPECT_EQ(r.code, code) << command << "\n" << r;
  for (const std::string& pattern : errPatterns) {
    EXPECT_TRUE(Finds(r.err, pattern)) << command << ": stderr";
  }
  if (!outPattern.empty()) {
    EXPECT_TRUE(Finds(r.out, outPattern)) << command << ": stdout";
  }
  return r;
}

inline uint32_t Get16(const std::string& b, size_t at) {
  return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}

inline uint32_t Get32(const std::string& b, size_t at) {
  return Get16(b, at) | Get16(b, at + 2) << 16;
}

inline uint64_t Get64(const std::string& b, size_t at) {
  return Get32(b, at) | static_cast<uint64_t>(Get32(b, at + 4)) << 32;
}

struct ParsedEntry {
  std::string name;  // as stored, code page 932
  bool folder = false;
  bool delta = false;  // the delta mark for a size; stream is the delta stream
  uint32_t size = 0;
  uint32_t packed = 0;
  uint64_t stamp = 0;
  std::string stream;  // the zlib stream as stored
  std::string data;    // what zlib's uncompress made of it
  bool inflated = false;
};

struct ParsedUpdate {
  bool ok = false;     // the walk reached the end marker right before the trailer
  uint32_t first = 0;  // the trailer's P
  std::vector<ParsedEntry> entries;
};

// Walks an update byte by byte and inflates each stream in one call.
inline ParsedUpdate ParseUpdate(const std::string& file) {
  ParsedUpdate u;
  if (file.size() < 8) return u;
  u.first = Get32(file, file.size() - 4);
  size_t pos = u.first;
  size_t end = file.size() - 4;
  while (pos + 2 <= end) {
    uint32_t n = Get16(file, pos);
    if (n == 0) {
      u.ok = pos + 4 == end && Get32(file, pos) == 0;
      return u;
    }
    if (pos + 2 + n + 8 > end) return u;
    ParsedEntry e;
    e.name.assign(file, pos + 2, n - 1);
    pos += 2 + n;
    e.size = Get32(file, pos);
    e.packed = Get32(file, pos + 4);
    pos += 8;
    e.folder = e.size == 0xFFFFFFFFu;
    e.delta = e.size == 0xFFFFFFFEu;
    if (!e.folder) {
      if (pos + 8 + e.packed > end) return u;
      e.stamp = Get64(file, pos);
      e.stream.assign(file, pos + 8, e.packed);
      pos += 8 + e.packed;
      if (e.delta) {
        u.entries.push_back(e);
        continue;
      }
      e.data.assign(e.size, '\0');
      uLongf len = e.size;
      e.inflated = uncompress(reinterpret_cast<Bytef*>(&e.data[0]), &len,
                              reinterpret_cast<const Bytef*>(e.stream.data()),
                              static_cast<uLong>(e.stream.size())) == Z_OK &&
                   len == e.size;
    }
    u.entries.push_back(e);
  }
  return u;
}

inline std::vector<std::string> Names(const ParsedUpdate& u) {
  std::vector<std::string> names;
  for (const ParsedEntry& e : u.entries) names.push_back(e.name);
  return names;
}

// Data that compresses moderately and differs with the seed.
inline std::string MixedData(size_t size, uint32_t seed) {
  std::string out(size, '\0');
  uint32_t x = seed * 2654435761u + 7;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1664525u + 1013904223u;
    // Mostly a small alphabet with runs, now and then a random byte.
    out[i] =
        (x >> 29) == 0 ? static_cast<char>(x >> 21) : static_cast<char>('a' + ((x >> 24) & 15));
    if ((x >> 20 & 63) == 0 && i > 300) out[i] = out[i - 300];
  }
  return out;
}

}  // namespace testupd
