#include "updpack/check/check_suggest.h"

#include <algorithm>
#include <cctype>
#include <vector>

size_t EditDistance(const std::string& a, const std::string& b) {
  auto same = [](char x, char y) {
    return toupper(static_cast<unsigned char>(x)) == toupper(static_cast<unsigned char>(y));
  };
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t above = row[j];
      row[j] =
          std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same(a[i - 1], b[j - 1]) ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

const char* NearestName(const std::string& word, const char* const* candidates, size_t count) {
  const char* best = nullptr;
  size_t bestDistance = 0;
  for (size_t i = 0; i < count; ++i) {
    size_t d = EditDistance(word, candidates[i]);
    if (!best || d < bestDistance) {
      best = candidates[i];
      bestDistance = d;
    }
  }
  return best;
}
