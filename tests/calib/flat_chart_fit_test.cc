// The flat-chart correction fit and the flat chart's result figures, on
// paired, centred synthetic key points.
#include "calib/flat_chart_fit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>

#include "calib/flat_chart.h"
#include "calib/results.h"
#include "support/test_support.h"
#include "synthetic_stereo.h"

namespace zorvel {
namespace {

struct flat_case {
  zorvel_calibration_setup setup;
  zorvel_calibration_result result;
  zorvel_key_points main, aux;
  int32_t n = 0;
};

// Centred flat-chart points of module m at 800 mm, rot set to the truth.
flat_case make_case(const test::synthetic_module& m) {
  flat_case c;
  c.setup = test::setup_for(m, 30.0f);
  c.result.model.main_focal_px = c.setup.main.focal_px;
  c.result.model.aux_focal_px = c.setup.aux.focal_px;
  const sim::mat3 rot = m.rot();
  std::copy(rot.begin(), rot.end(), c.result.model.rot);
  const auto pts = test::flat_chart_points(800.0, 30.0);
  test::fill_sets(m, pts, c.main, c.aux);
  c.n = static_cast<int32_t>(pts.size());
  for (zorvel_key_points* s : {&c.main, &c.aux}) {
    for (int32_t i = 0; i < c.n; ++i) s->y[i] -= 480, s->x[i] -= 640;
  }
  return c;
}

std::string fit(flat_case& c, bool* ok = nullptr) {
  return test::capture_stdout([&] {
    const bool fitted = fit_flat_chart_correction(c.setup, c.main, c.aux, c.n, 960, 1280, c.result);
    if (ok) *ok = fitted;
  });
}

// The flat chart's figures once its aux points go through the complete model.
zorvel_calibration_result figures(const flat_case& c) {
  zorvel_chart_pair flat, work;
  flat.main_width = flat.aux_width = 1280;
  flat.main_height = flat.aux_height = 960;
  flat.main_points = c.main;
  work.aux_points = c.aux;
  zorvel_key_points stored_aux = c.aux;
  zorvel_calibration_result r = c.result;
  test::capture_stdout([&] { flat_only_results(c.setup, c.main, stored_aux, c.n, flat, work, c.n, r); });
  return r;
}

TEST(FlatChartFit, CorrectsARowDistortionOfTheAuxCamera) {
  test::synthetic_module m;
  m.pitch_deg = 0.8;
  m.roll_deg = -0.5;
  m.yaw_deg = 1.2;
  flat_case c = make_case(m);
  // A cubic row error of the aux lens, about 5 px in the corners.
  for (int32_t i = 0; i < c.n; ++i) {
    const double u = c.aux.x[i] / 640.0, v = c.aux.y[i] / 480.0;
    c.aux.y[i] += static_cast<int32_t>(std::lround(20.0 * u * u * v));
  }
  std::fill(std::begin(c.result.model.geo), std::end(c.result.model.geo), 7.0f);
  EXPECT_EQ(fit(c).rfind("\n RMS_VD_Center_Flat_Chart = ", 0), 0u);
  EXPECT_LT(figures(c).flat_residual_vd, 0.6f);  // what is left is the rounding of the key points
  for (int j = 18; j < 32; ++j) EXPECT_EQ(c.result.model.geo[j], 0.0f);
  std::fill(std::begin(c.result.model.geo), std::end(c.result.model.geo), 0.0f);
  EXPECT_GT(figures(c).flat_residual_vd, 1.5f);
}

// Exact grid positions, the aux one 5 % wider: HD = 2 Xw, a pure tilt. The
// flat centre's RMS is 0, so d = -rms_vd_center_l: below 1.5 the plane is held
// at the centre mean and the cubic takes up the whole tilt; from 1.5 it is not.
TEST(FlatChartFit, PlaneIsClampedUnlessTheCentreIsMuchWorse) {
  test::synthetic_module m;
  m.baseline_mm = 0.0;
  for (const auto& [rms_l, clamped, notice] :
       {std::tuple{0.0, true, false}, {-1.5, false, false}, {-1.6, false, true}}) {
    flat_case c = make_case(m);
    for (int32_t i = 0; i < c.n; ++i) {
      c.main.y[i] = c.aux.y[i] = 40 * c.main.Yw[i];
      c.main.x[i] = 40 * c.main.Xw[i];
      c.aux.x[i] = 42 * c.aux.Xw[i];
    }
    c.result.rms_vd_center_l = rms_l;
    const std::string printed = fit(c);
    float size = 0.0f;  // of the column correction
    for (int j = 0; j < 9; ++j) size += std::fabs(c.result.model.geo[j]);
    EXPECT_EQ(size > 2.0f, clamped) << rms_l;
    EXPECT_EQ(size < 1e-6f, !clamped) << rms_l;
    EXPECT_EQ(printed.find("\n Plane_Fitting_Geo") != std::string::npos, notice) << rms_l;
  }
}

TEST(FlatChartFit, TooFewCentralPointsAreRefused) {
  flat_case c = make_case(test::synthetic_module{});
  for (int32_t i = 0; i < c.n; ++i) c.aux.Xw[i] += 20;  // nothing near the centre labels
  bool ok = true;
  EXPECT_EQ(fit(c, &ok), "Flat chart calibration failed: too few central key points\n");
  EXPECT_FALSE(ok);
}

// 1000 / 996 in its band; no focal length, no distance past it, or 1.087
// outside [0.95, 1.035] give 1.
TEST(FlRatioAtDistance, ThinLensRatioInItsBand) {
  for (const auto& [distance, focal, ratio] :
       {std::tuple{1000.0f, 4.0f, 1000.0f / 996.0f}, {1000.0f, 0.0f, 1.0f}, {4.0f, 4.0f, 1.0f}, {50.0f, 4.0f, 1.0f}}) {
    EXPECT_FLOAT_EQ(fl_ratio_at_distance(distance, focal), ratio) << distance << " " << focal;
  }
}

// Through the model: rows 1 pixel further apart every 16 points (the chart
// row by row) weigh on the bottom row band of each column band's zones (zone
// 3 x column band + row band) and set the 90th percentile at point
// floor(0.9 x 391); columns 10 pixels further apart in the ring round the
// 3 x 3 centre move the mean disparity of the 5 x 5 centre.
TEST(FlatChartResults, ZonesPercentilesAndCentreDisparity) {
  flat_case c = make_case(test::synthetic_module{});
  for (int32_t i = 0; i < c.n; ++i) {
    c.aux.y[i] += i / 16;
    if (std::max(std::abs(c.aux.Xw[i]), std::abs(c.aux.Yw[i])) == 2) c.aux.x[i] -= 10;
  }
  const zorvel_calibration_result r = figures(c);
  EXPECT_GT(r.flat.vd_rms_zoned[2], r.flat.vd_rms_zoned[6] + 100);  // bottom left, top right
  EXPECT_EQ(r.flat.vd_p90_tenths, 351 / 16 * 10);
  EXPECT_NEAR(r.flat.mean_disparity, (9 * 25.0 + 16 * 35.0) / 25, 0.5);
  EXPECT_FLOAT_EQ(r.reference_disparity, 25.0f);
}

}  // namespace
}  // namespace zorvel
