// L-chart calibration against exact synthetic key points of modules with
// known rotation, focal lengths and baseline.
#include "calib/l_chart.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "support/test_support.h"
#include "synthetic_stereo.h"

namespace zorvel {
namespace {

using test::synthetic_module;

struct l_run {
  zorvel_calibration_setup setup;
  zorvel_calibration_result result;
  zorvel_chart_pair pair;
  zorvel_key_points out = zorvel_key_points(kKeyPointCapacity);
  int32_t n = 0;
  bool ok = false;
  std::string printed;
};

// The L chart at 450 mm with 20 mm squares; edit changes the filled sets
// before the calibration sees them.
l_run run_l(const synthetic_module& m, const std::function<void(l_run&)>& edit = nullptr,
            const std::vector<test::labelled_point>& pts = test::l_chart_points(450.0, 20.0)) {
  l_run r;
  r.setup = test::setup_for(m, 20.0f);
  r.result.model.main_focal_px = r.setup.main.focal_px;
  r.result.model.aux_focal_px = r.setup.aux.focal_px;
  r.pair.main_width = r.pair.aux_width = 1280;
  r.pair.main_height = r.pair.aux_height = 960;
  test::fill_sets(m, pts, r.pair.main_points, r.pair.aux_points);
  r.n = static_cast<int32_t>(pts.size());
  if (edit) edit(r);
  r.printed = test::capture_stdout([&] {
    r.ok = calibrate_l_chart(r.pair, r.out, r.n, r.setup, r.result);
  });
  return r;
}

// Angles within a quarter degree, the focal length within 0.15 %.
void expect_recovers(const synthetic_module& m, const l_run& r) {
  ASSERT_TRUE(r.ok) << r.printed;
  const zorvel_relative_angles want = relative_angles(m.rot().data()), got = relative_angles(r.result.model.rot);
  EXPECT_NEAR(got.pitch_deg, want.pitch_deg, 0.25);
  EXPECT_NEAR(got.yaw_deg, want.yaw_deg, 0.25);
  EXPECT_NEAR(got.roll_deg, want.roll_deg, 0.25);
  EXPECT_NEAR(static_cast<double>(r.result.model.main_focal_px) / m.f_main, 1.0, 0.0015);
}

// Position flags 0 and 2 put the aux camera at +column, 1 at -column.
TEST(LChartCalibration, RecoversRotationAndFocalLengthOfRandomModules) {
  std::mt19937 rng;  // default-constructed: the same modules every run
  std::uniform_real_distribution<double> angle(-2.0, 2.0), baseline(15.0, 25.0), focal(900.0, 1100.0),
      aux_scale(0.96, 1.04);
  for (int i = 0; i < 24; ++i) {
    synthetic_module m;
    m.pitch_deg = angle(rng);
    m.yaw_deg = angle(rng);
    m.roll_deg = angle(rng);
    m.baseline_mm = baseline(rng);
    m.f_main = focal(rng);
    m.f_aux = m.f_main * aux_scale(rng);
    m.position_flag = i % 3;
    SCOPED_TRACE(testing::Message() << "module " << i);
    expect_recovers(m, run_l(m));
  }
  // The wrong side moves the yaw by twice the angle the baseline subtends (about 5 degrees).
  synthetic_module m;
  m.yaw_deg = 1.0;
  const l_run r = run_l(m, [](l_run& run) { run.setup.charts.main_aux_position_flag = 1; });
  EXPECT_GT(std::fabs(relative_angles(r.result.model.rot).yaw_deg - 1.0), 4.0);
}

// Identical images without baseline give the identity; the centre's RMS row
// difference then counts every depth label (25 central points).
TEST(LChartCalibration, IdenticalImagesWithoutBaselineGiveTheIdentity) {
  synthetic_module m;
  m.baseline_mm = 0.0;
  zorvel_key_points original;
  const l_run r = run_l(m, [&](l_run& run) { run.pair.aux_points = original = run.pair.main_points; });
  ASSERT_TRUE(r.ok);
  for (int j = 0; j < 9; ++j) EXPECT_NEAR(r.result.model.rot[j], j % 4 == 0 ? 1.0 : 0.0, 1e-9) << j;
  EXPECT_FLOAT_EQ(r.result.model.main_focal_px, r.result.model.aux_focal_px);
  EXPECT_NEAR(r.result.rms_vd_center_l, 0.0, 1e-9);
  // Inputs are left centred; the rectified points equal them (to truncation).
  const zorvel_key_points& aux = r.pair.aux_points;
  EXPECT_EQ(aux.y[1] * 10000 + aux.x[1], (original.y[1] - 480) * 10000 + original.x[1] - 640);
  for (int32_t i = 0; i < r.n; ++i) {
    EXPECT_NEAR(r.out.y[i], aux.y[i], 1);
    EXPECT_NEAR(r.out.x[i], aux.x[i], 1);
    EXPECT_EQ(r.out.Zw[i], aux.Zw[i]);
  }
  // The main row of the point (Yw 1, Xw 2, Zw 2) 3 pixels lower.
  const l_run shifted = run_l(m, [](l_run& run) {
    run.pair.aux_points = run.pair.main_points;
    zorvel_key_points& main = run.pair.main_points;
    for (int32_t i = 0; i < run.n; ++i) main.y[i] += main.Yw[i] == 1 && main.Xw[i] == 2 ? 3 : 0;
  });
  EXPECT_NEAR(shifted.result.rms_vd_center_l, std::sqrt(9.0 / 25), 0.05);
}

TEST(LChartCalibration, DegenerateInputIsRefused) {
  const auto pts = test::l_chart_points(450.0, 20.0);
  std::vector<test::labelled_point> no_span, highest_first = pts;
  // No centre-line point above or below label 0: the line has no span.
  for (const auto& p : pts) if (p.xw != 0 || p.yw == 0) no_span.push_back(p);
  std::swap(highest_first[0], highest_first[12]);  // (Yw 6, Xw 0) first: the mean has no sample
  const std::vector<test::labelled_point> five(pts.begin(), pts.begin() + 5);  // fewer than 6 pairs
  for (const auto& refused : {five, no_span, highest_first}) {
    const l_run r = run_l(synthetic_module{}, nullptr, refused);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.printed, "L chart calibration failed: too few paired key points\n");
  }
}

}  // namespace
}  // namespace zorvel
