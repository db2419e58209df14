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
  drawn_chart(int32_t h, int32_t w, uint8_t level)
      : height(h), width(w), r(static_cast<size_t>(h) * w, level), g(r), b(r) {}
};

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
        EXPECT_EQ(run(drawn_chart(h, w, static_cast<uint8_t>(level)), l_chart, mono), std::pair(-1, kFailed))
            << h << "x" << w << " level " << level << (l_chart ? " L" : " flat") << " mono " << mono;
      }
    }
  }
}

TEST(DetectorRobustness, NoiseEndsCleanlyAndAShortBoardOnlyOnMono) {
  std::mt19937 rng(5);
  drawn_chart noise(960, 1280, 0);
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
  // A grey board of 40 px squares turned by 2 degrees, 300 rows high: the
  // colour marker search has no rows to visit, the mono origin search has no
  // such limit and the scans run close to the edges.
  drawn_chart board(300, 1280, 0);
  const double ca = std::cos(2.0 * M_PI / 180.0), sa = std::sin(2.0 * M_PI / 180.0);
  for (int32_t r = 0; r < board.height; ++r) {
    for (int32_t c = 0; c < board.width; ++c) {
      const double y = r - 150.2, x = c - 640.6;
      const auto u = static_cast<int64_t>(std::floor((x * ca - y * sa) / 40));
      const auto v = static_cast<int64_t>(std::floor((x * sa + y * ca) / 40));
      board.r[r * board.width + c] = ((u + v) & 1) == 0 ? 235 : 15;
    }
  }
  board.g = board.b = board.r;
  EXPECT_EQ(run(board, false, 0), std::pair(-1, kFailed));
  EXPECT_EQ(run(board, true, 0), std::pair(-1, kFailed));
  const auto [mono_result, printed] = run(board, false, 1);
  EXPECT_GT(mono_result, 40);
  EXPECT_EQ(printed, "");
}

}  // namespace
}  // namespace zorvel::test
