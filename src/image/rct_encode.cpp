#include "image/rct_encode.h"

#include <algorithm>
#include <deque>
#include <queue>

#include "image/picture_layout.h"
#include "image/rct_format.h"

namespace {

uint32_t PixelAt(const unsigned char* pixels, size_t i) {
  const unsigned char* p = pixels + 3 * i;
  return p[0] | (p[1] << 8) | (p[2] << 16);
}

void PutCount(std::vector<unsigned char>* stream, uint32_t count) {
  stream->push_back(static_cast<unsigned char>(count));
  stream->push_back(static_cast<unsigned char>(count >> 8));
}

// Minimum of (cost[i] - 3 i) over a window of start positions that slides
// forward: the best start for a literal run ending at the current position.
class SlidingMin {
 public:
  void Push(size_t i, int64_t value) {
    while (!items_.empty() && items_.back().second >= value) items_.pop_back();
    items_.emplace_back(i, value);
  }
  // Forgets starts before first; returns false when none is left.
  bool Best(size_t first, size_t* i, int64_t* value) {
    while (!items_.empty() && items_.front().first < first) items_.pop_front();
    if (items_.empty()) return false;
    *i = items_.front().first;
    *value = items_.front().second;
    return true;
  }

 private:
  std::deque<std::pair<size_t, int64_t>> items_;
};

struct LongCopy {
  int64_t cost;
  size_t end;  // last position it reaches
  size_t from;
  bool operator>(const LongCopy& o) const { return cost > o.cost; }
};

enum StepKind : uint8_t { kStepLiteral, kStepCopy };

// The longest run each pixel can take from each of the 32 copy positions,
// found once per picture. reach[i] is the longest (at most 65539 pixels, the
// longest copy token) that pixel i can copy from any position, and source[i]
// a position that gives it; 0 when no position matches. Pixel 0 never copies.
struct RctMatches {
  std::vector<uint32_t> reach;
  std::vector<uint8_t> source;
};
void RctFindMatches(const unsigned char* pixels, int32_t width, int32_t height,
                    RctMatches* matches) {
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  matches->reach.assign(count, 0);
  matches->source.assign(count, 0);
  size_t distance[kRctPositionCount];
  bool usable[kRctPositionCount];
  for (int k = 0; k < kRctPositionCount; ++k) {
    const int64_t offset = RctPositionOffset(k, width);
    usable[k] = offset < 0;
    distance[k] = usable[k] ? static_cast<size_t>(-offset) : 0;
  }
  std::vector<uint32_t> colour(count);
  for (size_t i = 0; i < count; ++i) colour[i] = PixelAt(pixels, i);

  // From the last pixel back: the run from position k at pixel i is one more
  // than the run at pixel i + 1 when pixel i matches its source.
  uint32_t run[kRctPositionCount] = {};
  for (size_t i = count; i-- > 1;) {
    const uint32_t here = colour[i];
    uint32_t best = 0;
    int bestK = 0;
    for (int k = 0; k < kRctPositionCount; ++k) {
      if (usable[k] && distance[k] <= i && colour[i - distance[k]] == here) {
        run[k] = std::min(run[k] + 1, kRctLongCopyMax);
      } else {
        run[k] = 0;
      }
      if (run[k] > best) {
        best = run[k];
        bestK = k;
      }
    }
    matches->reach[i] = best;
    matches->source[i] = static_cast<uint8_t>(bestK);
  }
}

}  // namespace

void RctPutLiteral(std::vector<unsigned char>* stream, const unsigned char* pixels, uint32_t run) {
  if (run <= kRctShortLiteralMax) {
    stream->push_back(static_cast<unsigned char>(run - 1));
  } else {
    stream->push_back(0x7F);
    PutCount(stream, run - 128);
  }
  stream->insert(stream->end(), pixels, pixels + 3 * static_cast<size_t>(run));
}

