// An update run from a folder where DLLs named like the system's winmm and
// comctl32 lie beside it (a Downloads folder), with Wine told to
// prefer such DLLs for those names as Windows does for DLLs that are not
// known DLLs: the updater loads none of them and runs the whole update.
// Wine reads WINEDLLOVERRIDES from the Unix environment a process starts
// with, which CreateProcess does not pass on; the same overrides are given
// per program in the prefix's registry instead. (version.dll is left out:
// Wine's own advapi32 imports it before the program runs, where Windows
// takes a known DLL's imports from the system folder.)
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "e2e/driver/uidriver.h"
#include "win/common/temp_folder.h"

namespace {

constexpr int kWaitMs = 30000;
const char* const kPlanted[] = {"winmm.dll", "comctl32.dll"};

std::string WindowsPath(const char* linuxPath) {
  std::string path = std::string("Z:") + linuxPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path + "\\";
}

// The planted names that have left their marker.
std::vector<std::string> LoadedFrom(const std::string& folder) {
  std::vector<std::string> loaded;
  for (const char* name : kPlanted) {
    if (FileExists(folder + "\\" + name + ".loaded")) loaded.push_back(name);
  }
  return loaded;
}

// WINEDLLOVERRIDES="winmm,comctl32=n,b" for the program of that name.
bool PreferNative(const std::string& program) {
  HKEY key;
  std::string path = "Software\\Wine\\AppDefaults\\" + program + "\\DllOverrides";
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  bool ok = true;
  for (const char* name : kPlanted) {
    std::string base(name, strlen(name) - 4);
    ok &= RegSetValueExA(key, base.c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>("native,builtin"), 15) == ERROR_SUCCESS;
  }
  RegCloseKey(key);
  return ok;
}

// Starts a program from `folder`, which is also its current folder.
bool StartPlanted(DrvProcess* p, const std::string& exe, const std::string& args,
                  const std::string& folder) {
  return DrvStart(p, exe, args, folder.c_str());
}

bool Answer(const DrvProcess& p, HWND menu, int button, std::string* message = nullptr) {
  HWND box = DrvWaitDialogWith(p, menu, button, kWaitMs);
  if (!box) return false;
  if (message) *message = DrvBoxMessage(box);
  return DrvClick(box, button) &&
         DrvWaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, kWaitMs);
}

TEST(DllPlanting, PlantedDllsBesideTheUpdateAreNeverLoaded) {
  TempFolder temp;
  const std::string bin = WindowsPath(UPD_BIN_DIR);
  const std::string downloads = temp / "Downloads";
  const std::string game = temp / "game";
  const std::string input = temp / "in";
  ASSERT_TRUE(CreateDirectoryA(downloads.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(game.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(input.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA((input + "\\data").c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(input + "\\install.env",
                             "TITLEBAR\tPlanted\r\nREG_GLOBAL\tUpdTest\r\nREG_LOCAL\tPlanted\r\n"
                             "EXENAME\tnot-there.exe\r\n[EOF]\r\n"));
  // Large enough for the copy progress window to show its bars and clip.
  const std::string data = Noise(4u << 20);
  ASSERT_TRUE(WriteFileBytes(input + "\\data\\new.dat", data));

  const std::string update = downloads + "\\update.exe";
  DrvProcess pack;
  DrvGuard packGuard{&pack};
  ASSERT_TRUE(DrvStart(&pack, bin + "updpack.exe",
                       "build -q -j 1 -o \"" + update + "\" \"" + input + "\""));
  int code = 1;
  ASSERT_TRUE(DrvWaitExit(&pack, &code, 120000));
  ASSERT_EQ(code, 0) << "updpack build";

  const std::string plant = WindowsPath(UPD_PLANT_DIR);
  for (const char* name : kPlanted) {
    ASSERT_TRUE(
        CopyFileA((plant + "planted.dll").c_str(), (downloads + "\\" + name).c_str(), FALSE))
        << name;
  }
  ASSERT_TRUE(
      CopyFileA((plant + "plant_probe.exe").c_str(), (downloads + "\\probe.exe").c_str(), FALSE));
  ASSERT_TRUE(PreferNative("probe.exe"));
  ASSERT_TRUE(PreferNative("update.exe"));

  // The plant works: a program that searches its own folder loads both.
  DrvProcess probe;
  DrvGuard probeGuard{&probe};
  ASSERT_TRUE(StartPlanted(&probe, downloads + "\\probe.exe", "winmm.dll comctl32.dll", downloads));
  ASSERT_TRUE(DrvWaitExit(&probe, &code, kWaitMs));
  EXPECT_EQ(code, 0);
  ASSERT_EQ(LoadedFrom(downloads).size(), 2u) << "the planted DLLs were not taken by the probe";
  for (const char* name : kPlanted) DeleteFileA((downloads + "\\" + name + ".loaded").c_str());

  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\UpdTest\\Planted", 0, nullptr, 0,
                            KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, "IsInst", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
  RegSetValueExA(key, "InstTo", 0, REG_SZ, reinterpret_cast<const BYTE*>(game.c_str()),
                 static_cast<DWORD>(game.size() + 1));
  RegCloseKey(key);

  // The whole road: menu, アップデート, confirmation, copy window, completion.
  DrvProcess p;
  DrvGuard guard{&p};
  ASSERT_TRUE(StartPlanted(&p, update, "", downloads));
  HWND menu = DrvWaitWindow(p, "#32770", "Planted アップデータ", kWaitMs);
  ASSERT_NE(menu, nullptr) << "no menu; loaded: " << LoadedFrom(downloads).size();
  ASSERT_TRUE(DrvClick(menu, 1001));
  std::string message;
  ASSERT_TRUE(Answer(p, menu, IDYES, &message));
  EXPECT_NE(message.find("をアップデートします"), std::string::npos) << DrvUtf8(message);
  HWND done = DrvWaitWindow(p, "#32770", "インストール終了", kWaitMs);
  ASSERT_NE(done, nullptr);
  ASSERT_TRUE(DrvClick(done, IDOK));
  ASSERT_TRUE(DrvWaitExit(&p, &code, kWaitMs));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadFileBytes(game + "\\data\\new.dat"), data);
  EXPECT_EQ(LoadedFrom(downloads), std::vector<std::string>{}) << "planted DLLs were loaded";
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\UpdTest\\Planted");
}

}  // namespace
