// Degenerate captures end with a clean result or "Origin detection failed\n",
// never an out-of-range access (run under the sanitizer build too).
#include <gtest/gtest.h>

#include <random>

#include "detect/keypoints.h"
#include "drawn_chart.h"
#include "reference_detector.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

struct image {
  int32_t height, width;
  std::vector<uint8_t> r, g, b;
  image(int32_t h, int32_t w, uint8_t level)
      : height(h), width(w), r(static_cast<size_t>(h) * w, level), g(r), b(r) {}
};

// Result and printed text of one detector call.
std::pair<int, std::string> run(image& img, bool l_chart, int32_t mono) {
  zorvel_key_points set(kKeyPointCapacity);
  int result = 0;
  const std::string printed = capture_stdout([&] {
    result = l_chart ? detect_l_chart_keypoints(img.r.data(), img.g.data(), img.b.data(),
                                                img.height, img.width, set, mono)
                     : detect_flat_chart_keypoints(img.r.data(), img.g.data(), img.b.data(),
                                                   img.height, img.width, set, mono);
  });
  return {result, printed};
}

void expect_failure(image img, bool l_chart, int32_t mono) {
  const auto [result, printed] = run(img, l_chart, mono);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(printed, "Origin detection failed\n");
}

TEST(DetectorRobustness, UniformCapturesFail) {
  for (const bool l_chart : {false, true}) {
    for (const int32_t mono : {0, 1}) {
      expect_failure(image(420, 520, 0), l_chart, mono);
      expect_failure(image(420, 520, 255), l_chart, mono);
    }
  }
  image bright(1280, 2275, 255);  // 3 x N x 255 beyond 32 bits
  const auto [result, printed] = run(bright, false, 0);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(bright.g[12345], 50);
}

TEST(DetectorRobustness, PureNoiseOverflowsTheCandidateList) {
  std::mt19937 rng(5);
  image noise(960, 1280, 0);
  for (auto* p : {&noise.r, &noise.g, &noise.b}) {
    for (auto& v : *p) v = static_cast<uint8_t>(rng());
  }
  for (const bool l_chart : {false, true}) {
    for (const int32_t mono : {0, 1}) {
      const auto [result, printed] = run(noise, l_chart, mono);
      // Either outcome is clean; a result never exceeds the set.
      EXPECT_LT(result, kKeyPointCapacity);
      if (result < 0) {
        EXPECT_EQ(printed, "Origin detection failed\n");
      }
    }
  }
}

TEST(DetectorRobustness, ShortAndNarrowImages) {
  board_layout layout;
  layout.height = 300;
  layout.width = 1280;
  layout.origin_row = 150.2;
  layout.origin_col = 640.6;
  layout.square_px = 40;
  drawn_chart chart = draw_board(layout);
  image short_img(300, 1280, 0);
  short_img.r = chart.r, short_img.g = chart.g, short_img.b = chart.b;
  // Colour: 300 rows fail before any search. Mono: the search runs.
  expect_failure(short_img, false, 0);
  expect_failure(short_img, true, 0);
  const auto [mono_result, printed] = run(short_img, false, 1);
  EXPECT_GT(mono_result, 0);
  for (const auto& [h, w] : {std::pair{1, 1}, {5, 5}, {12, 9}, {400, 20}, {20, 700}}) {
    for (const bool l_chart : {false, true}) {
      for (const int32_t mono : {0, 1}) {
        image grey(h, w, 128);
        EXPECT_EQ(run(grey, l_chart, mono).first, -1) << h << "x" << w;
      }
    }
  }
}

TEST(DetectorRobustness, MonoWithFewCandidates) {
  // Squares of 110 px on 200 x 260: three corners, fewer than nine, so no
  // candidate is scored and the first one of the list becomes the origin.
  board_layout layout;
  layout.height = 200;
  layout.width = 260;
  layout.origin_row = 100.3;
  layout.origin_col = 130.2;
  layout.square_px = 110;
  layout.mono = true;
  drawn_chart chart = draw_board(layout);
  image img(200, 260, 0);
  img.g = chart.g;
  img.r = img.g, img.b = img.g;
  {
    image copy = img;
    reference_detector reference(200, 260, false);
    const int32_t candidates = reference.run(copy.r, copy.g, copy.b, true).candidate_count;
    EXPECT_GT(candidates, 0);
    EXPECT_LT(candidates, 9);
  }
  const auto [result, printed] = run(img, false, 1);
  EXPECT_GE(result, 0);
  EXPECT_EQ(printed, "");
}

}  // namespace
}  // namespace zorvel::test
