// L-chart calibration against exact synthetic key points of modules with
// known rotation, focal lengths and baseline.
#include "calib/l_chart.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <random>
#include <string>

#include "synthetic_stereo.h"
#include "support/test_support.h"

namespace zorvel {
namespace {

using test::synthetic_module;

constexpr double kL = 450.0;       // L-chart distance, mm
constexpr double kSquare = 20.0;   // mm
// Recovered angles within a quarter degree; focal length within 0.15 %.
constexpr double kAngleTolerance = 0.25;
constexpr double kFocalTolerance = 0.0015;

struct l_run {
  zorvel_calibration_setup setup;
  zorvel_calibration_result result;
  zorvel_chart_pair pair;
  zorvel_key_points& main = pair.main_points;
  zorvel_key_points& aux = pair.aux_points;
  zorvel_key_points out;
  bool ok = false;
  std::string printed;
};

// edit changes the filled sets before the calibration sees them.
l_run run_l(const synthetic_module& m, const std::vector<test::labelled_point>& pts,
            const std::function<void(l_run&)>& edit = nullptr) {
  l_run r;
  r.setup = test::setup_for(m, kL, 800.0, kSquare);
  r.result = test::result_for(r.setup);
  r.pair.main_width = r.pair.aux_width = m.width;
  r.pair.main_height = r.pair.aux_height = m.height;
  test::fill_sets(m, pts, r.main, r.aux);
  r.out = zorvel_key_points(kKeyPointCapacity);
  if (edit) edit(r);
  const int32_t n = static_cast<int32_t>(pts.size());
  r.printed = test::capture_stdout([&] {
    r.ok = calibrate_l_chart(r.pair, r.out, n, r.setup, r.result);
  });
  return r;
}

void expect_recovers(const synthetic_module& m, const l_run& r) {
  ASSERT_TRUE(r.ok) << r.printed;
  const test::mat3 truth = m.rot();
  const zorvel_relative_angles want = relative_angles(truth.data());
  const zorvel_relative_angles got = relative_angles(r.result.model.rot);
  EXPECT_NEAR(got.pitch_deg, want.pitch_deg, kAngleTolerance);
  EXPECT_NEAR(got.yaw_deg, want.yaw_deg, kAngleTolerance);
  EXPECT_NEAR(got.roll_deg, want.roll_deg, kAngleTolerance);
  EXPECT_NEAR(r.result.model.main_focal_px / m.f_main, 1.0, kFocalTolerance);
}

TEST(LChartCalibration, RecoversRotationAndFocalLengthOfRandomModules) {
  std::mt19937 rng;  // default-constructed: the same modules every run
  std::uniform_real_distribution<double> angle(-2.0, 2.0), baseline(15.0, 25.0),
      focal(900.0, 1100.0), aux_scale(0.96, 1.04);
  const auto pts = test::l_chart_points(kL, kSquare);
  for (int i = 0; i < 25; ++i) {
    synthetic_module m;
    m.pitch_deg = angle(rng);
    m.yaw_deg = angle(rng);
    m.roll_deg = angle(rng);
    m.baseline_mm = baseline(rng);
    m.f_main = focal(rng);
    m.f_aux = m.f_main * aux_scale(rng);
    m.position_flag = i % 2;
    SCOPED_TRACE(testing::Message() << "module " << i);
    expect_recovers(m, run_l(m, pts));
  }
}

TEST(LChartCalibration, PositionFlagGivesTheSignOfTheExpectedDisparity) {
  const auto pts = test::l_chart_points(kL, kSquare);
  synthetic_module m;
  m.yaw_deg = 1.0;
  // Aux at +column: main column minus aux column is positive at finite distance.
  double row, main_col, aux_col;
  m.project_main(pts[0].world, row, main_col);
  m.yaw_deg = 0.0;
  m.project_aux(pts[0].world, row, aux_col);
  EXPECT_GT(main_col - aux_col, 0.0);
  m.yaw_deg = 1.0;

  expect_recovers(m, run_l(m, pts));
  m.position_flag = 2;  // even flags behave like 0
  expect_recovers(m, run_l(m, pts));

  // The wrong sign moves the yaw by the angle the baseline subtends twice.
  // The setup claims -column while the points were made with +column.
  const l_run r = run_l(m, pts, [](l_run& run) { run.setup.charts.main_aux_position_flag = 1; });
  const double yaw_error = relative_angles(r.result.model.rot).yaw_deg - 1.0;
  EXPECT_GT(std::fabs(yaw_error), 4.0);  // 2 atan(20 / 450) is about 5 degrees
}

TEST(LChartCalibration, IdenticalImagesWithoutBaselineGiveTheIdentity) {
  synthetic_module m;
  m.baseline_mm = 0.0;
  const auto pts = test::l_chart_points(kL, kSquare);
  zorvel_key_points original;
  const l_run r = run_l(m, pts, [&](l_run& run) {
    run.aux = run.main;
    original = run.main;
  });
  ASSERT_TRUE(r.ok);
  for (int j = 0; j < 9; ++j) EXPECT_NEAR(r.result.model.rot[j], j % 4 == 0 ? 1.0 : 0.0, 1e-9) << j;
  EXPECT_FLOAT_EQ(r.result.model.main_focal_px, r.result.model.aux_focal_px);
  EXPECT_NEAR(r.result.rms_vd_center_l, 0.0, 1e-9);
  // Inputs are left centred; the rectified points equal them (to truncation).
  EXPECT_EQ(r.main.y[1], original.y[1] - 480);
  EXPECT_EQ(r.main.x[1], original.x[1] - 640);
  for (size_t i = 0; i < pts.size(); ++i) {
    EXPECT_NEAR(r.out.y[i], r.aux.y[i], 1);
    EXPECT_NEAR(r.out.x[i], r.aux.x[i], 1);
    EXPECT_EQ(r.out.Zw[i], r.aux.Zw[i]);
  }
}

TEST(LChartCalibration, DegenerateInputIsRefused) {
  synthetic_module m;
  const std::string message = "L chart calibration failed: too few paired key points\n";
  auto refused = [&](std::vector<test::labelled_point> pts) {
    l_run r = run_l(m, pts);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.printed, message);
  };
  auto pts = test::l_chart_points(kL, kSquare);
  refused({pts.begin(), pts.begin() + 5});  // fewer than 6 pairs

