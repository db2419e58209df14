// The flat-chart correction fit on paired, centred synthetic key points.
#include "calib/flat_chart_fit.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "calib/flat_chart.h"
#include "numerics/matrix.h"
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
  c.setup = test::setup_for(m, 450.0, 800.0, 30.0);
  c.result = test::result_for(c.setup);
  const test::mat3 rot = m.rot();
  for (int j = 0; j < 9; ++j) c.result.model.rot[j] = rot[j];
  const auto pts = test::flat_chart_points(800.0, 30.0);
  test::fill_sets(m, pts, c.main, c.aux);
  c.n = static_cast<int32_t>(pts.size());
  for (int32_t i = 0; i < c.n; ++i) {
    c.main.y[i] -= 480;
    c.main.x[i] -= 640;
    c.aux.y[i] -= 480;
    c.aux.x[i] -= 640;
  }
  return c;
}

std::string fit(flat_case& c, bool* ok = nullptr) {
  return test::capture_stdout([&] {
    const bool result = fit_flat_chart_correction(c.setup, c.main, c.aux, c.n, 960, 1280, c.result);
    if (ok) *ok = result;
  });
}

// RMS row difference between main points and the aux points projected
// through the complete model (rotation and geo).
double residual_rows(const flat_case& c) {
  const std::array<double, 9> P = matrix_invert3(c.result.model.rot);
  std::vector<double> rows(c.n), cols(c.n);
  project_and_correct_points(P.data(), c.aux.y.data(), c.aux.x.data(), c.n, rows.data(),
                             cols.data(), c.result.model.geo, 960, 1280, c.result.model.main_focal_px,
                             c.result.model.aux_focal_px, 0.0, 0.0);
  double sum = 0.0;
  for (int32_t i = 0; i < c.n; ++i) sum += (rows[i] - c.main.y[i]) * (rows[i] - c.main.y[i]);
  return std::sqrt(sum / c.n);
}

TEST(FlatChartFit, IdenticalImagesFitNothing) {
  test::synthetic_module m;
  m.baseline_mm = 0.0;
  flat_case c = make_case(m);
  for (float& g : c.result.model.geo) g = 7.0f;
  bool ok = false;
  const std::string printed = fit(c, &ok);
  ASSERT_TRUE(ok);
  for (int j = 0; j < 32; ++j) EXPECT_EQ(c.result.model.geo[j], 0.0f) << j;
  for (int j = 0; j < 18; ++j) EXPECT_EQ(c.result.image_correction[j], 0.0f) << j;
  EXPECT_EQ(printed,
            "\n RMS_VD_Center_Flat_Chart = 0.000000\n RMS_VD_Center_Flat_Chart_END");
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
  const double before = residual_rows(c);
  fit(c);
  const double after = residual_rows(c);
  // What is left is the rounding of both images' integer key points.
  EXPECT_GT(before, 1.5);
  EXPECT_LT(after, 0.6);
  for (int j = 18; j < 32; ++j) EXPECT_EQ(c.result.model.geo[j], 0.0f);
}

TEST(FlatChartFit, PlaneIsClampedUnlessTheCentreIsMuchWorse) {
  test::synthetic_module m;
  m.baseline_mm = 0.0;
  auto tilted = [&](double rms_l, std::string* printed) {
    flat_case c = make_case(m);
    // Exact grid positions, the aux one 5 % wider: HD = 2 Xw, a pure tilt.
    for (int32_t i = 0; i < c.n; ++i) {
      c.main.y[i] = c.aux.y[i] = 40 * c.main.Yw[i];
      c.main.x[i] = 40 * c.main.Xw[i];
      c.aux.x[i] = 42 * c.aux.Xw[i];
    }
    c.result.rms_vd_center_l = rms_l;
    *printed = fit(c);
    float size = 0.0f;  // of the column correction
    for (int j = 0; j < 9; ++j) size += std::fabs(c.result.model.geo[j]);
    return size;
  };
  std::string printed;
  // rms_vd_center_flat is 0: d = -rms_l. Below 1.5 the plane is held at the
  // centre mean, so the cubic takes up the whole 1 % tilt.
  EXPECT_GT(tilted(0.0, &printed), 2.0f);
  EXPECT_EQ(printed.find("Plane_Fitting_Geo"), std::string::npos);
  // d exactly 1.5: neither the message nor the clamp.
  EXPECT_LT(tilted(-1.5, &printed), 1e-6f);
  EXPECT_EQ(printed.find("Plane_Fitting_Geo"), std::string::npos);
  EXPECT_LT(tilted(-1.6, &printed), 1e-6f);
  EXPECT_NE(printed.find("\n Plane_Fitting_Geo"), std::string::npos);
}

TEST(FlatChartFit, TooFewCentralPointsAreRefused) {
  test::synthetic_module m;
  flat_case c = make_case(m);
  for (int32_t i = 0; i < c.n; ++i) c.aux.Xw[i] += 20;  // nothing near the centre labels
  bool ok = true;
  const std::string printed = fit(c, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(printed, "Flat chart calibration failed: too few central key points\n");
}

TEST(FlRatioAtDistance, ThinLensRatioInItsBand) {
  EXPECT_FLOAT_EQ(fl_ratio_at_distance(1000.0f, 4.0f), 1000.0f / 996.0f);
  EXPECT_EQ(fl_ratio_at_distance(1000.0f, 0.0f), 1.0f);
  EXPECT_EQ(fl_ratio_at_distance(4.0f, 4.0f), 1.0f);
  EXPECT_EQ(fl_ratio_at_distance(50.0f, 4.0f), 1.0f);  // 1.087 is outside [0.95, 1.035]
}

}  // namespace
}  // namespace zorvel
