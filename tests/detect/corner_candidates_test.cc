// Brightness equalisation, the saddle response and the window-maximum
// search of both detectors.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <random>
#include <map>
#include <string>
#include <utility>

#include "detect/corner_candidates.h"
#include "support/test_support.h"

namespace zorvel {
namespace {

TEST(EqualizeBrightness, ScalesToAMeanOf50SaturatingAndSummingIn64Bits) {
  // Mean 25, gain 2: 200 saturates at 255 instead of wrapping to 144.
  std::vector<uint8_t> r{200, 0, 0, 0}, g{50, 50, 0, 0}, b{0, 0, 0, 0};
  equalize_brightness(r.data(), g.data(), b.data(), 4);
  EXPECT_EQ(r, (std::vector<uint8_t>{255, 0, 0, 0}));
  EXPECT_EQ(g, (std::vector<uint8_t>{100, 100, 0, 0}));
  // A black capture stays black (no division by a zero mean).
  equalize_brightness(b.data(), b.data(), b.data(), 4);
  EXPECT_EQ(b, std::vector<uint8_t>(4, 0));
  // 2275 x 1280 of 255: 3 * N * 255 exceeds 32 bits, the gain is 50 / 255. A
  // signed 32-bit sum would wrap negative and turn the gain negative.
  std::vector<uint8_t> wr(2275u * 1280u, 255), wg(wr), wb(wr);
  equalize_brightness(wr.data(), wg.data(), wb.data(), static_cast<int64_t>(wr.size()));
  EXPECT_EQ(wg.front() + wb.back(), 100);
}

// A quadrant corner between rows h - 6 and h - 5 and columns w - 6 and w - 5: each
// of the four pixels round it sees 8 dark samples on one diagonal and 8 light
// ones on the other, a response of 180^2 / (0 + 50) with contrast 180. The last
// of them lies on the last scored row and column (size - 5).
// The bytes are scaled 16 at a time when a fixed-point multiplier matches the
// scaling of every byte value; each mean must give the per-byte definition,
// the tails beyond whole 16-byte runs and the saturation included.
TEST(EqualizeBrightness, EveryMeanGivesThePerByteScaling) {
  std::mt19937 rng(7);
  for (int32_t round = 0; round < 3000; ++round) {
    const int64_t n = 1 + static_cast<int64_t>(rng() % 70);
    // Planes from very dark to very bright (gains from about 0.2 to far above
    // 1), mostly dark pixels so the bright ones reach the saturation.
    const uint32_t top = 1 + rng() % 256;
    std::vector<uint8_t> planes[3];
    uint64_t sum = 0;
    for (auto& p : planes) {
      p.resize(static_cast<size_t>(n));
      for (uint8_t& v : p) {
        const auto value = static_cast<uint32_t>(rng() % top);
        sum += v = static_cast<uint8_t>(rng() % 4 == 0 ? value : value / 8);
      }
    }
    if (sum == 0) continue;
    const double gain = 50.0 / (static_cast<double>(sum) / static_cast<double>(3 * n));
    std::vector<uint8_t> expected[3];
    for (int k = 0; k < 3; ++k) {
      for (const uint8_t v : planes[k]) {
        expected[k].push_back(static_cast<uint8_t>(std::min(255.0, std::trunc(v * gain))));
      }
    }
    equalize_brightness(planes[0].data(), planes[1].data(), planes[2].data(), n);
    for (int k = 0; k < 3; ++k) ASSERT_EQ(planes[k], expected[k]) << "round " << round << " plane " << k;
  }
  // A nearly black capture: mean 0.233, gain 214, so 1 becomes 214 and the
  // bright pixel's product (42800) saturates.
  std::vector<uint8_t> r(1000, 0), g(1000, 0), b(1000, 0);
  std::fill_n(g.begin(), 500, 1);
  r[100] = 200;
  equalize_brightness(r.data(), g.data(), b.data(), 1000);
  EXPECT_EQ(g[0], 214);
  EXPECT_EQ(r[100], 255);
  EXPECT_EQ(r[0], 0);
}

TEST(SaddleResponse, ScoresACornerUpToTheLastRowAndColumn) {
  constexpr int32_t h = 12, w = 20;
  std::vector<uint8_t> green(h * w);
  for (int32_t r = 0; r < h; ++r)
    for (int32_t c = 0; c < w; ++c) green[r * w + c] = (r < h - 5) != (c < w - 5) ? 200 : 20;
  const saddle_candidates s = compute_saddle_response(green.data(), h, w);
  ASSERT_EQ(s.row_start.size(), size_t{h + 1});
  std::vector<std::array<int32_t, 4>> strongest;  // row, column, response, contrast
  for (int32_t r = 0; r < h; ++r)
    for (int32_t e = s.row_start[r]; e < s.row_start[r + 1]; ++e)
      if (s.response[e] > 100.0) strongest.push_back({r, s.cols[e], static_cast<int32_t>(s.response[e]), s.contrast[e]});
  EXPECT_EQ(strongest, (std::vector<std::array<int32_t, 4>>{
                           {h - 6, w - 6, 648, 180}, {h - 6, w - 5, 648, 180},
                           {h - 5, w - 6, 648, 180}, {h - 5, w - 5, 648, 180}}));
  // A flat plane has no saddle anywhere.
  const std::vector<uint8_t> flat(h * w, 90);
  EXPECT_TRUE(compute_saddle_response(flat.data(), h, w).cols.empty());
}

// The saddle test pixel by pixel as defined: eight samples per diagonal,
// truncated means, the response in double. Candidates in raster order.
saddle_candidates saddle_by_definition(const std::vector<uint8_t>& g, int32_t h, int32_t w) {
  saddle_candidates s;
  s.row_start.assign(static_cast<size_t>(h) + 1, 0);
  for (int32_t r = 0; r < h; ++r) {
    s.row_start[r] = static_cast<int32_t>(s.cols.size());
    for (int32_t c = 4; r >= 4 && r <= h - 5 && c <= w - 5; ++c) {
      int32_t sa = 0, qa = 0, sb = 0, qb = 0;
      for (int32_t k : {-4, -3, -2, -1, 1, 2, 3, 4}) {
        const int32_t va = g[(r + k) * w + c + k], vb = g[(r + k) * w + c - k];
        sa += va, qa += va * va, sb += vb, qb += vb * vb;
      }
      const int32_t ma = sa / 8, mb = sb / 8, d = ma - mb;
      const double response = static_cast<double>(d * d) / ((qb / 8 - mb * mb) + (qa / 8 - ma * ma) + 50.0);
      if (response > 1.5) s.add(c, response, static_cast<uint8_t>(std::abs(d)));
    }
  }
  s.row_start[h] = static_cast<int32_t>(s.cols.size());
  return s;
}

// Running diagonal sums against the definition: noise, a checkerboard with
// noise, and sizes at the edge of what is scored.
TEST(SaddleResponse, RunningSumsGiveTheDefinitionsCandidates) {
  const struct {
    int32_t h, w, square;  // square 0: noise only
  } images[] = {{9, 9, 0}, {9, 31, 3}, {10, 9, 0}, {47, 13, 5}, {101, 157, 11}, {96, 128, 0}};
  uint32_t state = 12345;
  for (const auto& im : images) {
    std::vector<uint8_t> g(static_cast<size_t>(im.h) * im.w);
    for (int32_t r = 0; r < im.h; ++r) {
      for (int32_t c = 0; c < im.w; ++c) {
        state = state * 1664525u + 1013904223u;
        const int32_t noise = static_cast<int32_t>(state >> 24);
        const bool dark = im.square && ((r / im.square + c / im.square) % 2 == 0);
        g[r * im.w + c] = static_cast<uint8_t>(im.square ? (dark ? 30 : 200) + noise % 25 : noise);
      }
    }
    const saddle_candidates want = saddle_by_definition(g, im.h, im.w);
    for (const vector_isa isa : test::runnable_vector_isas()) {
      const saddle_candidates got = compute_saddle_response(g.data(), im.h, im.w, isa);
      const auto where = [&] { return std::to_string(im.h) + "x" + std::to_string(im.w) + " level " +
                                      std::to_string(static_cast<int>(isa)); };
      EXPECT_EQ(got.row_start, want.row_start) << where();
      EXPECT_EQ(got.cols, want.cols) << where();
      EXPECT_EQ(got.response, want.response) << where();
      EXPECT_EQ(got.contrast, want.contrast) << where();
    }
  }
}

using cell = std::pair<int32_t, int32_t>;  // (row, column)

// Hand-placed responses above 1.5 (every other pixel is weaker); each
// candidate's contrast is its column, so the list shows whose contrast it kept.
candidate_list run_maxima(int32_t h, int32_t w, const corner_window& window,
                          const std::map<cell, double>& planted, std::vector<uint8_t>& map) {
  saddle_candidates s;
  s.row_start.assign(static_cast<size_t>(h) + 1, 0);
  int32_t row = 0;
  for (const auto& [at, response] : planted) {  // raster order
    while (row < at.first) s.row_start[++row] = static_cast<int32_t>(s.cols.size());
    s.add(at.second, response, static_cast<uint8_t>(at.second));
  }
  while (row < h) s.row_start[++row] = static_cast<int32_t>(s.cols.size());
  map.assign(static_cast<size_t>(h) * w, 0);
  return keep_window_maxima(s, h, w, window, map);
}

TEST(WindowMaxima, OneStrongestPerWindowInRasterOrder) {
  struct maxima_case {
    const char* name;
    int32_t h, w;
    corner_window window;
    std::map<cell, double> planted;
    std::vector<cell> kept;  // the map marks exactly these; the list holds them up to its capacity
  };
  const maxima_case cases[] = {
      // (18, 28) is 8 past the first centre, outside the flat window's +7: it starts its own.
      {"flat window reaches 9 before and 7 after", 60, 60, kFlatChartWindow,
       {{{10, 20}, 2.0}, {{1, 11}, 3.0}, {{18, 28}, 9.0}}, {{1, 11}, {18, 28}}},
      {"L window keeps the stronger of two close corners", 300, 300, kLChartWindow,
       {{{120, 120}, 2.0}, {{128, 126}, 5.0}}, {{128, 126}}},
      // Row 99 and column width - 99 are never centres; the last row and column are.
      {"L centres stay 100 from the edges", 300, 300, kLChartWindow,
       {{{99, 150}, 4.0}, {{150, 201}, 4.0}, {{201, 200}, 4.0}}, {{201, 200}}},
      // (15, 25) spans columns 16 ... 32 and clears the equal (20, 20); the
      // window of (20, 15) prefers itself, raster-first, over (20, 20).
      {"equal responses keep the first in raster order", 60, 60, kFlatChartWindow,
       {{{20, 20}, 4.0}, {{20, 15}, 4.0}, {{15, 25}, 4.0}}, {{15, 25}, {20, 15}}},
      {"the list stops at its capacity, the map keeps every maximum", 60, 60, {10, 10, 10, 10, 9, 7, 2},
       {{{12, 12}, 2.0}, {{12, 40}, 2.0}, {{40, 12}, 2.0}}, {{12, 12}, {12, 40}, {40, 12}}},
  };
  for (const maxima_case& c : cases) {
    std::vector<uint8_t> map;
    const candidate_list list = run_maxima(c.h, c.w, c.window, c.planted, map);
    std::vector<cell> listed, marked;
    for (int32_t i = 0; i < list.count(); ++i) {
      listed.emplace_back(list.rows[i], list.cols[i]);
      EXPECT_EQ(list.contrasts[i], list.cols[i]) << c.name;
    }
    for (int32_t i = 0; i < c.h * c.w; ++i) {
      if (map[i] != 0) marked.emplace_back(i / c.w, i % c.w);
    }
    const size_t room = std::min(c.kept.size(), static_cast<size_t>(c.window.list_capacity));
    EXPECT_EQ(listed, std::vector<cell>(c.kept.begin(), c.kept.begin() + room)) << c.name;
    EXPECT_EQ(marked, c.kept) << c.name;
  }
}

}  // namespace
}  // namespace zorvel
