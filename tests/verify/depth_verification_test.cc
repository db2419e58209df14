// The measuring half of the depth verification on hand-made key points: a
// flat chart seen with a known disparity gives known distances, and the
// cases that cannot be measured are refused or marked.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/test_support.h"
#include "verify/depth_verification.h"

namespace zorvel::test {
namespace {

// A 9 x 7 grid of corners 40 pixels apart around the image centre of a
// 1280 x 960 pair; the aux corners sit `disparity` columns to the left.
struct grid_pairs {
  zorvel_chart_pair p1, p2;
  zorvel_calib_context pc_cfg{}, verify{};
  int32_t n = 0;

  grid_pairs(int32_t disparity, int32_t rows = 7) {
    p1.main_width = p1.aux_width = p2.aux_width = 1280;
    p1.main_height = p1.aux_height = p2.aux_height = 960;
    p1.main_points = zorvel_key_points(kKeyPointCapacity);
    p2.aux_points = zorvel_key_points(kKeyPointCapacity);
    const int32_t half = rows / 2;
    for (int32_t yw = -half; yw <= half; ++yw) {
      for (int32_t xw = -4; xw <= 4; ++xw) {
        p1.main_points.y[n] = p2.aux_points.y[n] = 480 + 40 * yw;
        p1.main_points.x[n] = 640 + 40 * xw;
        p2.aux_points.x[n] = 640 + 40 * xw - disparity;
        p1.main_points.Yw[n] = p2.aux_points.Yw[n] = yw;
        p1.main_points.Xw[n] = p2.aux_points.Xw[n] = xw;
        ++n;
      }
    }
    pc_cfg.cam_baseline_mm = 10.0f;
    verify.flat_chart_distance_mm = 500.0f;
    verify.percentage_fov_for_metric_calculation = 80;
    verify.percentile_for_variation_in_disparity = 95;
  }

  int32_t measure(zorvel_verification_measures& m, double fr = 1000.0) {
    return measure_rectified_pairs(pc_cfg, p1, p2, verify, fr, n, n, m);
  }
};

TEST(DepthVerification, KnownDisparityGivesKnownDistances) {
  grid_pairs g(20);
  // One corner 3 rows off: the largest vertical disparity, at radius 200 of 800.
  g.p2.aux_points.y[g.n - 1] += 3;
  zorvel_verification_measures m;
  const std::string text = capture_stdout([&] { EXPECT_EQ(g.measure(m), 0); });
  EXPECT_TRUE(m.metrics);
  EXPECT_TRUE(m.scale_difference);
  EXPECT_FLOAT_EQ(g.verify.flat_chart_distance_error_percent, 0.0f);
  EXPECT_FLOAT_EQ(g.verify.reference_disparity, 20.0f);
  EXPECT_FLOAT_EQ(g.verify.computed_mean_disparity, 20.0f);
  EXPECT_FLOAT_EQ(g.verify.mean_distance_percent, 0.0f);
  EXPECT_FLOAT_EQ(g.verify.flat_chart_max_vd, 3.0f);
  EXPECT_FLOAT_EQ(g.verify.fov_at_max_vd_percent, 25.0f);
  EXPECT_NEAR(g.verify.flat_chart_residual_vd, 3.0 / std::sqrt(63.0), 1e-6);
  EXPECT_NE(text.find("\n ================ Verification Debug Reference Metrics  ==================\n"
                      "Flat CHART: Max Vertical disparity      = 3.000000\n"),
            std::string::npos);
  EXPECT_EQ(text.find("80th Percentile"), std::string::npos);  // mode 1 only

  grid_pairs far(25);
  far.verify.run_mode = 1;
  scratch_dir dir(true);  // the key-point list of mode 1
  const std::string debug = capture_stdout([&] { EXPECT_EQ(far.measure(m), 0); });
  EXPECT_FLOAT_EQ(far.verify.flat_chart_distance_error_percent, 20.0f);  // 400 mm seen
  EXPECT_NE(debug.find("\n Flat Chart Mean Distance Percentage is 20.000000"), std::string::npos);
  EXPECT_NE(read_file(dir.file("key_points_after_rectification_debug.txt")).find("1 \n63 \n"),
            std::string::npos);
}

TEST(DepthVerification, FirstOfEqualVerticalDisparitiesDefinesItsRadius) {
  grid_pairs g(20);
  g.p2.aux_points.y[0] += 2;        // Yw -3, Xw -4: radius 200
  g.p2.aux_points.y[4 + 9] -= 2;    // Yw -2, Xw 0: radius 80
  zorvel_verification_measures m;
  capture_stdout([&] { g.measure(m); });
  EXPECT_FLOAT_EQ(g.verify.fov_at_max_vd_percent, 25.0f);
}

TEST(DepthVerification, NoMatchingLabelIsRefused) {
  grid_pairs g(20);
  for (int32_t i = 0; i < g.n; ++i) g.p2.aux_points.Xw[i] += 100;
  zorvel_verification_measures m;
  const std::string text = capture_stdout([&] { EXPECT_EQ(g.measure(m), -1); });
  EXPECT_EQ(text, "Error: no matching key points between main and rectified aux images\n");
  EXPECT_FALSE(m.metrics);
}

TEST(DepthVerification, ShortColumnsLeaveTheScaleDifferenceUnmeasured) {
  grid_pairs g(20, 3);  // three points per column: none has more than four
  zorvel_verification_measures m;
  const std::string text = capture_stdout([&] { EXPECT_EQ(g.measure(m), 0); });
  EXPECT_TRUE(m.metrics);
  EXPECT_FALSE(m.scale_difference);
  EXPECT_FLOAT_EQ(g.verify.flat_chart_scale_difference_percent, -1.0f);
  const std::string warning = "Warning: could not compute scale difference percent (setting to -1.0)\n";
  EXPECT_EQ(text.substr(text.size() - warning.size()), warning);
}

TEST(DepthVerification, ScaleDifferenceComparesColumnLengths) {
  grid_pairs g(20);
  // Aux columns 1 % longer: the bottom corner of every aux column moves down.
  for (int32_t i = 0; i < g.n; ++i)
    if (g.p2.aux_points.Yw[i] == 3) g.p2.aux_points.y[i] += 2;  // 240 -> 242 pixels
  zorvel_verification_measures m;
  capture_stdout([&] { g.measure(m); });
  EXPECT_TRUE(m.scale_difference);
  EXPECT_NEAR(g.verify.flat_chart_scale_difference_percent, 100.0 * 2.0 / 240.0, 1e-5);
}

}  // namespace
}  // namespace zorvel::test
