// Choice of the chart origin: the greenest 6 x 6 block of the marker search
// region on colour sensors, the scored candidate list on mono sensors.
#include "detect/origin_search.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace zorvel {
namespace {

constexpr int32_t kHeight = 320, kWidth = 420;  // marker region: rows 150-169, columns 200-219

TEST(FindOriginByMarker, GreenestBlockInsideTheRegionWins) {
  std::vector<uint8_t> r(kHeight * kWidth, 100), g(r), b(r), map(r.size(), 0);
  const auto find = [&](int32_t height) {
    return find_origin_by_marker(r.data(), g.data(), b.data(), map.data(), height, kWidth);
  };
  EXPECT_EQ(find(kHeight).row, 0);  // no corner at all
  // A corner at (row, col) whose block of rows and columns first ... first + 5 is coloured.
  const auto corner = [&](int32_t row, int32_t col, int32_t first_row, int32_t first_col, uint8_t red, uint8_t green) {
    map[row * kWidth + col] = 1;
    for (int32_t y = first_row; y < first_row + 6; ++y) {
      for (int32_t x = first_col; x < first_col + 6; ++x) {
        r[y * kWidth + x] = b[y * kWidth + x] = red;
        g[y * kWidth + x] = green;
      }
    }
  };
  corner(155, 205, 152, 202, 100, 100);  // grey: (B + R) / (G + 1) near 2
  corner(160, 210, 157, 207, 20, 200);   // block rows and columns -3 ... +2: 0.2
  // Pure green one pixel off its window: the grey row and column it leaves
  // inside make 0.29, more than the block above.
  corner(168, 218, 166, 216, 0, 255);
  corner(149, 300, 146, 297, 0, 255);   // one row above the region
  corner(160, 199, 157, 196, 0, 255);   // one column left of it
  corner(164, 205, 161, 202, 20, 200);  // as green as (160, 210), later in raster order
  EXPECT_EQ((std::pair{find(kHeight).row, find(kHeight).col}), std::pair(160, 210));
  // Below 301 rows the region is empty.
  EXPECT_EQ((std::pair{find(300).row, find(300).col}), std::pair(0, 0));
}

TEST(FindOriginMono, ScoresTheMiddleHalfOfTheList) {
  struct mono_case {
    const char* name;
    std::vector<int32_t> rows, cols;
    std::vector<double> contrasts;
    int32_t row, col;  // expected origin
  };
  const mono_case cases[] = {
      {"empty list", {}, {}, {}, 0, 0},
      // q = 0: nothing is scored, every score is -100000 and the first wins.
      {"three candidates", {11, 12, 13}, {21, 22, 23}, {5, 1, 3}, 11, 21},
      // With 8 candidates the neighbours' contrasts count: index 2 (contrast
      // 100) ends with t = -100 and scores -100 - 70 x 100 = -7100; index 3
      // (contrast v, column 900) ends with t = v and scores -69 v, which wins
      // for v below 102.899; indices 4 and 5 score far lower.
      {"eight candidates, v = 102.88", {500, 500, 500, 510, 500, 500, 500, 500},
       {50, 75, 100, 900, 300, 1000, 1100, 1200}, {1, 1, 100, 102.88, 104, 250, 1, 1}, 510, 900},
      {"eight candidates, v = 102.92", {500, 500, 500, 510, 500, 500, 500, 500},
       {50, 75, 100, 900, 300, 1000, 1100, 1200}, {1, 1, 100, 102.92, 104, 250, 1, 1}, 500, 100},
  };
  for (const mono_case& c : cases) {
    int32_t out[2] = {-1, -1};
    find_origin_mono(c.cols.data(), c.rows.data(), c.contrasts.data(),
                     static_cast<int32_t>(c.rows.size()), out);
    EXPECT_EQ((std::pair{out[0], out[1]}), std::pair(c.row, c.col)) << c.name;
  }
}

}  // namespace
}  // namespace zorvel
