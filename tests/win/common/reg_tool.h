// Test support: the system's reg.exe, run inside the same Wine prefix, to
// prepare and read back registry values as a user or installer would.
#pragma once

#include <string>

// Runs "reg.exe ARGS"; its exit code, and its output in *output.
int RunReg(const std::string& args, std::string* output = nullptr);

// The data of a REG_SZ value of an HKCU key as "reg query" shows it; false
// when the value is absent or of another type.
bool RegQueryText(const std::string& key, const std::string& name, std::string* data);
