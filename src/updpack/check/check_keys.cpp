#include "updpack/check/check_keys.h"

#include <cstring>

#include "env/env_keys.h"
#include "env/env_table.h"

const KnownEnvKey kKnownEnvKeys[] = {
    {"REG_GLOBAL", EnvKeyKind::kText, EnvRegGlobal, nullptr, nullptr},
    {"REG_LOCAL", EnvKeyKind::kText, EnvRegLocal, nullptr, nullptr},
    {"INI_FILE", EnvKeyKind::kText, EnvIniFile, nullptr, nullptr},
    {"INI_SECTION", EnvKeyKind::kText, EnvIniSection, nullptr, nullptr},
    {"TITLEBAR", EnvKeyKind::kText, EnvTitleBar, nullptr, nullptr},
    {"INSTTO", EnvKeyKind::kText, EnvInstTo, nullptr, nullptr},
    {"INSTFOL", EnvKeyKind::kOptionalText, EnvInstFol, nullptr, nullptr},
    {"EXENAME", EnvKeyKind::kText, EnvExeName, nullptr, nullptr},
    {"INSTMAKEFOL", EnvKeyKind::kNumber, nullptr, EnvInstMakeFol, nullptr},
    {"KEYFILE", EnvKeyKind::kOptionalText, EnvKeyFile, nullptr, nullptr},
    {"CHKREG", EnvKeyKind::kOptionalText, EnvChkReg, nullptr, nullptr},
    {"CHKREGVER", EnvKeyKind::kNumber, nullptr, EnvChkRegVer, nullptr},
    {"CHKREGVERHIGH", EnvKeyKind::kNumber, nullptr, EnvChkRegVerHigh, nullptr},
    {kEnvInstReadmeKey, EnvKeyKind::kReadme, nullptr, nullptr, kEnvInstReadmeDefault},
    {kEnvInstReadmeFlKey, EnvKeyKind::kReadme, nullptr, nullptr, kEnvInstReadmeFlDefault},
};
const size_t kKnownEnvKeyCount = sizeof kKnownEnvKeys / sizeof kKnownEnvKeys[0];

const KnownEnvKey* FindKnownEnvKey(const char* name) {
  for (const KnownEnvKey& key : kKnownEnvKeys) {
    if (strcmp(key.name, name) == 0) return &key;
  }
  return nullptr;
}

std::string KnownEnvKeyValue(const KnownEnvKey& key) {
  switch (key.kind) {
    case EnvKeyKind::kText:
      return key.text();
    case EnvKeyKind::kOptionalText: {
      const char* text = key.text();
      return text ? text : "(none)";
    }
    case EnvKeyKind::kNumber:
      return std::to_string(key.number());
    case EnvKeyKind::kReadme: {
      char buffer[kEnvValueSize];
      return EnvGetString(key.name, buffer, sizeof buffer, key.fallback);
    }
  }
  return std::string();
}
