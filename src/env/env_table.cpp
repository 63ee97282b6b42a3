#include "env/env_table.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "env/env_alloc.h"

namespace {

EnvEntry* g_first = nullptr;
EnvEntry* g_last = nullptr;

inline bool IsSeparator(char c) { return static_cast<unsigned char>(c) <= 0x20; }

}  // namespace

EnvLineKind EnvParseLine(char* line, EnvKeyLine* parsed) {
  *parsed = EnvKeyLine();
  if (strncmp(line, "[EOF]", 5) == 0) return kEnvLineEnd;
  if (IsSeparator(line[0]) || line[0] == '/') return kEnvLineIgnored;
  // The whole buffer, not only the piece: bytes behind a zero byte the piece
  // carried are still in it, and a value may be found there.
  for (int i = 0; i < kEnvLineSize; ++i) {
    if (IsSeparator(line[i])) line[i] = '\0';
  }
  size_t keyEnd = strlen(line);  // line[kEnvLineSize - 1] is zero by now
  parsed->keyLength = keyEnd;
  size_t windowEnd = keyEnd + kEnvValueWindow;
  if (windowEnd > kEnvLineSize - 1) windowEnd = kEnvLineSize - 1;
  for (size_t i = keyEnd; i <= windowEnd; ++i) {
    if (line[i] != '\0') {
      parsed->valueOffset = i;
      parsed->valueLength = strlen(line + i);
      return kEnvLineEntry;
    }
  }
  for (size_t i = windowEnd + 1; i < kEnvLineSize; ++i) {
    if (line[i] != '\0') {
      parsed->valueTooFar = true;
      break;
    }
  }
  return kEnvLineNoValue;
}

void EnvReplaceBars(char* value, LeadByteFn isLead) {
  for (char* p = MbsChr(value, '|', isLead); p; p = MbsChr(p + 1, '|', isLead)) *p = ' ';
}

// Appends an entry holding copies of key and value (bars replaced).
static void EnvAppend(const char* key, const char* value, LeadByteFn isLead) {
  EnvEntry* entry = static_cast<EnvEntry*>(EnvAlloc(sizeof(EnvEntry)));
  entry->key = EnvCopyText(key, strlen(key));
  entry->value = EnvCopyText(value, strlen(value));
  entry->next = nullptr;
  EnvReplaceBars(entry->value, isLead);
  if (g_last) {
    g_last->next = entry;
  } else {
    g_first = entry;
  }
  g_last = entry;
}

void EnvReadTable(const EnvPieceSource& source, LeadByteFn isLead) {
  char line[kEnvLineSize];
  for (int piece = 0; piece < kEnvMaxPieces; ++piece) {
    memset(line, 0, sizeof line);
    if (!source.read(source.input, line, sizeof line)) break;
    EnvKeyLine parsed;
    EnvLineKind kind = EnvParseLine(line, &parsed);
    if (kind == kEnvLineEnd) break;
    if (kind == kEnvLineEntry) EnvAppend(line, line + parsed.valueOffset, isLead);
  }
}

const EnvEntry* EnvFind(const char* key) {
  for (const EnvEntry* e = g_first; e; e = e->next) {
    if (strcmp(e->key, key) == 0) return e;
  }
  return nullptr;
}

const EnvEntry* EnvFirstEntry() { return g_first; }

char* EnvGetString(const char* key, char* buffer, size_t size, const char* def) {
  if (size == 0) return buffer;  // no byte to write, not even the terminator
  buffer[0] = '\0';
  const EnvEntry* entry = EnvFind(key);
  const char* text = entry ? entry->value : def;
  // Copy up to size bytes and zero-fill the rest, then force the terminator:
  // a long value is cut after size - 1 bytes.
  size_t i = 0;
  for (; i < size && text[i] != '\0'; ++i) buffer[i] = text[i];
  for (; i < size; ++i) buffer[i] = '\0';
  buffer[size - 1] = '\0';
  return buffer;
}

int EnvGetInt(const char* key, int def) {
  const EnvEntry* entry = EnvFind(key);
  if (!entry) return def;
  long n = strtol(entry->value, nullptr, 10);
  if (n > INT_MAX) return INT_MAX;
  if (n < INT_MIN) return INT_MIN;
  return static_cast<int>(n);
}

void EnvFree() {
  EnvEntry* e = g_first;
  while (e) {
    EnvEntry* next = e->next;
    free(e->key);
    free(e->value);
    free(e);
    e = next;
  }
  g_first = nullptr;
  g_last = nullptr;
}
