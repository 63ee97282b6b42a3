// `updpack image`: converts title pictures between PNG/BMP and the RCT
// format, and describes RCT files.
//
//   updpack image encode IN.png OUT.rct [--text T]
//   updpack image decode IN.rct OUT.png
//   updpack image info FILE
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>
#include <vector>

#include "image/rct_decode.h"
#include "image/rct_format.h"
#include "updpack/cmd/commands.h"
#include "updpack/fsys/fsys.h"
#include "updpack/fsys/out_file.h"
#include "updpack/image/image_convert.h"
#include "updpack/image/image_picture.h"
#include "updpack/report.h"

namespace {

struct ImageOptions {
  std::string input;
  std::string output;
  std::string text;
  bool hasText = false;
  bool force = false;
};
ImageOptions g_options;

const char* KindName(int kind) {
  switch (kind) {
    case kRctKindTc00:
      return "TC00";
    case kRctKindTc01:
      return "TC01";
    case kRctKind800:
      return "8_00";
    default:
      return "unknown";
  }
}

// Reads and checks an RCT file: 0 with the file parsed into *rct (pointing
// into *bytes), else kExitBadInput after reporting why.
int ReadRct(const char* path, std::vector<unsigned char>* bytes, RctFile* rct) {
  int result = ImageReadFile(path, bytes);
  if (result != 0) return result;
  switch (RctParseFile(bytes->data(), bytes->size(), rct)) {
    case kRctFileOk:
      return 0;
    case kRctFileNotRct:
      if (rct->header.kind == kRctKind800) {
        ReportError(path, "an 8_00 picture; only TC00 and TC01 pictures can be shown");
      } else {
        ReportError(path, "not an RCT picture (unknown magic)");
      }
      return kExitBadInput;
    default:
      ReportError(path, "truncated: shorter than its header says");
      return kExitBadInput;
  }
}

int DecodeRct(const char* path, const RctFile& rct, Picture* picture) {
  picture->width = rct.header.width;
  picture->height = rct.header.height;
  if (rct.header.width < 1 || rct.header.height < 1) {
    ReportError(path, "%s", RctDecodeResultText(kRctDecodeBadSize));
    return kExitBadInput;
  }
  // Checked before the picture is allocated: a few bytes may claim gigabytes.
  // The stream's first pixel is 3 bytes; each further token of 3 bytes or
  // more gives at most 65535 + 4 pixels.
  const uint64_t pixels = static_cast<uint64_t>(rct.header.width) * rct.header.height;
  const uint64_t data = rct.header.dataSize;
  const uint64_t most = data < 3 ? 0 : 1 + (data - 3) / 3 * 65539;
  if (pixels > most) {
    ReportError(path, "declares %d x %d pixels, more than its %u bytes of pixel data can hold",
                rct.header.width, rct.header.height, static_cast<unsigned>(data));
    return kExitBadInput;
  }
  if (rct.header.width > kPictureSideMax || rct.header.height > kPictureSideMax) {
    ReportError(path,
                "picture of %d x %d pixels is too large for a title picture (at most %d x %d)",
                rct.header.width, rct.header.height, kPictureSideMax, kPictureSideMax);
    return kExitBadInput;
  }
  picture->pixels.resize(3 * static_cast<size_t>(rct.header.width) *
                         static_cast<size_t>(rct.header.height));
  size_t consumed = 0;
  int decoded = RctDecode(rct.stream, rct.header.dataSize, rct.header.width, rct.header.height,
                          picture->pixels.data(), picture->pixels.size(), &consumed);
  if (decoded != kRctDecodeOk) {
    ReportError(path, "malformed pixel stream: %s", RctDecodeResultText(decoded));
    return kExitBadInput;
  }
  if (consumed < rct.header.dataSize) {
    ReportWarning(path, "%u bytes of the pixel stream follow its last token",
                  static_cast<unsigned>(rct.header.dataSize - consumed));
  }
  return 0;
}

// The --text argument in code page 932: converted from UTF-8 natively; on
// Windows the argument already arrives in the ANSI code page.
bool TextToCp932(const std::string& text, std::string* cp932) {
#ifdef _WIN32
  return FsUtf8ToCp932(FsArgPath(text.c_str()), cp932);
#else
  return FsUtf8ToCp932(text, cp932);
#endif
}

int RunEncode() {
  if (int rc = OutCheckTarget(FsArgPath(g_options.output.c_str()),
                              {FsArgPath(g_options.input.c_str())}, g_options.force))
    return rc;
  std::vector<unsigned char> rct;
  // The updater shows the text in code page 932.
  std::string cp932;
  if (g_options.hasText && !TextToCp932(g_options.text, &cp932)) {
    ReportError(nullptr, "--text: \"%s\" has characters with no Shift-JIS (code page 932) form",
                g_options.text.c_str());
    return kExitBadInput;
  }
  const char* text = g_options.hasText ? cp932.c_str() : nullptr;
  int result = ConvertPictureToRct(g_options.input.c_str(), text, &rct);
  if (result != 0) return result;
  result = ImageWriteFile(g_options.output.c_str(), rct, g_options.input.c_str(), g_options.force);
  if (result != 0) return result;
  RctFile parsed;
  RctParseFile(rct.data(), rct.size(), &parsed);
  ReportInfo(
      "%s: %s, %d x %d pixels, %lu bytes (%.1f%% of the raw pixels)\n", g_options.output.c_str(),
      KindName(parsed.header.kind), parsed.header.width, parsed.header.height,
      static_cast<unsigned long>(rct.size()),
      100.0 * rct.size() / (3.0 * parsed.header.width * static_cast<double>(parsed.header.height)));
  return 0;
}

int RunDecode() {
  const char* path = g_options.input.c_str();
  std::vector<unsigned char> bytes;
  RctFile rct;
  Picture picture;
  if (int rc =
          OutCheckTarget(FsArgPath(g_options.output.c_str()), {FsArgPath(path)}, g_options.force))
    return rc;
  int result = ReadRct(path, &bytes, &rct);
  if (result == 0) result = DecodeRct(path, rct, &picture);
  if (result == 0)
    result = PictureSavePng(g_options.output.c_str(), picture, path, g_options.force);
  return result;
}

int RunInfo() {
  const char* path = g_options.input.c_str();
  std::vector<unsigned char> bytes;
  RctFile rct;
  int result = ReadRct(path, &bytes, &rct);
  if (result != 0) return result;
  printf("kind: %s\n", KindName(rct.header.kind));
  printf("size: %d x %d\n", rct.header.width, rct.header.height);
  printf("data size: %u bytes\n", static_cast<unsigned>(rct.header.dataSize));
  if (rct.header.kind == kRctKindTc01) {
    // The text is stored with its terminator; show what precedes it.
    std::string text(reinterpret_cast<const char*>(rct.text), rct.textLength);
    text = text.substr(0, text.find('\0'));
    printf("text: \"%s\" (%u bytes stored)\n", FsDisplayName(text).c_str(),
           static_cast<unsigned>(rct.textLength));
  }
  Picture picture;
  result = DecodeRct(path, rct, &picture);
  if (result == 0) printf("stream: well-formed\n");
  return result;
}

}  // namespace

