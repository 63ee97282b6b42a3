#include "win/common/reg_tool.h"

#include <windows.h>

#include <vector>

int RunReg(const std::string& args, std::string* output) {
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

bool RegQueryText(const std::string& key, const std::string& name, std::string* data) {
  std::string out;
  if (RunReg("query \"HKCU\\" + key + "\" /v \"" + name + "\"", &out) != 0) return false;
  size_t at = out.find("REG_SZ");
  if (at == std::string::npos) return false;
  at += 6;
  while (at < out.size() && out[at] == ' ') ++at;
  size_t end = out.find_first_of("\r\n", at);
  *data = out.substr(at, end == std::string::npos ? std::string::npos : end - at);
  return true;
}
