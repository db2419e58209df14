// The four grid-line searches on a drawn image: two bright 3-pixel lines
// cross at (150, 200), a steep one reaching column 240 at the top and a
// shallow one reaching row 180 at the right edge. Each search must follow
// its line and write exactly its part of the table, and nothing without a line.
#include "detect/line_search.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace zorvel {
namespace {

constexpr int32_t kHeight = 300, kWidth = 400, kRow0 = 150, kCol0 = 200;
constexpr int32_t kUntouched = -7;
// Within 3 pixels of the drawn line: a 3-pixel line fills the 11-pixel band
// for positions up to 2 pixels off it, and positions are truncated.
constexpr double kTolerancePx = 3.0;

double steep_col(double row) { return kCol0 + (kRow0 - row) * 40.0 / 150.0; }
double shallow_row(double col) { return kRow0 + (col - kCol0) * 30.0 / 200.0; }

std::vector<uint8_t> crossing_lines() {
  std::vector<uint8_t> green(kHeight * kWidth, 20);
  for (int32_t r = 0; r < kHeight; ++r) {
    for (int32_t c = 0; c < kWidth; ++c) {
      if (std::fabs(c - steep_col(r)) <= 1.0 || std::fabs(r - shallow_row(c)) <= 1.0) {
        green[r * kWidth + c] = 200;
      }
    }
  }
  return green;
}

using search = void (*)(const gradient_bands&, int32_t, int32_t, int32_t*);

TEST(LineSearch, EachDirectionFollowsItsLineAndFillsItsPartOfTheTable) {
  const std::vector<uint8_t> green = crossing_lines();
  const gradient_bands bands = compute_gradient_bands(green.data(), kHeight, kWidth);
  struct search_case {
    const char* name;
    search trace;
    int32_t written;                    // entries 0 ... written - 1
    std::function<double(int32_t)> at;  // the drawn line at table index k
    int32_t far_end;  // the last line position: equal scores keep the first slope (s - 2)
  };
  // Up is indexed by absolute row and ends at row 0, the others start at the point.
  const search_case cases[] = {
      {"up", trace_line_up, kRow0 + 1, [](int32_t k) { return steep_col(k); }, 238},
      {"down", trace_line_down, kHeight - kRow0, [](int32_t k) { return steep_col(kRow0 + k); }, 158},
      {"left", trace_line_left, kCol0, [](int32_t k) { return shallow_row(kCol0 - k); }, 118},
      {"right", trace_line_right, kWidth - kCol0, [](int32_t k) { return shallow_row(kCol0 + k); }, 177},
  };
  // Without energy, or from a point outside the image, the table is left as it was.
  const std::vector<uint8_t> flat(kHeight * kWidth, 90);
  const gradient_bands empty = compute_gradient_bands(flat.data(), kHeight, kWidth);
  for (const search_case& c : cases) {
    std::vector<int32_t> table(kWidth + 1, kUntouched);
    c.trace(empty, kRow0, kCol0, table.data());
    c.trace(bands, kHeight, kCol0, table.data());
    c.trace(bands, kRow0, -1, table.data());
    EXPECT_EQ(table, std::vector<int32_t>(kWidth + 1, kUntouched)) << c.name;
    c.trace(bands, kRow0, kCol0, table.data());
    for (int32_t k = 0; k < c.written; ++k) ASSERT_NEAR(table[k], c.at(k), kTolerancePx) << c.name << " index " << k;
    EXPECT_EQ(table[c.trace == trace_line_up ? 0 : c.written - 1], c.far_end) << c.name;
    EXPECT_EQ(table[c.written], kUntouched) << c.name;
  }
}

}  // namespace
}  // namespace zorvel
