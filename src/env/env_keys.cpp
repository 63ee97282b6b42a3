#include "env/env_keys.h"

#include "env/env_table.h"
#include "support/text.h"

// "ＺＯＲＶＥＫ アプリケーション"
const char kEnvDefaultTitleBar[] =
    "\x82\x79\x82\x6e\x82\x71\x82\x75\x82\x64\x82\x6a \x83\x41\x83\x76\x83\x8a\x83\x50\x81\x5b"
    "\x83\x56\x83\x87\x83\x93";
// " アップデータ"
const char kEnvUpdaterTitleSuffix[] = " \x83\x41\x83\x62\x83\x76\x83\x66\x81\x5b\x83\x5e";

namespace {

// Texts looked up once: an empty buffer means "not yet"; it is never empty
// after the first call, because neither a value nor the default "-" is.
char g_regGlobal[kEnvValueSize];
char g_regLocal[kEnvValueSize];
char g_iniFile[kEnvValueSize];
char g_iniSection[kEnvValueSize];

char g_titleBar[kEnvValueSize];
char g_instTo[kEnvValueSize];
char g_exeName[kEnvValueSize];
char g_instFol[kEnvValueSize];
char g_keyFile[kEnvValueSize];
char g_chkReg[kEnvValueSize];
char g_updaterTitle[kEnvUpdaterTitleSize];

constexpr int kNotYet = -1;
int g_instMakeFol = kNotYet;
int g_chkRegVer = kNotYet;
int g_chkRegVerHigh = kNotYet;

const char* LookUpOnce(char* buffer, const char* key) {
  if (buffer[0] == '\0') EnvGetString(key, buffer, kEnvValueSize, "-");
  return buffer;
}

const char* LookUpOptional(char* buffer, const char* key) {
  EnvGetString(key, buffer, kEnvValueSize, "");
  return buffer[0] != '\0' ? buffer : nullptr;
}

int LookUpRemembered(int* remembered, const char* key) {
  if (*remembered == kNotYet) *remembered = EnvGetInt(key, 0);
  return *remembered;
}

}  // namespace

const char* EnvRegGlobal() { return LookUpOnce(g_regGlobal, "REG_GLOBAL"); }
const char* EnvRegLocal() { return LookUpOnce(g_regLocal, "REG_LOCAL"); }
const char* EnvIniFile() { return LookUpOnce(g_iniFile, "INI_FILE"); }
const char* EnvIniSection() { return LookUpOnce(g_iniSection, "INI_SECTION"); }

const char* EnvTitleBar() {
  return EnvGetString("TITLEBAR", g_titleBar, sizeof g_titleBar, kEnvDefaultTitleBar);
}
const char* EnvInstTo() { return EnvGetString("INSTTO", g_instTo, sizeof g_instTo, "ZORVEK_APP"); }
const char* EnvExeName() {
  return EnvGetString("EXENAME", g_exeName, sizeof g_exeName, "zorvek.exe");
}

const char* EnvInstFol() { return LookUpOptional(g_instFol, "INSTFOL"); }
const char* EnvKeyFile() { return LookUpOptional(g_keyFile, "KEYFILE"); }
const char* EnvChkReg() { return LookUpOptional(g_chkReg, "CHKREG"); }

int EnvInstMakeFol() { return LookUpRemembered(&g_instMakeFol, "INSTMAKEFOL"); }
int EnvChkRegVer() { return LookUpRemembered(&g_chkRegVer, "CHKREGVER"); }
int EnvChkRegVerHigh() { return LookUpRemembered(&g_chkRegVerHigh, "CHKREGVERHIGH"); }

const char* EnvUpdaterTitle() {
  FormatText(g_updaterTitle, sizeof g_updaterTitle, "%s%s", EnvTitleBar(), kEnvUpdaterTitleSuffix);
  return g_updaterTitle;
}

void EnvResetAccessors() {
  g_regGlobal[0] = g_regLocal[0] = g_iniFile[0] = g_iniSection[0] = '\0';
  g_instMakeFol = g_chkRegVer = g_chkRegVerHigh = kNotYet;
}
