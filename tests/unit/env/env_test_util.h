// Helpers for the install.env tests: load a text as the updater would read
// the file, and start every test from an empty table and fresh accessors.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "env/env_keys.h"
#include "env/env_pieces.h"
#include "env/env_table.h"
#include "env/sections.h"
#include "support/sjis.h"

inline void LoadEnvText(const std::string& text) {
  EnvTextInput input;
  EnvTextInputInit(&input, text.data(), text.size());
  EnvReadTable(EnvTextSource(&input), IsLeadByte);
}

// The section pass over a text; returns the section left open.
inline int LoadSectionText(const std::string& text) {
  EnvTextInput input;
  EnvTextInputInit(&input, text.data(), text.size());
  return SectionListsRead(EnvTextSource(&input));
}

inline std::string EnvValue(const char* key) {
  const EnvEntry* e = EnvFind(key);
  return e ? e->value : "<absent>";
}

inline int EnvCount() {
  int n = 0;
  for (const EnvEntry* e = EnvFirstEntry(); e; e = e->next) ++n;
  return n;
}

class EnvTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    EnvFree();
    EnvResetAccessors();
    for (int id = 0; id < kSectionCount; ++id) SectionListClear(SectionListOf(id));
  }
};