  // No centre-line point above or below label 0: the span is zero.
  std::vector<test::labelled_point> flat_line;
  for (const auto& p : pts) {
    if (p.xw != 0 || p.yw == 0) flat_line.push_back(p);
  }
  refused(flat_line);

  // The highest centre-line point comes first: the mean has no sample.
  std::vector<test::labelled_point> highest_first = pts;
  std::swap(highest_first[0], highest_first[12]);  // (Yw 6, Xw 0) to the front
  refused(highest_first);
}

TEST(LChartCalibration, CentreRmsCountsEveryDepthLabel) {
  synthetic_module m;
  m.baseline_mm = 0.0;
  const auto pts = test::l_chart_points(kL, kSquare);
  // Shift the main row of one right-half point (Zw = 2) by 3 pixels.
  int32_t count = 0, shifted = -1;
  for (size_t i = 0; i < pts.size(); ++i) {
    if (std::abs(pts[i].xw) <= 2 && std::abs(pts[i].yw) <= 2) ++count;
    if (pts[i].yw == 1 && pts[i].xw == 2) shifted = static_cast<int32_t>(i);
  }
  ASSERT_GE(shifted, 0);
  ASSERT_EQ(pts[shifted].zw, 2);
  const l_run r = run_l(m, pts, [&](l_run& run) {
    run.aux = run.main;
    run.main.y[shifted] += 3;
  });
  const std::string& printed = r.printed;
  EXPECT_NEAR(r.result.rms_vd_center_l, std::sqrt(9.0 / count), 0.05);
  char expected[80];
  std::snprintf(expected, sizeof expected, "\n RMS_VD_Center_L_Chart = %f\n RMS_VD_Center_L_Chart_END",
                r.result.rms_vd_center_l);
  EXPECT_NE(printed.find(expected), std::string::npos) << printed;
}

TEST(RelativeAngles, UseTheApproximatePiFactor) {
  const double identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  const zorvel_relative_angles zero = relative_angles(identity);
  EXPECT_EQ(zero.pitch_deg, 0.0);
  EXPECT_EQ(zero.yaw_deg, 0.0);
  EXPECT_EQ(zero.roll_deg, 0.0);

  const test::mat3 yaw = test::rotation_from_angles(0.0, 1.0, 0.0);
  char text[32];
  std::snprintf(text, sizeof text, "%f", relative_angles(yaw.data()).yaw_deg);
  EXPECT_STREQ(text, "1.000001");
  const test::mat3 pitch_roll = test::rotation_from_angles(-1.5, 0.0, 0.75);
  const zorvel_relative_angles a = relative_angles(pitch_roll.data());
  EXPECT_NEAR(a.pitch_deg, -1.5, 1e-5);
  EXPECT_NEAR(a.roll_deg, 0.75, 1e-5);
}

TEST(LOnlyResults, DistanceErrorOfTheFirstPair) {
  zorvel_calibration_setup setup;
  setup.charts.baseline_mm = 20.0f;
  setup.charts.l_chart_distance_mm = 500.0f;
  zorvel_calibration_result result;
  result.model.main_focal_px = 1000.0f;
  result.model.rot[0] = result.model.rot[4] = result.model.rot[8] = 1.0;
  zorvel_chart_pair l_pair, rect;
  l_pair.main_points = zorvel_key_points(4);
  rect.aux_points = zorvel_key_points(4);
  rect.aux_points.x[0] = 40;
  l_only_results(setup, l_pair, rect, result);
  EXPECT_FLOAT_EQ(result.l_distance_error_percent, 0.0f);
  rect.aux_points.x[0] = 50;  // Z = 400 mm
  l_only_results(setup, l_pair, rect, result);
  EXPECT_FLOAT_EQ(result.l_distance_error_percent, 20.0f);
  EXPECT_EQ(result.angles.yaw_deg, 0.0);
}

}  // namespace
}  // namespace zorvel
