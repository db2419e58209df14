// The two detectors on drawn checkerboards: every labelled corner lies where
// its labels put it on the board, the colour origin is the corner between the
// two green squares, and every corner well inside the scans is found once.
// Degenerate captures end with "Origin detection failed\n" and no
// out-of-range access (run under the sanitizer build too).
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <vector>

#include "detect/keypoints.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

const std::string kFailed = "Origin detection failed\n";
const double kCos = std::cos(2.0 * M_PI / 180.0), kSin = std::sin(2.0 * M_PI / 180.0);
constexpr double kSquare = 40.0;

struct drawn_chart {
  int32_t height = 0, width = 0;
  double origin_row = 0, origin_col = 0;
  std::vector<uint8_t> r, g, b;
  drawn_chart(int32_t h, int32_t w, uint8_t level)
      : height(h), width(w), r(static_cast<size_t>(h) * w, level), g(r), b(r) {}
  // A board of 40 px squares turned by 2 degrees filling the image; unless
  // mono, the two light squares touching the origin corner are green.
  drawn_chart(int32_t h, int32_t w, double origin_r, double origin_c, bool mono) : drawn_chart(h, w, 0) {
    origin_row = origin_r, origin_col = origin_c;
    for (size_t at = 0; at < r.size(); ++at) {
      const double y = static_cast<double>(at / w) - origin_row, x = static_cast<double>(at % w) - origin_col;
      const auto u = static_cast<int64_t>(std::floor((x * kCos - y * kSin) / kSquare));
      const auto v = static_cast<int64_t>(std::floor((x * kSin + y * kCos) / kSquare));
      const bool light = ((u + v) & 1) == 0, green = !mono && light && u == v && (u == 0 || u == -1);
      r[at] = b[at] = green ? 20 : light ? 235 : 15;
      g[at] = green ? 204 : light ? 235 : 15;
    }
  }
  // Working position of the board corner u squares along the board's turned
  // x axis and v along its y axis from the origin corner.
  double row_of(double u, double v) const { return origin_row + kSquare * (v * kCos - u * kSin); }
  double col_of(double u, double v) const { return origin_col + kSquare * (u * kCos + v * kSin); }
};

// Result and printed text of one detector call on copies of the planes.
std::pair<int, std::string> run(drawn_chart img, bool l_chart, int32_t mono, zorvel_key_points* set = nullptr) {
  zorvel_key_points own(kKeyPointCapacity);
  int result = 0;
  auto* const detector = l_chart ? detect_l_chart_keypoints : detect_flat_chart_keypoints;
  const std::string printed = capture_stdout([&] {
    result = detector(img.r.data(), img.g.data(), img.b.data(), img.height, img.width, set ? *set : own, mono);
  });
  return {result, printed};
}

TEST(Detectors, LabelADrawnBoardByItsGeometry) {
  for (const auto& [l_chart, mono] : {std::pair{false, 0}, {false, 1}, {true, 0}, {true, 1}}) {
    SCOPED_TRACE(std::string(l_chart ? "L" : "flat") + (mono ? " mono" : " colour"));
    const drawn_chart board(960, 1280, 480.3, 640.6, mono != 0);
    zorvel_key_points set(kKeyPointCapacity);
    const auto [n, printed] = run(board, l_chart, mono, &set);
    EXPECT_EQ(printed, "");
    ASSERT_GT(n, 300);
    // The board corner of the origin: the green one on colour, some corner on mono.
    const double y0 = set.y[0] - board.origin_row, x0 = set.x[0] - board.origin_col;
    const int32_t u0 = static_cast<int32_t>(std::lround((x0 * kCos - y0 * kSin) / kSquare));
    const int32_t v0 = static_cast<int32_t>(std::lround((x0 * kSin + y0 * kCos) / kSquare));
    EXPECT_TRUE(mono != 0 || (u0 == 0 && v0 == 0)) << u0 << "," << v0;
    // The L chart's right board starts one column past the fold: its labels
    // (Zw = Xw > 0) lie one board column further right.
    std::set<std::pair<int32_t, int32_t>> found;  // (u, v) of every labelled entry
    for (int32_t e = 0; e < n; ++e) {
      const int32_t u = u0 + set.Xw[e] + (l_chart && set.Zw[e] > 0 ? 1 : 0), v = v0 + set.Yw[e];
      EXPECT_NEAR(set.y[e], board.row_of(u, v), 1.5) << "entry " << e;
      EXPECT_NEAR(set.x[e], board.col_of(u, v), 1.5) << "entry " << e;
      EXPECT_TRUE(!l_chart || set.Zw[e] == (set.Xw[e] > 0 ? set.Xw[e] : 0)) << "entry " << e;
      EXPECT_TRUE(found.insert({u, v}).second) << "entry " << e << " found twice";
    }
    // Every corner 110 px inside the image is found (on the L chart, but for
    // the fold column and the last entry, which is past the set).
    for (int32_t u = -20; u <= 20; ++u) {
      for (int32_t v = -15; v <= 15; ++v) {
        const double row = board.row_of(u, v), col = board.col_of(u, v);
        if (row < 110 || row > 850 || col < 110 || col > 1170 || (l_chart && u == u0 + 1)) continue;
        if (std::hypot(set.y[n] - row, set.x[n] - col) <= 1.5) continue;
        EXPECT_TRUE(found.count({u, v})) << "missed corner " << u << "," << v;
      }
    }
  }
  // 300 rows leave the colour marker search no row to visit; mono has no such limit.
  const drawn_chart short_board(300, 1280, 150.2, 640.6, false);
  EXPECT_EQ(run(short_board, false, 0), std::pair(-1, kFailed));
  EXPECT_GT(run(short_board, false, 1).first, 40);
}

TEST(Detectors, UniformTinyThinAndNoisyCapturesEndCleanly) {
  std::vector<drawn_chart> captures;
  for (const auto& [h, w, level] : {std::tuple{420, 520, 0}, {420, 520, 255}, {1, 1, 128}, {5, 5, 128},
                                    {12, 9, 128}, {400, 20, 128}, {20, 700, 128}, {960, 1280, 0}}) {
    captures.emplace_back(h, w, static_cast<uint8_t>(level));
  }
  std::mt19937 rng(5);
  for (auto* p : {&captures.back().r, &captures.back().g, &captures.back().b}) {
    for (auto& v : *p) v = static_cast<uint8_t>(rng());  // noise: it may find corners, or not
  }
  for (const drawn_chart& capture : captures) {
    for (const bool l_chart : {false, true}) {
      for (const int32_t mono : {0, 1}) {
        const auto [result, printed] = run(capture, l_chart, mono);
        SCOPED_TRACE(std::to_string(capture.height) + "x" + std::to_string(capture.width) + (l_chart ? " L" : " flat") +
                     (mono ? " mono" : ""));
        EXPECT_TRUE(result == -1 || (&capture == &captures.back() && result < kKeyPointCapacity));
        EXPECT_EQ(printed, result < 0 ? kFailed : "");
      }
    }
  }
}

}  // namespace
}  // namespace zorvel::test
