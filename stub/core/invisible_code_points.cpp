// The lookup in the generated table of invisible code points.
#include "stub/core/invisible_code_points.h"

#include <algorithm>
#include <iterator>

namespace kzsfx {

namespace {

struct CodePointRange {
  char32_t first;
  char32_t last;
};

// Sorted and disjoint.
constexpr CodePointRange kInvisibleRanges[] = {
#include "stub/core/invisible_code_points_table.inc"
};

}  // namespace

bool IsInvisibleCodePoint(char32_t codePoint) {
  const auto* after = std::upper_bound(
      std::begin(kInvisibleRanges), std::end(kInvisibleRanges), codePoint,
      [](char32_t point, const CodePointRange& range) { return point < range.first; });
  return after != std::begin(kInvisibleRanges) && codePoint <= std::prev(after)->last;
}

}  // namespace kzsfx
