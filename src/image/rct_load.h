// Loading the title picture from a file into an image surface.
#pragma once

#include "image/surface.h"

// Times a load starts over after a short read before it gives up.
constexpr int kRctLoadRestarts = 3;

// Opens the name through the resource file layer (which retries with the
// user or ends the program itself), decodes the picture and returns a new
// surface that the caller releases with SurfaceFree. Returns null, with
// nothing reported, when the file is not a TC00 or TC01 picture, its size is
// out of range, its pixel stream is malformed, the platform refuses the
// bitmap, or it is still short after kRctLoadRestarts restarts.
Surface* RctLoad(const char* name);