void RegisterImageCommand(CLI::App& app, UpdpackContext& context) {
  CLI::App* image = app.add_subcommand("image", "Convert and inspect title pictures (RCT)");
  image->require_subcommand(1);

  CLI::App* encode = image->add_subcommand(
      "encode",
      "Convert a PNG or BMP picture into the smallest RCT file (TC00, or TC01 with --text)");
  encode->add_option("IN", g_options.input, "PNG or BMP picture, fully opaque")
      ->required()
      ->check(NonEmptyPath());
  encode->add_option("OUT", g_options.output, "RCT file to write")
      ->required()
      ->check(NonEmptyPath());
  encode->add_flag("-f,--force", g_options.force, "Replace an existing OUT");
  CLI::Option* text =
      encode->add_option("--text", g_options.text, "Text stored in the file (TC01)");
  encode->callback([&context, text] {
    g_options.hasText = text->count() > 0;
    context.result = RunEncode();
  });

  CLI::App* decode = image->add_subcommand("decode", "Convert an RCT file into a PNG picture");
  decode->add_option("IN", g_options.input, "RCT file")->required()->check(NonEmptyPath());
  decode->add_option("OUT", g_options.output, "PNG picture to write")
      ->required()
      ->check(NonEmptyPath());
  decode->add_flag("-f,--force", g_options.force, "Replace an existing OUT");
  decode->callback([&context] { context.result = RunDecode(); });

  CLI::App* info = image->add_subcommand("info", "Describe an RCT file and check its pixel stream");
  info->add_option("FILE", g_options.input, "RCT file")->required()->check(NonEmptyPath());
  info->callback([&context] { context.result = RunInfo(); });
}
