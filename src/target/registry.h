// The registry store: string values of the per-game application key
// HKEY_CURRENT_USER\Software\<group>\<application>. Reads fall back to their
// defaults silently; no handle outlives a call.
#pragma once

// Width of the key path and of the value buffer.
constexpr int kRegTextSize = 512;

// The REG_SZ value into out (cut to outSize - 1 bytes, always terminated):
// 0, or -1 with defaultText in out when the key or value is missing, of
// another type, or 512 bytes long or more.
int RegReadString(const char* group, const char* application, const char* valueName,
                  const char* defaultText, char* out, int outSize);

// The value as a decimal number; defaultNumber goes through the same
// conversion when the value cannot be read.
int RegReadInt(const char* group, const char* application, const char* valueName,
               int defaultNumber);

// Sets a REG_SZ value (its terminating zero included), creating the key and
// its parents as needed. 0, or -1 on failure.
int RegWriteString(const char* group, const char* application, const char* valueName,
                   const char* text);