void RctPutCopy(std::vector<unsigned char>* stream, int k, uint32_t run) {
  const unsigned char base = static_cast<unsigned char>(0x80 | (k << 2));
  if (run <= kRctShortCopyMax) {
    stream->push_back(static_cast<unsigned char>(base | (run - 1)));
  } else {
    stream->push_back(static_cast<unsigned char>(base | 3));
    PutCount(stream, run - 4);
  }
}

int RctEncode(const unsigned char* pixels, int32_t width, int32_t height,
              std::vector<unsigned char>* stream) {
  if (PicturePackedBytes(width, height) < 0) return -1;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  RctMatches matches;
  RctFindMatches(pixels, width, height, &matches);

  // cost[j]: fewest stream bytes that bring the output to j pixels; step j
  // records the token that ends there and where it started.
  constexpr int64_t kNone = INT64_MAX;
  std::vector<int64_t> cost(count + 1, kNone);
  std::vector<uint32_t> from(count + 1, 0);
  std::vector<uint8_t> kind(count + 1, kStepLiteral);
  cost[1] = 3;  // the first pixel, stored plainly

  SlidingMin shortLiterals;  // starts j-127 .. j-1
  SlidingMin longLiterals;   // starts j-65663 .. j-128
  std::priority_queue<LongCopy, std::vector<LongCopy>, std::greater<LongCopy>> longCopies;

  for (size_t j = 2; j <= count; ++j) {
    int64_t best = kNone;
    size_t bestFrom = 0;
    uint8_t bestKind = kStepLiteral;
    auto offer = [&](int64_t c, size_t i, uint8_t k) {
      if (c < best) {
        best = c;
        bestFrom = i;
        bestKind = k;
      }
    };

    // Copies first, so that among equal costs the fewer tokens win.
    if (j >= 5 && matches.reach[j - 4] >= 4) {
      const size_t i = j - 4;
      longCopies.push({cost[i] + 3, i + matches.reach[i], i});
    }
    while (!longCopies.empty() && longCopies.top().end < j) longCopies.pop();
    if (!longCopies.empty()) offer(longCopies.top().cost, longCopies.top().from, kStepCopy);
    for (size_t run = 1; run <= kRctShortCopyMax && run < j; ++run) {
      if (matches.reach[j - run] >= run) offer(cost[j - run] + 1, j - run, kStepCopy);
    }

    shortLiterals.Push(j - 1, cost[j - 1] - 3 * static_cast<int64_t>(j - 1));
    if (j >= 1 + 128) {
      const size_t i = j - 128;
      longLiterals.Push(i, cost[i] - 3 * static_cast<int64_t>(i));
    }
    size_t start;
    int64_t value;
    const size_t lastShort = j > kRctShortLiteralMax ? j - kRctShortLiteralMax : 1;
    if (shortLiterals.Best(lastShort, &start, &value)) {
      offer(value + 3 * static_cast<int64_t>(j) + 1, start, kStepLiteral);
    }
    const size_t lastLong = j > kRctLongLiteralMax ? j - kRctLongLiteralMax : 1;
    if (longLiterals.Best(lastLong, &start, &value)) {
      offer(value + 3 * static_cast<int64_t>(j) + 3, start, kStepLiteral);
    }

    cost[j] = best;
    from[j] = static_cast<uint32_t>(bestFrom);
    kind[j] = bestKind;
  }

  // Walk the path back from the end, then write its tokens front to back.
  std::vector<uint32_t> ends;
  for (size_t j = count; j > 1; j = from[j]) ends.push_back(static_cast<uint32_t>(j));
  stream->clear();
  stream->reserve(static_cast<size_t>(cost[count]));
  stream->insert(stream->end(), pixels, pixels + 3);
  for (size_t n = ends.size(); n-- > 0;) {
    const size_t j = ends[n];
    const size_t i = from[j];
    const uint32_t run = static_cast<uint32_t>(j - i);
    if (kind[j] == kStepCopy) {
      RctPutCopy(stream, matches.source[i], run);
    } else {
      RctPutLiteral(stream, pixels + 3 * i, run);
    }
  }
  return 0;
}
