// The settings the updater reads from install.env, for `updpack check`: each
// key with the kind of its value and the accessor that produces it.
#pragma once

#include <cstddef>
#include <string>

enum class EnvKeyKind {
  kText,          // a 128-byte value with a default
  kOptionalText,  // a 128-byte value, or none when absent
  kNumber,        // a decimal integer, default 0
  kReadme,        // read with EnvGetString: 128 bytes in the main menu
};

struct KnownEnvKey {
  const char* name;
  EnvKeyKind kind;
  const char* (*text)();  // the accessor of text kinds, null for kReadme
  int (*number)();        // the accessor of kNumber
  const char* fallback;   // kReadme: the default its users pass
};

extern const KnownEnvKey kKnownEnvKeys[];
extern const size_t kKnownEnvKeyCount;

// The entry for name (exact, case-sensitive), or null.
const KnownEnvKey* FindKnownEnvKey(const char* name);

// What the updater uses for the key once the table is loaded, as code page
// 932 text ("(none)" for an absent optional value).
std::string KnownEnvKeyValue(const KnownEnvKey& key);

// The number of value bytes the updater keeps for text kinds.
constexpr size_t kEnvKeptBytes = 127;
