// Conversion of a picture file into a title picture (RCT) held in memory,
// for `updpack image encode` and for `updpack build --title`.
#pragma once

#include <vector>

// Reads the PNG or BMP picture at picturePath (see PictureDecode for what is
// accepted) and encodes it into the smallest RCT file the format allows:
// TC00 when text is null, TC01 carrying the text otherwise. On success
// returns 0 with the whole file in *rct; otherwise reports the reason on
// stderr ("updpack: FILE: reason") and returns kExitBadInput.
int ConvertPictureToRct(const char* picturePath, const char* text, std::vector<unsigned char>* rct);
