// The deflate engines behind the parallel packer. A file's zlib stream is made
// of pieces compressed independently (on different threads) and joined at
// byte boundaries; every engine makes pieces that can be joined that way.
// libdeflate is the fast one; zlib is there on every platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class CompressEngineKind { kLibdeflate, kZlib };

// The best engine of this build.
CompressEngineKind CompressDefaultEngine();
bool CompressEngineAvailable(CompressEngineKind kind);
const char* CompressEngineName(CompressEngineKind kind);
// Parses "libdeflate" or "zlib"; returns false for anything else.
bool CompressEngineByName(const char* name, CompressEngineKind* kind);

// Compression levels: 1 (fastest) to 12 (smallest); 6 is the default.
// zlib goes up to 9 and makes 10 to 12 as 9; libdeflate has all of them.
constexpr int kCompressLevelMin = 1;
constexpr int kCompressLevelDefault = 6;
constexpr int kCompressLevelMax = 12;
int CompressEngineMaxLevel(CompressEngineKind kind);

// The two bytes of a zlib stream's header for a level: deflate with a
// 32 KiB window, and the level class readers may show (0x78 0x9C at 6).
void CompressZlibHeader(int level, uint8_t header[2]);

// Per-thread compressor state of one engine at a level (cut to the
// engine's range).
struct CompressEngine;
CompressEngine* CompressEngineCreate(CompressEngineKind kind, int level = kCompressLevelDefault);
void CompressEngineFree(CompressEngine* engine);

// The data just before a piece that an engine may use as preset dictionary.
constexpr size_t kCompressHistoryMax = 32768;
bool CompressEngineUsesHistory(CompressEngineKind kind);

// Compresses one piece of a file as raw deflate at the engine's level into *out
// (replacing its contents). history/historySize: the data just before the
// piece (up to kCompressHistoryMax bytes), which back-references may reach.
// With last, the output ends with the final block; without, every block is
// non-final and the output ends with an empty stored block, byte-aligned, so
// that the next piece can follow it directly. Returns 0, or -1 when the
// library fails.
int CompressPiece(CompressEngine* engine, const uint8_t* history, size_t historySize,
                  const uint8_t* data, size_t size, bool last, std::vector<uint8_t>* out);

// Adler-32 of data continuing from adler (1 to start), with the engine's
// fastest routine.
uint32_t CompressAdler32(CompressEngineKind kind, uint32_t adler, const uint8_t* data, size_t size);
