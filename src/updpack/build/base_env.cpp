#include "updpack/build/base_env.h"

#include "env/env_pieces.h"
#include "env/sections.h"

namespace {

// The key pass reads this many pieces and no more.
constexpr size_t kKeyPieces = 400;

struct Line {
  size_t begin, end;  // bytes, the line end included
  SectionLineKind kind;
  int header;
  size_t pieces;  // as the readers cut it
  bool keyLine;   // a key with a value for the key pass
  bool eofMark;   // "[EOF]": the key pass ends here
};

bool Blank(unsigned char c) { return c <= 0x20; }

// A piece that the key pass makes an entry of: a key, blanks, a value.
bool IsKeyLine(const std::string& text) {
  if (text.empty() || Blank(text[0]) || text[0] == '/') return false;
  size_t i = 0;
  while (i < text.size() && !Blank(text[i])) ++i;
  size_t gap = 0;
  while (i < text.size() && Blank(text[i]) && gap < 100) ++i, ++gap;
  return i < text.size() && !Blank(text[i]);
}

std::vector<Line> SplitLines(const std::string& env, size_t size) {
  std::vector<Line> lines;
  size_t at = 0;
  while (at < size) {
    size_t nl = env.find('\n', at);
    size_t end = nl == std::string::npos || nl >= size ? size : nl + 1;
    std::string text = env.substr(at, end - at);
    // Text mode reads CR LF as one byte.
    size_t read = text.size();
    if (read >= 2 && text[read - 1] == '\n' && text[read - 2] == '\r') --read;
    while (!text.empty() && Blank(text.back())) text.pop_back();
    Line l{at,
           end,
           kSectionLineIgnored,
           kSectionNone,
           (read + kEnvLineSize - 2) / (kEnvLineSize - 1),
           IsKeyLine(text),
           text.compare(0, 5, "[EOF]") == 0};
    if (l.pieces == 0) l.pieces = 1;
    l.kind = SectionClassifyLine(text.c_str(), &l.header);
    lines.push_back(l);
    at = end;
  }
  return lines;
}

}  // namespace

int BaseAddDeletions(const std::string& env, const std::vector<std::string>& lines,
                     std::string* out, std::string* why) {
  // Nothing after a byte 0x1A is read by either pass.
  size_t size = env.find('\x1a');
  if (size == std::string::npos) size = env.size();
  std::vector<Line> all = SplitLines(env, size);
  const char* eol = env.find("\r\n") != std::string::npos ? "\r\n" : "\n";

  size_t passEnd = all.size();  // the first line the section pass does not read
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i].kind == kSectionLineEnd) {
      passEnd = i;
      break;
    }
  }
  size_t header = passEnd;
  for (size_t i = 0; i < passEnd; ++i) {
    if (all[i].kind == kSectionLineHeader && all[i].header == kSectionDelfilesAfterinst) header = i;
  }
  std::string added;
  size_t insertLine;
  if (header < passEnd) {
    insertLine = header + 1;
    while (insertLine < passEnd && all[insertLine].kind != kSectionLineClose &&
           all[insertLine].kind != kSectionLineHeader) {
      ++insertLine;
    }
    if (insertLine == passEnd) {
      *why = "its [delfiles_afterinst] section is not closed with a \"-\" line";
      return -1;
    }
  } else {
    insertLine = passEnd;
    added = std::string("[delfiles_afterinst]") + eol;
  }
  for (const std::string& l : lines) added += l + eol;
  if (header == passEnd) added += std::string("-") + eol;

  size_t at = insertLine < all.size() ? all[insertLine].begin : size;
  std::string before = env.substr(0, at);
  if (!before.empty() && before.back() != '\n') before += eol;

  // Key lines after the insertion move down; the key pass must still reach them.
  size_t addedPieces = 0;
  for (const std::string& l : lines) addedPieces += l.size() / (kEnvLineSize - 1) + 1;
  addedPieces += header == passEnd ? 2 : 0;
  size_t piece = 0;
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i].eofMark) break;
    size_t shifted = i >= insertLine ? piece + addedPieces : piece;
    if (all[i].keyLine && piece < kKeyPieces && shifted >= kKeyPieces) {
      *why = "the deletion lines would push the key line " + std::to_string(i + 1) +
             " past the first 400 lines, which are all the updater reads of key lines; move "
             "the [delfiles_afterinst] section after the key lines";
      return -1;
    }
    piece += all[i].pieces;
  }
  *out = before + added + env.substr(at);
  return 0;
}
