// Walks the blocks of a raw deflate stream without producing output, to find
// where its final block begins and where the stream ends. The parallel packer
// uses it to turn a piece that a one-shot compressor ended with a final block
// into a non-final one that the next piece can follow.
#pragma once

#include <cstddef>
#include <cstdint>

// Positions in bits from the start of the data (bit 0 is the lowest bit of
// the first byte, as deflate counts).
struct DeflateFinalBlock {
  size_t startBit;  // the final block's BFINAL bit
  size_t endBit;    // just after its end-of-block code (or stored data)
};

// Returns 0 and fills *found, or -1 when the data is not a complete, valid
// deflate stream (a bad block type, a bad code, or data running past the end).
int DeflateFindFinalBlock(const uint8_t* data, size_t size, DeflateFinalBlock* found);
