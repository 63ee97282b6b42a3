#include "updpack/image/image_convert.h"

#include <cstring>

#include "image/rct_encode.h"
#include "image/rct_format.h"
#include "updpack/cmd/commands.h"
#include "updpack/image/image_picture.h"
#include "updpack/report.h"

int ConvertPictureToRct(const char* picturePath, const char* text,
                        std::vector<unsigned char>* rct) {
  Picture picture;
  int result = PictureLoad(picturePath, &picture);
  if (result != 0) return result;
  if (text && strlen(text) > 0xFFFE) {
    ReportError(picturePath, "the picture's text is longer than 65534 bytes");
    return kExitBadInput;
  }
  std::vector<unsigned char> stream;
  if (RctEncode(picture.pixels.data(), picture.width, picture.height, &stream) != 0 ||
      RctBuildFile(picture.width, picture.height, stream, text, rct) != 0) {
    ReportError(picturePath, "picture of %d x %d pixels is too large", picture.width,
                picture.height);
    return kExitBadInput;
  }
  return 0;
}
