// Test support for the end-to-end update tests under the real updater.exe:
// a game folder as a player could tell it apart (names, bytes, times), the
// work folders in the temp folder, and the boxes an update shows.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <string>

#include "e2e/driver/uidriver.h"
#include "win/common/temp_folder.h"

namespace gamefolder {

constexpr int kWaitMs = 30000;
const char kFailureText[] =
    "ファイルの読み込みに失敗しました。ファイルが壊れている可能性があります。";

inline std::string WinPath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

inline std::string FromEnvironment(const char* name) {
  const char* value = getenv(name);
  return value && *value ? WinPath(value) : "";
}

inline std::set<std::string> Listing(const std::string& folder) {
  std::set<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    names.insert(data.cFileName);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return names;
}

inline std::set<std::string> WorkFolders() {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::set<std::string> found;
  for (const std::string& name : Listing(std::string(temp) + ".")) {
    if (name.rfind("TempGPInstallFolder_", 0) == 0) found.insert(name);
  }
  return found;
}

inline std::string Env(const std::string& title, const std::string& sections = "") {
  return "TITLEBAR\t" + title + "\r\nREG_GLOBAL\tUpdFault\r\nREG_LOCAL\t" + title +
         "\r\nEXENAME\tnot-there.exe\r\n" + sections + "[EOF]\r\n";
}

// A folder tree as names (folders end with "\\") with bytes and last-write
// times: what a player could tell apart.
struct Item {
  std::string bytes;
  uint64_t time;
  bool operator==(const Item& o) const { return bytes == o.bytes && time == o.time; }
};
using Tree = std::map<std::string, Item>;

inline void Walk(const std::string& folder, const std::string& prefix, Tree* tree) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      (*tree)[prefix + name + "\\"] = Item{"", 0};
      Walk(folder + "\\" + name, prefix + name + "\\", tree);
    } else {
      uint64_t time = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                      data.ftLastWriteTime.dwLowDateTime;
      (*tree)[prefix + name] = Item{ReadFileBytes(folder + "\\" + name), time};
    }
  } while (FindNextFileA(find, &data));
  FindClose(find);
}

inline Tree Snapshot(const std::string& folder) {
  Tree tree;
  Walk(folder, "", &tree);
  return tree;
}

// Names that differ between two trees, or whose bytes or times do.
inline std::string Differences(const Tree& a, const Tree& b) {
  std::string out;
  for (const auto& [name, item] : a) {
    auto it = b.find(name);
    if (it == b.end())
      out += " -" + name;
    else if (!(it->second == item))
      out += " ~" + name;
  }
  for (const auto& entry : b) {
    if (!a.count(entry.first)) out += " +" + entry.first;
  }
  return out;
}

// Presses the button of a dialog of the process other than the menu (which
// is a dialog too); its message in *message.
inline bool Answer(const DrvProcess& p, HWND menu, int button, std::string* message = nullptr) {
  HWND box = DrvWaitDialogWith(p, menu, button, kWaitMs);
  if (!box) return false;
  if (message) *message = DrvBoxMessage(box);
  // Gone before the next box is looked for: a box carries hidden buttons
  // of every kind, and one on its way out must not be taken for the next.
  return DrvClick(box, button) && DrvWaitFor([&] { return !IsWindow(box); }, kWaitMs);
}

// Opens the file as a running game may hold it: for reading, shared with
// nobody.
inline HANDLE HoldAsTheGame(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

// The Retry/Cancel box over the menu that asks to end the game holding the
// file at path; null when none comes.
inline HWND InUseBox(const DrvProcess& p, HWND menu, const std::string& path) {
  HWND box = DrvWaitDialogWith(p, menu, IDRETRY, kWaitMs);
  if (!box) return nullptr;
  std::string message = DrvBoxMessage(box);
  EXPECT_NE(message.find(path), std::string::npos) << DrvUtf8(message);
  EXPECT_NE(message.find("使用中"), std::string::npos) << DrvUtf8(message);
  return box;
}

// Records the game as installed in folder under the title (Software\UpdFault\<title>).
inline void RegisterGame(const std::string& title, const std::string& folder) {
  HKEY key;
  std::string path = "Software\\UpdFault\\" + title;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, "IsInst", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
  RegSetValueExA(key, "InstTo", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                 static_cast<DWORD>(folder.size() + 1));
  RegCloseKey(key);
}

// Starts the update of exe and clicks "アップデート" and Yes; its menu, or null.
inline HWND StartUpdate(DrvProcess* p, const std::string& exe, const std::string& title) {
  EXPECT_TRUE(DrvStart(p, exe));
  HWND menu = DrvWaitWindow(*p, "#32770", (title + " アップデータ").c_str(), kWaitMs);
  EXPECT_NE(menu, nullptr);
  if (!menu) return nullptr;
  EXPECT_TRUE(DrvClick(menu, 1001));
  EXPECT_TRUE(Answer(*p, menu, IDYES));
  return menu;
}

// The completion dialog, OK, and the process's end; its exit code.
inline int CompletionEnd(DrvProcess* p) {
  HWND done = DrvWaitWindow(*p, "#32770", "インストール終了", kWaitMs);
  EXPECT_NE(done, nullptr);
  if (!done) return 0xBAD;
  EXPECT_TRUE(DrvClick(done, IDOK));
  int code = 0xBAD;
  EXPECT_TRUE(DrvWaitExit(p, &code, kWaitMs));
  return code;
}

// Runs the update of exe to its completion dialog, OK, and its end; the exit code.
inline int RunToCompletion(const std::string& exe, const std::string& title) {
  DrvProcess p;
  DrvGuard guard{&p};
  if (!StartUpdate(&p, exe, title)) return 0xBAD;
  return CompletionEnd(&p);
}

// The one failure message, OK, and the process's end; its exit code.
inline int FailureEnd(DrvProcess* p, HWND menu) {
  const DrvProcess& process = *p;
  std::string message;
  EXPECT_TRUE(Answer(process, menu, IDOK, &message));
  EXPECT_EQ(message, kFailureText) << DrvUtf8(message);
  int code = 0xBAD;
  EXPECT_TRUE(DrvWaitExit(p, &code, kWaitMs));
  return code;
}

}  // namespace gamefolder
