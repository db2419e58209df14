// Result steps on synthetic modules: the L chart and flat chart calibrated
// from exact key points, then every figure the calibration table judges.
#include "calib/results.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "calib/flat_chart_fit.h"
#include "calib/l_chart.h"
#include "support/test_support.h"
#include "synthetic_stereo.h"

namespace zorvel {
namespace {

constexpr double kL = 450.0, kFlat = 800.0;
constexpr double kLSquare = 20.0, kFlatSquare = 30.0;

struct pairs {
  zorvel_calib_context context;
  zorvel_chart_pair l_pair, l_rect, flat_pair, flat_work;
  int32_t n_L = 0, n_F = 0;
};

void size_pair(zorvel_chart_pair& p) {
  p.main_width = p.aux_width = 1280;
  p.main_height = p.aux_height = 960;
  p.normalized_side = 1280;
}

// Calibrates both charts of module m from exact key points; the flat points
// end centred and paired in flat_pair (main) and flat_work (aux).
pairs calibrate_module(const test::synthetic_module& m) {
  pairs p;
  p.context = test::context_for(m, kL, kFlat, kLSquare);
  for (zorvel_chart_pair* q : {&p.l_pair, &p.l_rect, &p.flat_pair, &p.flat_work}) size_pair(*q);
  const auto l_pts = test::l_chart_points(kL, kLSquare);
  test::fill_sets(m, l_pts, p.l_pair.main_points, p.l_pair.aux_points);
  p.l_rect.aux_points = zorvel_key_points(kKeyPointCapacity);
  p.n_L = static_cast<int32_t>(l_pts.size());
  const auto f_pts = test::flat_chart_points(kFlat, kFlatSquare);
  test::fill_sets(m, f_pts, p.flat_pair.main_points, p.flat_work.aux_points);
  p.n_F = static_cast<int32_t>(f_pts.size());
  for (int32_t i = 0; i < p.n_F; ++i) {
    p.flat_pair.main_points.y[i] -= 480;
    p.flat_pair.main_points.x[i] -= 640;
    p.flat_work.aux_points.y[i] -= 480;
    p.flat_work.aux_points.x[i] -= 640;
  }
  test::capture_stdout([&] {
    EXPECT_EQ(calibrate_l_chart(p.l_pair.main_points, p.l_pair.aux_points, p.l_rect.aux_points,
                                p.n_L, 1280, 1280, 960, 960, p.context),
              0);
    EXPECT_TRUE(fit_flat_chart_correction(p.context, p.flat_pair.main_points,
                                          p.flat_work.aux_points, p.n_F, 960, 1280,
                                          p.context.main_focal_length,
                                          p.context.aux_focal_length));
  });
  return p;
}

// The rows of the calibration table with the simulator's thresholds.
void expect_table_passes(const zorvel_calib_context& c) {
  EXPECT_LE(c.l_chart_residual_vd, 1.0f);
  EXPECT_LE(c.l_chart_distance_error_percent, 5.0f);
  EXPECT_LE(c.l_chart_scale_difference_percent, 1.0f);
  EXPECT_LE(c.flat_chart_residual_vd, 1.0f);
  EXPECT_LE(c.flat_chart_hd_stdev, 2.0f);
  EXPECT_LE(c.flat_chart_scale_difference_percent, 1.0f);
  EXPECT_LE(c.vd_percentile_metric / 10.0f, 2.0f);
  EXPECT_LE(c.hd_percentile_metric / 10.0f, 3.0f);
}

TEST(LAndFlatResults, RandomModulesPassEveryRow) {
  std::mt19937 rng;
  std::uniform_real_distribution<double> angle(-2.0, 2.0), baseline(15.0, 25.0),
      focal(900.0, 1100.0);
  for (int i = 0; i < 20; ++i) {
    test::synthetic_module m;
    m.pitch_deg = angle(rng);
    m.yaw_deg = angle(rng);
    m.roll_deg = angle(rng);
    m.baseline_mm = baseline(rng);
    m.f_main = focal(rng);
    m.f_aux = m.f_main * 1.02;
    SCOPED_TRACE(testing::Message() << "module " << i);
    pairs p = calibrate_module(m);
    test::capture_stdout([&] {
      l_and_flat_results(p.context, p.l_pair, p.flat_pair, p.l_rect, p.flat_work, p.n_L, p.n_F);
    });
    expect_table_passes(p.context);
    // The flat chart's distance from one integer pair (a pixel of its 25-px
    // disparity is 4 %) and the disparity expected there.
    EXPECT_LT(p.context.flat_chart_distance_error_percent, 8.0f);
    EXPECT_NEAR(p.context.reference_disparity,
                p.context.main_focal_length * m.baseline_mm / kFlat, 1e-3);
    EXPECT_NEAR(p.context.computed_mean_disparity, p.context.reference_disparity, 1.0);
    const zorvel_relative_angles truth = relative_angles(m.rot().data());
    EXPECT_NEAR(p.context.relative_yaw_degrees, truth.yaw_deg, 0.25);
    EXPECT_NEAR(p.context.relative_pitch_degrees, truth.pitch_deg, 0.25);
    EXPECT_NEAR(p.context.relative_roll_degrees, truth.roll_deg, 0.25);
  }
}

TEST(FlatOnlyResults, StoredLPointsGiveTheSameFigures) {
  test::synthetic_module m;
  m.pitch_deg = 1.1;
  m.yaw_deg = -0.7;
  m.roll_deg = 0.4;
  pairs full = calibrate_module(m);
  // The interim hand-over: stored centred L points, rotation narrowed to float.
  store_l_chart_points(full.context, full.l_pair.main_points, full.l_pair.aux_points, full.n_L);
  pairs flat_only = calibrate_module(m);
  zorvel_calib_context& c = flat_only.context;
  c.l_chart_point_count = full.context.l_chart_point_count;
  for (int j = 0; j < 9; ++j) c.rot[j] = static_cast<float>(full.context.rot[j]);
  zorvel_key_points stored[2] = {zorvel_key_points(500, false), zorvel_key_points(500, false)};
  for (int32_t i = 0; i < c.l_chart_point_count; ++i) {
    stored[0].y[i] = full.context.main_l_point_y[i];
    stored[0].x[i] = full.context.main_l_point_x[i];
    stored[0].Xw[i] = full.context.main_l_label_xw[i];
    stored[1].y[i] = full.context.aux_l_point_y[i];
    stored[1].x[i] = full.context.aux_l_point_x[i];
    stored[1].Xw[i] = full.context.aux_l_label_xw[i];
  }
  test::capture_stdout([&] {
    l_and_flat_results(full.context, full.l_pair, full.flat_pair, full.l_rect, full.flat_work,
                       full.n_L, full.n_F);
    flat_only_results(c, stored, flat_only.flat_pair, flat_only.flat_work,
                      c.l_chart_point_count, flat_only.n_F);
  });
  expect_table_passes(c);
  EXPECT_NEAR(c.relative_yaw_degrees, full.context.relative_yaw_degrees, 1e-4);
  EXPECT_NEAR(c.l_chart_residual_vd, full.context.l_chart_residual_vd, 0.05);
  EXPECT_NEAR(c.flat_chart_residual_vd, full.context.flat_chart_residual_vd, 0.05);
  // No qualifying stored column would leave NaN, never -1.
  flat_only_results(c, stored, flat_only.flat_pair, flat_only.flat_work, 0, flat_only.n_F);
  EXPECT_TRUE(std::isnan(c.l_chart_scale_difference_percent));
  EXPECT_TRUE(std::isnan(c.l_chart_residual_vd));
}

// One flat pair of three points under the identity with fm / fa = 1.25.
struct tiny_case {
  zorvel_calib_context c{};
  zorvel_chart_pair flat_pair, flat_work, l_pair, l_rect;
  zorvel_key_points stored[2] = {zorvel_key_points(4, false), zorvel_key_points(4, false)};
  tiny_case() {
    c.rot[0] = c.rot[4] = c.rot[8] = 1.0;
    c.main_focal_length = 1000.0f;
    c.aux_focal_length = 800.0f;
    c.main_focal_length_ratio = c.aux_focal_length_ratio = 1.0f;
    c.main_focal_length_ratio_flat = c.aux_focal_length_ratio_flat = 1.0f;
    c.cam_baseline_mm = 20.0f;
    c.flat_chart_distance_mm = 500.0f;
    c.l_chart_distance_mm = 500.0f;
    c.percentage_fov_for_metric_calculation = 80;
    c.percentile_for_variation_in_disparity = 95;
    for (zorvel_chart_pair* p : {&flat_pair, &flat_work, &l_pair, &l_rect}) {
      size_pair(*p);
      p->main_points = zorvel_key_points(4);
      p->aux_points = zorvel_key_points(4);
    }
    // Pair 0: aux column 32 projects to 40, the main column is 0; pair 1:
    // aux row 10 projects to 12.5 against a main row of 10.
    flat_work.aux_points.x[0] = 32;
    flat_work.aux_points.y[1] = 10;
    flat_pair.main_points.y[1] = 10;
    l_rect.aux_points.x[0] = 40;
  }
};

TEST(Results, DistanceReferenceAndLargestVerticalDisparity) {
  tiny_case t;
  test::capture_stdout([&] {
    l_and_flat_results(t.c, t.l_pair, t.flat_pair, t.l_rect, t.flat_work, 1, 3);
  });
  EXPECT_FLOAT_EQ(t.c.reference_disparity, 40.0f);
  EXPECT_FLOAT_EQ(t.c.flat_chart_distance_error_percent, 0.0f);
  EXPECT_FLOAT_EQ(t.c.l_chart_distance_error_percent, 0.0f);
  EXPECT_EQ(t.c.flat_chart_max_vd, 2.0f);  // |10 - trunc(12.5)|, whole pixels

  tiny_case u;
  test::capture_stdout([&] {
    flat_only_results(u.c, u.stored, u.flat_pair, u.flat_work, 0, 3);
  });
  EXPECT_EQ(u.c.flat_chart_max_vd, 2.5f);  // fractions kept
  EXPECT_EQ(u.flat_work.aux_points.y[1], 12);  // written back truncated
}

}  // namespace
}  // namespace zorvel
