// install.env from any bytes: the updater's two passes, every accessor, and
// updpack's check, which must all stay inside their buffers.
#include <cstddef>
#include <cstdint>
#include <string>

#include "env/env_keys.h"
#include "env/env_pieces.h"
#include "env/env_table.h"
#include "env/sections.h"
#include "updpack/check/check_env.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EnvTextInput input;
  EnvTextInputInit(&input, data, size);
  EnvReadTable(EnvTextSource(&input), IsLeadByte);
  EnvTextInputInit(&input, data, size);
  SectionListsRead(EnvTextSource(&input));
  EnvRegGlobal();
  EnvRegLocal();
  EnvIniFile();
  EnvIniSection();
  EnvUpdaterTitle();
  EnvInstTo();
  EnvExeName();
  EnvInstFol();
  EnvKeyFile();
  EnvChkReg();
  EnvInstMakeFol();
  EnvChkRegVer();
  EnvChkRegVerHigh();
  char small[3];
  EnvGetString("EXENAME", small, sizeof small, "default");

  EnvCheckResult result;
  CheckEnvText(std::string(reinterpret_cast<const char*>(data), size), true, &result);

  EnvFree();
  EnvResetAccessors();
  for (int id = 0; id < kSectionCount; ++id) SectionListClear(SectionListOf(id));
  return 0;
}
