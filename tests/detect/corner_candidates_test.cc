// Brightness equalisation and the window-maximum search of both detectors.
#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "detect/corner_candidates.h"

namespace zorvel {
namespace {

TEST(EqualizeBrightness, ScalesToAMeanOf50SaturatingAndSummingIn64Bits) {
  std::vector<uint8_t> r(12, 100), g(12, 100), b(12, 100);
  equalize_brightness(r.data(), g.data(), b.data(), 12);  // gain 0.5
  EXPECT_EQ(g, std::vector<uint8_t>(12, 50));
  // Mean exactly 25 (gain 2.0): 200 saturates at 255 instead of wrapping to 144.
  std::vector<uint8_t> dr{200, 0, 0, 0, 0, 0, 0, 0}, dg{0, 0, 50, 50, 50, 50, 50, 50},
      db{25, 25, 25, 25, 0, 0, 0, 0};  // 200 + 6 * 50 + 4 * 25 = 600 = 25 * 24
  equalize_brightness(dr.data(), dg.data(), db.data(), 8);
  EXPECT_EQ(dr[0], 255);
  EXPECT_EQ(dg[2], 100);
  EXPECT_EQ(db[0], 50);
  // A black capture stays black (no division by a zero mean).
  std::vector<uint8_t> k(6, 0);
  equalize_brightness(k.data(), k.data(), k.data(), 6);
  EXPECT_EQ(k, std::vector<uint8_t>(6, 0));
  // 2275 x 1280 of 255: 3 * N * 255 exceeds 32 bits; the gain is 50 / 255.
  // A signed 32-bit sum would wrap negative and turn the gain negative.
  const size_t n = 2275u * 1280u;
  std::vector<uint8_t> wr(n, 255), wg(n, 255), wb(n, 255);
  equalize_brightness(wr.data(), wg.data(), wb.data(), static_cast<int64_t>(n));
  EXPECT_EQ(wg.front() + wb.back(), 100);
}

// A few hand-placed responses (all above 1.5); every other pixel is weaker.
struct planted {
  int32_t height, width;
  std::map<std::pair<int32_t, int32_t>, std::pair<double, uint8_t>> values;
  std::vector<uint8_t> map;
  planted(int32_t h, int32_t w) : height(h), width(w), map(static_cast<size_t>(h) * w, 0) {}
  void put(int32_t r, int32_t c, double response, uint8_t contrast = 9) {
    values[{r, c}] = {response, contrast};
  }
  candidate_list run(const corner_window& window) {
    saddle_candidates s;
    s.row_start.assign(static_cast<size_t>(height) + 1, 0);
    int32_t row = 0;
    for (const auto& [at, v] : values) {  // raster order
      while (row < at.first) s.row_start[++row] = static_cast<int32_t>(s.cols.size());
      s.add(at.second, v.first, v.second);
    }
    while (row < height) s.row_start[++row] = static_cast<int32_t>(s.cols.size());
    return keep_window_maxima(s, height, width, window, map);
  }
  bool marked(int32_t r, int32_t c) const { return map[static_cast<size_t>(r) * width + c] != 0; }
};

TEST(WindowMaxima, FlatWindowReachesNineBeforeAndSevenAfter) {
  planted p(60, 60);
  p.put(10, 20, 2.0);
  p.put(1, 11, 3.0);   // window corner: rows and columns -9
  p.put(18, 28, 9.0);  // +8 is outside the flat window
  const candidate_list list = p.run(kFlatChartWindow);
  // (18, 28) was not cleared by the first window, so it starts its own.
  EXPECT_TRUE(p.marked(1, 11) && !p.marked(10, 20) && p.marked(18, 28));
  ASSERT_EQ(list.count(), 2);
  EXPECT_EQ(list.rows[0], 1);
  EXPECT_EQ(list.contrasts[0], 9.0);
}

TEST(WindowMaxima, LChartKeepsTheStrongerOfTwoCloseCorners) {
  planted p(300, 300);
  p.put(120, 120, 2.0);
  p.put(128, 126, 5.0);  // 8 rows below: inside the centred 19 x 19 window
  const candidate_list list = p.run(kLChartWindow);
  EXPECT_TRUE(p.marked(128, 126) && !p.marked(120, 120));
  EXPECT_EQ(list.count(), 1);
  // Centres outside rows 100 ... height - 99 are never visited.
  planted q(300, 300);
  q.put(99, 150, 4.0);   // row 99: not visited
  q.put(150, 201, 4.0);  // column width - 99: not visited
  q.put(201, 200, 4.0);  // last row and column: visited
  EXPECT_EQ(q.run(kLChartWindow).count(), 1);
  EXPECT_TRUE(q.marked(201, 200));
}

TEST(WindowMaxima, EqualResponsesKeepTheFirstInRasterOrder) {
  planted p(60, 60);
  p.put(20, 20, 4.0);
  p.put(20, 15, 4.0);
  p.put(15, 25, 4.0);
  p.run(kFlatChartWindow);
  // The first centre (15, 25) spans columns 16 ... 32: it keeps itself over
  // the equal (20, 20) and clears that flag. (20, 15) stays flagged, and its
  // window prefers itself, raster-first, over the equal (20, 20).
  EXPECT_TRUE(p.marked(15, 25) && p.marked(20, 15) && !p.marked(20, 20));
}

TEST(WindowMaxima, ListStopsAtCapacityButTheMapKeepsEveryMaximum) {
  planted p(300, 600);
  int32_t planted_count = 0;
  for (int32_t r = 12; r < 290; r += 20) {
    for (int32_t c = 12; c < 590; c += 20) {
      p.put(r, c, 2.0);
      ++planted_count;
    }
  }
  const corner_window small{10, 10, 10, 10, 9, 7, 100};
  const candidate_list list = p.run(small);
  EXPECT_EQ(list.count(), 100);
  EXPECT_EQ(std::count(p.map.begin(), p.map.end(), 1), planted_count);
}

}  // namespace
}  // namespace zorvel
