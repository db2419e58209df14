// Degenerate captures end with a clean result or "Origin detection failed\n",
// never an out-of-range access (run under the sanitizer build too).
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "detect/keypoints.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

const std::string kFailed = "Origin detection failed\n";

struct drawn_chart {
  int32_t height = 0, width = 0;
  std::vector<uint8_t> r, g, b;
};

drawn_chart uniform(int32_t height, int32_t width, uint8_t level) {
  drawn_chart img;
  img.height = height, img.width = width;
  img.r.assign(static_cast<size_t>(height) * width, level);
  img.g = img.b = img.r;
  return img;
}

// A checkerboard filling the image, turned by 2 degrees, with the two light
// squares touching the origin corner green (grey levels only when mono).
drawn_chart draw_board(int32_t height, int32_t width, double origin_row, double origin_col,
                       double square_px, bool mono) {
  drawn_chart img = uniform(height, width, 0);
  const double ca = std::cos(2.0 * M_PI / 180.0), sa = std::sin(2.0 * M_PI / 180.0);
  for (int32_t r = 0; r < height; ++r) {
    for (int32_t c = 0; c < width; ++c) {
      const double y = r - origin_row, x = c - origin_col;
      const auto u = static_cast<int64_t>(std::floor((x * ca - y * sa) / square_px));
      const auto v = static_cast<int64_t>(std::floor((x * sa + y * ca) / square_px));
      const bool light = ((u + v) & 1) == 0, green = !mono && light && u == v && (u == 0 || u == -1);
      const size_t at = static_cast<size_t>(r) * width + c;
      img.r[at] = img.b[at] = green ? 20 : light ? 235 : 15;
      img.g[at] = green ? 204 : light ? 235 : 15;
    }
  }
  return img;
}

// Result and printed text of one detector call on copies of the planes.
std::pair<int, std::string> run(drawn_chart img, bool l_chart, int32_t mono) {
  zorvel_key_points set(kKeyPointCapacity);
  int result = 0;
  auto* const detector = l_chart ? detect_l_chart_keypoints : detect_flat_chart_keypoints;
  const std::string printed = capture_stdout([&] {
    result = detector(img.r.data(), img.g.data(), img.b.data(), img.height, img.width, set, mono);
  });
  return {result, printed};
}


TEST(DetectorRobustness, UniformTinyAndThinCapturesFail) {
  for (const auto& [h, w, level] : {std::tuple{420, 520, 0}, {420, 520, 255}, {1, 1, 128},
                                    {5, 5, 128}, {12, 9, 128}, {400, 20, 128}, {20, 700, 128}}) {
    for (const bool l_chart : {false, true}) {
      for (const int32_t mono : {0, 1}) {
        EXPECT_EQ(run(uniform(h, w, static_cast<uint8_t>(level)), l_chart, mono),
                  std::pair(-1, kFailed))
            << h << "x" << w << " level " << level << (l_chart ? " L" : " flat") << " mono " << mono;
      }
    }
  }
}

TEST(DetectorRobustness, PureNoiseEndsCleanly) {
  std::mt19937 rng(5);
  drawn_chart noise = uniform(960, 1280, 0);
  for (auto* p : {&noise.r, &noise.g, &noise.b}) {
    for (auto& v : *p) v = static_cast<uint8_t>(rng());
  }
  for (const bool l_chart : {false, true}) {
    for (const int32_t mono : {0, 1}) {
      const auto [result, printed] = run(noise, l_chart, mono);
      EXPECT_LT(result, kKeyPointCapacity);
      EXPECT_EQ(printed, result < 0 ? kFailed : "");
    }
  }
}

TEST(DetectorRobustness, ShortBoardFailsOnColourButNotOnMono) {
  // 300 rows leave the colour marker search nothing to visit; the mono
  // origin search has no such limit.
  const drawn_chart chart = draw_board(300, 1280, 150.2, 640.6, 40, false);
  EXPECT_EQ(run(chart, false, 0), std::pair(-1, kFailed));
  EXPECT_EQ(run(chart, true, 0), std::pair(-1, kFailed));
  const auto [mono_result, printed] = run(chart, false, 1);
  EXPECT_GT(mono_result, 40);
  EXPECT_EQ(printed, "");
}

TEST(DetectorRobustness, MonoWithFewerThanNineCandidatesTakesTheFirst) {
  // Squares of 110 px on 200 x 260: three corners, so no candidate is scored
  // and the first one of the list becomes the origin.
  const auto [result, printed] = run(draw_board(200, 260, 100.3, 130.2, 110, true), false, 1);
  EXPECT_GE(result, 0);
  EXPECT_EQ(printed, "");
}

}  // namespace
}  // namespace zorvel::test
