// The measuring half of the depth verification on hand-made key points: a
// flat chart seen with a known disparity gives known distances, and the
// cases that cannot be measured are refused or marked.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <utility>

#include "support/test_support.h"
#include "verify/rectified_pair_measures.h"

namespace zorvel::test {
namespace {

// A 9 x `rows` grid of corners 40 pixels apart around the centre of a
// 1280 x 960 pair; the aux corners sit `disparity` columns to the left.
// Baseline 10 mm, focal length 1000 px: 20 px of disparity is 500 mm.
struct grid_pairs {
  zorvel_chart_pair main, aux;
  zorvel_verification_input in;
  int32_t n = 0;
  std::string text;

  explicit grid_pairs(int32_t disparity, int32_t rows = 7) {
    main.main_width = main.aux_width = aux.aux_width = 1280;
    main.main_height = main.aux_height = aux.aux_height = 960;
    main.main_points = aux.aux_points = zorvel_key_points(kKeyPointCapacity);
    zorvel_key_points &m = main.main_points, &a = aux.aux_points;
    for (int32_t yw = -(rows / 2); yw <= rows / 2; ++yw) {
      for (int32_t xw = -4; xw <= 4; ++xw, ++n) {
        m.y[n] = a.y[n] = 480 + 40 * yw, m.Yw[n] = a.Yw[n] = yw, m.Xw[n] = a.Xw[n] = xw;
        m.x[n] = 640 + 40 * xw, a.x[n] = 640 + 40 * xw - disparity;
      }
    }
    in.baseline_mm = 10.0f, in.flat_chart_distance_mm = 500.0f, in.metric_settings = {80, 95};
  }

  zorvel_verification_result measure() {
    zorvel_verification_result r;
    text = capture_stdout([&] { r = measure_rectified_pairs(in, main, aux, 1000.0, n, n); });
    return r;
  }
};

TEST(RectifiedPairMeasures, KnownDisparityGivesKnownDistances) {
  grid_pairs g(20);
  g.aux.aux_points.y[g.n - 1] += 3;  // one corner 3 rows off, at radius 200 of 800
  const zorvel_verification_result r = g.measure();
  EXPECT_TRUE(r.ok && r.metrics_measured && r.scale_measured);
  EXPECT_EQ((std::array{r.distance_error_percent, r.reference_disparity_px, r.disparity.mean_disparity,
                        r.max_vd_px, r.fov_at_max_vd_percent}),
            (std::array{0.0f, 20.0f, 20.0f, 3.0f, 25.0f}));
  EXPECT_NEAR(r.residual_vd_px, 3.0 / std::sqrt(63.0), 1e-6);
  EXPECT_NEAR(r.scale_difference_percent, 100.0 / 9 * (3.0 / 240.0), 1e-5);  // one column longer
  EXPECT_EQ(g.text.find("80th Percentile"), std::string::npos);  // mode 1 only

  // 25 px is 400 mm, 16 px 625 mm: both distance errors, from the first pair and the mean.
  for (const auto& [disparity, percent] : {std::pair{25, 20.0f}, std::pair{16, 25.0f}}) {
    grid_pairs off(disparity);
    off.in.run_mode = 1;
    scratch_dir dir(true);  // mode 1 writes the pairs
    const zorvel_verification_result o = off.measure();
    EXPECT_FLOAT_EQ(o.distance_error_percent, percent);
    EXPECT_FLOAT_EQ(o.mean_distance_percent, percent);
    EXPECT_NE(off.text.find("80th Percentile"), std::string::npos);
  }
  // The first of equal vertical disparities defines the radius.
  grid_pairs equal(20);
  equal.aux.aux_points.y[0] += 2;      // Yw -3, Xw -4: radius 200
  equal.aux.aux_points.y[4 + 9] -= 2;  // Yw -2, Xw 0: radius 80
  EXPECT_FLOAT_EQ(equal.measure().fov_at_max_vd_percent, 25.0f);
}

TEST(RectifiedPairMeasures, UnmeasurableCasesAreRefusedOrMarked) {
  grid_pairs unmatched(20);
  for (int32_t i = 0; i < unmatched.n; ++i) unmatched.aux.aux_points.Xw[i] += 100;
  const zorvel_verification_result refused = unmatched.measure();
  EXPECT_FALSE(refused.ok || refused.metrics_measured);
  EXPECT_EQ(unmatched.text, "Error: no matching key points between main and rectified aux images\n");

  grid_pairs short_columns(20, 3);  // three points per column: none has more than four
  const zorvel_verification_result r = short_columns.measure();
  EXPECT_TRUE(r.ok && r.metrics_measured && !r.scale_measured);
  EXPECT_FLOAT_EQ(r.scale_difference_percent, -1.0f);
  EXPECT_TRUE(short_columns.text.ends_with("Warning: could not compute scale difference percent (setting to -1.0)\n"));
}

}  // namespace
}  // namespace zorvel::test
