// One accessor per setting of install.env: the key's name, its default, the
// width of its value and how often it is looked up are fixed here, so the
// rest of the program never names a key. Text results live in 128-byte
// buffers of their own (127 bytes of value at most) and stay valid for the
// run; a later call rewrites the same buffer.
#pragma once

// Width of every accessor's text buffer.
constexpr int kEnvValueSize = 128;
// EnvUpdaterTitle: the title (127 bytes) and " アップデータ" (13 bytes).
constexpr int kEnvUpdaterTitleSize = kEnvValueSize - 1 + 13 + 1;

// Looked up on the first call, then the remembered buffer.
const char* EnvRegGlobal();   // "REG_GLOBAL", default "-"
const char* EnvRegLocal();    // "REG_LOCAL", default "-"
const char* EnvIniFile();     // "INI_FILE", default "-"
const char* EnvIniSection();  // "INI_SECTION", default "-"

// Looked up on every call.
const char* EnvTitleBar();  // "TITLEBAR", default "ＺＯＲＶＥＫ アプリケーション"
const char* EnvInstTo();    // "INSTTO", default "ZORVEK_APP"
const char* EnvExeName();   // "EXENAME", default "zorvek.exe"

// Looked up on every call; null when the key is absent or its value empty.
const char* EnvInstFol();  // "INSTFOL"
const char* EnvKeyFile();  // "KEYFILE"
const char* EnvChkReg();   // "CHKREG"

// Read with default 0 on the first call and remembered; -1 marks "not yet",
// so a value of -1 is looked up again on every call (with the same result).
int EnvInstMakeFol();    // "INSTMAKEFOL"
int EnvChkRegVer();      // "CHKREGVER"
int EnvChkRegVerHigh();  // "CHKREGVERHIGH"

// "%s アップデータ" with the current EnvTitleBar text, built on every call.
const char* EnvUpdaterTitle();

// Keys without an accessor: their users call EnvGetString with these
// defaults (128 bytes in the main menu, 512 bytes after the update).
constexpr const char* kEnvInstReadmeKey = "INSTREADME";
constexpr const char* kEnvInstReadmeDefault = "-";
constexpr const char* kEnvInstReadmeFlKey = "INSTREADMEFL";
constexpr const char* kEnvInstReadmeFlDefault = "readme.txt";

// The default title and the title suffix as code page 932 bytes, the same in
// every build (the native build does not convert its literals).
extern const char kEnvDefaultTitleBar[];
extern const char kEnvUpdaterTitleSuffix[];

// Forgets every remembered value. For tools and tests that load more than
// one file; the updater loads once and never calls it.
void EnvResetAccessors();
