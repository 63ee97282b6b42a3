// File system access of updpack. Paths are UTF-8 text on every platform
// (converted to wide text for the Windows API); names inside the payload are
// code page 932.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct FsItem {
  std::string name;  // the last part of the path
  bool isFolder = false;
  bool isFile = false;  // a regular file (symbolic links followed)
  bool isLink = false;  // the name itself is a symbolic link (FsListFolder)
  uint64_t size = 0;
  uint64_t fileTime = 0;  // last write, FILETIME units (100 ns since 1601, UTC)
};

// The command-line argument as a UTF-8 path (Windows passes ANSI text).
std::string FsArgPath(const char* arg);

// The items of a folder without "." and "..", in no particular order.
// Returns 0, or -1 with the reason in *error.
int FsListFolder(const std::string& path, std::vector<FsItem>* items, std::string* error);
// What a path names. Returns 0, or -1 with the reason (it does not exist...).
int FsStat(const std::string& path, FsItem* item, std::string* error);
bool FsExists(const std::string& path);

FILE* FsOpen(const std::string& path, const char* mode);
// Opens a regular file for reading ("rb"). A FIFO, a device or a folder is
// refused before anything is read from it (it may block or never end).
// Returns null with the reason in *error.
FILE* FsOpenRegular(const std::string& path, std::string* error);
// True when the path's last part is a symbolic link (or, on Windows, any
// reparse point); false when it is not or does not exist.
bool FsIsLink(const std::string& path);
// The first symbolic link on the way from root (not itself looked at) down
// to path, a path below it with '/' separators; "" when there is none.
std::string FsFirstLink(const std::string& root, const std::string& path);
// What a path names without following a link: 0 and *regular set, or -1
// when it does not exist.
int FsLstatKind(const std::string& path, bool* regular, bool* folder);
// True when both paths name the same existing file.
bool FsSameFile(const std::string& a, const std::string& b);
// True when no process of this id runs any more.
bool FsProcessGone(unsigned long pid);
unsigned long FsProcessId();
// Reads a whole regular file (FsOpenRegular) into *bytes: the one whole-file
// reader. False when it cannot be opened or read, with the reason in *error
// when given.
bool FsReadAll(const std::string& path, std::string* bytes, std::string* error = nullptr);
int FsSeek(FILE* f, uint64_t offset);
// Creates a new file that did not exist (for the temporary output), writable;
// with executable, runnable as a program where that is a permission.
FILE* FsCreateNew(const std::string& path, bool executable = false);
// Makes sure the data reached the disk before the file is renamed into place.
int FsSync(FILE* f);
// Renames from to to; replaces an existing to only with replace. Returns 0,
// or -1 with the reason.
int FsRename(const std::string& from, const std::string& to, bool replace, std::string* error);
int FsRemove(const std::string& path);
// True when the file is marked read-only (no write permission at all, or
// the read-only attribute on Windows).
bool FsIsReadOnly(const std::string& path);
// Gives the file at from a second name to (a hard link). Returns 0 or -1.
int FsLink(const std::string& from, const std::string& to);
// Removes an empty folder. Returns 0 or -1.
int FsRemoveFolder(const std::string& path);
// Creates a folder; an existing folder is fine. Returns 0 or -1.
int FsMakeFolder(const std::string& path);
// Creates a folder and any missing folders above it. Returns 0 or -1.
int FsMakeFolders(const std::string& path);
int FsSetFileTime(const std::string& path, uint64_t fileTime);

// The folder that holds this program's executable ("" when unknown).
std::string FsSelfFolder();
// The folder part of a path ("." for a bare name).
std::string FsFolderOf(const std::string& path);
std::string FsJoin(const std::string& folder, const std::string& name);
// An absolute form of an existing path with links resolved; "" on failure.
std::string FsCanonical(const std::string& path);
// True when inner is folder or lies below it (both canonical).
bool FsIsInside(const std::string& inner, const std::string& folder);

// Name conversions between UTF-8 and code page 932. Return false when a
// character has no equivalent.
bool FsUtf8ToCp932(const std::string& utf8, std::string* cp932);
bool FsCp932ToUtf8(const std::string& cp932, std::string* utf8);

// A path (UTF-8) as this platform shows it in messages: the ANSI code page
// on Windows, unchanged elsewhere.
std::string FsShown(const std::string& path);

// A payload name (code page 932) as this platform shows it on a terminal:
// UTF-8 natively, the bytes as they are on Windows; control characters, and
// natively bytes that are not code page 932, as \xNN.
std::string FsDisplayName(const std::string& cp932);
