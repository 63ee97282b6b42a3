// The key-line pass of `updpack check`.
#include <cstring>
#include <map>

#include "env/env_pieces.h"
#include "env/env_table.h"
#include "support/sjis.h"
#include "updpack/check/check_codepage.h"
#include "updpack/check/check_internal.h"
#include "updpack/check/check_keys.h"

namespace {

bool IsDecimal(const std::string& text) {
  size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (i >= text.size()) return false;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

// Checks the value of a known key on a line the updater reads.
void CheckKnownValue(const KnownEnvKey& key, const std::string& value, const std::string& rest,
                     int lineNo, EnvCheckResult* r) {
  std::string name = key.name;
  if (!rest.empty() && !BeginsWith(rest.c_str(), "//") && rest[0] != ';') {
    std::string shown = value;
    EnvReplaceBars(&shown[0], IsLeadByte);  // as the updater stores it
    CheckWarn(r, CheckCode::kValueCut, lineNo,
              "the value of " + name + " ends at the blank: the updater reads " + Quoted(shown) +
                  " and drops " + Quoted(rest) +
                  "; write \"|\" for a blank inside a value and begin a comment with \"//\"");
  }
  if (key.kind == EnvKeyKind::kNumber) {
    if (!IsDecimal(value)) {
      CheckWarn(r, CheckCode::kNotANumber, lineNo,
                "the value of " + name + " is not a number: the updater reads " +
                    std::to_string(EnvGetInt(key.name, 0)));
    }
  } else if (value.size() > kEnvKeptBytes) {
    size_t whole = MbsFitLength(value.c_str(), kEnvKeptBytes, IsLeadByte);
    std::string note = whole < kEnvKeptBytes ? ", cutting a double-byte character in two" : "";
    std::string who = key.kind == EnvKeyKind::kReadme ? "the main menu keeps" : "the updater keeps";
    CheckWarn(r, CheckCode::kValueTooLong, lineNo,
              "the value of " + name + " is " + std::to_string(value.size()) + " bytes long; " +
                  who + " its first " + std::to_string(kEnvKeptBytes) + note);
  }
}

}  // namespace

void TraceKeyLines(EnvCheckResult* r, const std::vector<bool>& sectionPiece) {
  EnvTextInput input;
  EnvTextInputInit(&input, r->cp932.data(), r->cp932.size());
  char line[kEnvLineSize];
  char original[kEnvLineSize];
  std::map<std::string, int> firstLine;
  std::vector<const char*> names;
  for (size_t i = 0; i < kKnownEnvKeyCount; ++i) names.push_back(kKnownEnvKeys[i].name);
  int lastLongLine = 0;
  bool ended = false;
  for (int piece = 0;; ++piece) {
    memset(line, 0, sizeof line);
    if (!EnvReadTextPiece(&input, line, sizeof line)) break;
    int lineNo = input.pieceLine;
    ++r->pieces;
    if (input.pieceOffset > 0 && lineNo != lastLongLine) {
      lastLongLine = lineNo;
      CheckWarn(
          r, CheckCode::kLongLine, lineNo,
          "the line is longer than 511 bytes: the updater reads the rest as a line of its own");
    }
    bool read = !ended && piece < kEnvMaxPieces;
    if (read) ++r->piecesRead;
    memcpy(original, line, sizeof line);
    EnvKeyLine parsed;
    EnvLineKind kind = EnvParseLine(line, &parsed);
    bool inSection = static_cast<size_t>(piece) < sectionPiece.size() && sectionPiece[piece];
    if (kind == kEnvLineEnd) {
      if (read) {
        ended = true;
        r->keyPassEndLine = lineNo;
      }
      continue;
    }
    if (kind == kEnvLineIgnored) continue;
    std::string key(line, parsed.keyLength);
    const KnownEnvKey* known = FindKnownEnvKey(key.c_str());
    if (kind == kEnvLineNoValue) {
      if (read && known && !inSection) {
        CheckWarn(r, CheckCode::kNoValue, lineNo,
                  parsed.valueTooFar
                      ? key +
                            ": the value begins more than 99 blanks after the key, so the line is "
                            "ignored"
                      : key + " has no value: the line is ignored");
      }
      continue;
    }
    std::string value(line + parsed.valueOffset, parsed.valueLength);
    if (read) r->entryLines.push_back(lineNo);
    if (inSection) {
      if (read && known) {
        CheckWarn(r, CheckCode::kKeyInSection, lineNo,
                  key +
                      " is inside a section and also read as one of its entries; is a \"-\" "
                      "line missing above it?");
      }
      continue;
    }
    if (!read) {
      CheckWarn(r, CheckCode::kNeverRead, lineNo,
                ended
                    ? "the updater never reads " + DisplayText(key) +
                          ": it comes after \"[EOF]\" on line " + std::to_string(r->keyPassEndLine)
                    : "the updater never reads " + DisplayText(key) + ": it reads only the first " +
                          std::to_string(kEnvMaxPieces) +
                          " lines (a line over 511 bytes counts once for every 511 bytes)");
      continue;
    }
    if (!known) {
      if (key[0] == ';' || key[0] == '[') continue;  // a comment or header of the other pass
      CheckWarn(r, CheckCode::kUnknownKey, lineNo,
                "unknown key " + Quoted(key) + " is ignored" +
                    Suggestion(key, names.data(), names.size()));
      continue;
    }
    auto first = firstLine.find(key);
    if (first != firstLine.end()) {
      CheckWarn(r, CheckCode::kDuplicateKey, lineNo,
                key + " is already set on line " + std::to_string(first->second) +
                    ": the first one wins and this line is ignored");
      continue;
    }
    firstLine[key] = lineNo;
    // What follows the value on the line, as written (zero bytes the piece
    // carried count as blanks, as they do for the updater).
    size_t from = parsed.valueOffset + parsed.valueLength;
    size_t to = sizeof original;
    while (to > from && IsBlank(original[to - 1])) --to;
    while (from < to && IsBlank(original[from])) ++from;
    CheckKnownValue(*known, value, std::string(original + from, to - from), lineNo, r);
  }
}
