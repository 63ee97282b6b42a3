// The registry store against the system's own reg.exe: values put in place
// by "reg add" are read back by the store, and what the store writes is read
// back by "reg query".
#include "target/registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Runs reg.exe with the arguments; its exit code, and its output in *output.
int RunReg(const std::string& args, std::string* output = nullptr) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return -100;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION info = {};
  std::string command = "reg.exe " + args;
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                nullptr, nullptr, &startup, &info);
  CloseHandle(writeEnd);
  std::string text;
  char buffer[4096];
  DWORD n = 0;
  while (started && ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0) {
    text.append(buffer, n);
  }
  CloseHandle(readEnd);
  if (!started) return -101;
  WaitForSingleObject(info.hProcess, 30000);
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  if (output) *output = text;
  return static_cast<int>(code);
}

void Add(const std::string& key, const std::string& name, const char* type,
         const std::string& data) {
  ASSERT_EQ(RunReg("add \"HKCU\\" + key + "\" /v " + name + " /t " + type + " /d \"" + data +
                   "\" /f"),
            0)
      << key << " " << name;
}

// The data of a REG_SZ value as reg query shows it; empty when absent.
std::string Query(const std::string& key, const std::string& name) {
  std::string out;
  if (RunReg("query \"HKCU\\" + key + "\" /v " + name, &out) != 0) return std::string();
  size_t at = out.find("REG_SZ");
  if (at == std::string::npos) return std::string();
  at = out.find_first_not_of(' ', at + 6);
  size_t end = out.find_first_of("\r\n", at);
  return at == std::string::npos ? std::string() : out.substr(at, end - at);
}

TEST(Registry, ReadsWhatRegAddStored) {
  const std::string key = "Software\\RegMaker\\ReadTitle";
  char text[512];
  // No key at all: the defaults.
  EXPECT_EQ(RegReadInt("RegMaker", "ReadTitle", "IsInst", 0), 0);
  EXPECT_EQ(RegReadString("RegMaker", "ReadTitle", "InstTo", "none", text, sizeof text), -1);
  EXPECT_STREQ(text, "none");

  Add(key, "IsInst", "REG_SZ", "1");
  EXPECT_EQ(RegReadInt("RegMaker", "ReadTitle", "IsInst", 0), 1);
  Add(key, "IsInst", "REG_DWORD", "1");
  EXPECT_EQ(RegReadInt("RegMaker", "ReadTitle", "IsInst", 0), 0);
  Add(key, "IsInst", "REG_SZ", "yes");
  EXPECT_EQ(RegReadInt("RegMaker", "ReadTitle", "IsInst", 7), 0);
  Add(key, "Version", "REG_SZ", "1070abc");
  EXPECT_EQ(RegReadInt("RegMaker", "ReadTitle", "Version", 0), 1070);
  Add(key, "Expand", "REG_EXPAND_SZ", "5");
  EXPECT_EQ(RegReadInt("RegMaker", "ReadTitle", "Expand", -3), -3);

  Add(key, "Long", "REG_SZ", std::string(600, 'x'));
  EXPECT_EQ(RegReadString("RegMaker", "ReadTitle", "Long", "dflt", text, sizeof text), -1);
  EXPECT_STREQ(text, "dflt");
  Add(key, "Edge", "REG_SZ", std::string(511, 'y'));  // 512 bytes with its zero: still read
  EXPECT_EQ(RegReadString("RegMaker", "ReadTitle", "Edge", "dflt", text, sizeof text), 0);
  EXPECT_EQ(std::string(text), std::string(511, 'y'));
  Add(key, "Edge", "REG_SZ", std::string(512, 'y'));
  EXPECT_EQ(RegReadString("RegMaker", "ReadTitle", "Edge", "dflt", text, sizeof text), -1);

  Add(key, "InstTo", "REG_SZ", "D:\\Games\\Title");
  char small[8];
  EXPECT_EQ(RegReadString("RegMaker", "ReadTitle", "InstTo", "", small, sizeof small), 0);
  EXPECT_STREQ(small, "D:\\Game");  // cut to the caller's buffer, terminated

  Add("Software\\-\\-", "IsInst", "REG_SZ", "1");
  EXPECT_EQ(RegReadInt("-", "-", "IsInst", 0), 1);
  RunReg("delete \"HKCU\\Software\\RegMaker\" /f");
  RunReg("delete \"HKCU\\Software\\-\" /f");
}

TEST(Registry, WritesCreateTheKeyAndStoreTheTerminatingZero) {
  RunReg("delete \"HKCU\\Software\\RegNew\" /f");
  ASSERT_EQ(RegWriteString("RegNew", "Deep", "InstTo", "C:\\Games\\Title"), 0);
  EXPECT_EQ(Query("Software\\RegNew\\Deep", "InstTo"), "C:\\Games\\Title");

  HKEY key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\RegNew\\Deep", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  DWORD size = 0;
  DWORD type = 0;
  EXPECT_EQ(RegQueryValueExW(key, L"InstTo", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, 2 * (strlen("C:\\Games\\Title") + 1));  // the text and its zero
  RunReg("delete \"HKCU\\Software\\RegNew\" /f");
}

}  // namespace
