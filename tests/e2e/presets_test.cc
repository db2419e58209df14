// Modules other than the good one: portrait mounting, lens distortion and
// mono sensors calibrate and verify; an aux camera that moved after
// calibration fails the verification.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <string>

#include "e2e/simulated_module.h"
#include "otp/otp_record.h"
#include "sim/lens.h"

namespace zorvel::test {
namespace {

// Main-lens warp coefficients for the verification's normal path, which
// re-distorts the rectified aux image so it matches the main capture: for a
// distorted offset q normalised by F x s (s the verification focus ratio),
// the undistorted source is q (1 + c0 + c1 r^2 + c2 r^4 + c3 r^6). Least
// squares over the radii of the working image.
std::array<double, 4> fit_main_warp(const sim::dewarp_model& lens, double s) {
  const double F = lens.reference;
  double ata[4][5] = {};
  for (int i = 1; i <= 400; ++i) {
    const double q = 820.0 * i / 400.0;  // pixels, up to the half-diagonal
    double py = 0.0, px = 0.0;
    if (!sim::undistort_normalised(lens, 0.0, q / F, &py, &px)) continue;
    const double k = px * F / q - 1.0;
    const double r2 = (q / (F * s)) * (q / (F * s));
    const double basis[4] = {1.0, r2, r2 * r2, r2 * r2 * r2};
    for (int a = 0; a < 4; ++a) {
      for (int b = 0; b < 4; ++b) ata[a][b] += basis[a] * basis[b];
      ata[a][4] += basis[a] * k;
    }
  }
  for (int c = 0; c < 4; ++c) {  // Gauss-Jordan with partial pivoting
    int p = c;
    for (int r = c + 1; r < 4; ++r)
      if (std::fabs(ata[r][c]) > std::fabs(ata[p][c])) p = r;
    for (int j = 0; j < 5; ++j) std::swap(ata[c][j], ata[p][j]);
    for (int r = 0; r < 4; ++r) {
      if (r == c) continue;
      const double f = ata[r][c] / ata[c][c];
      for (int j = c; j < 5; ++j) ata[r][j] -= f * ata[c][j];
    }
  }
  return {ata[0][4] / ata[0][0], ata[1][4] / ata[1][1], ata[2][4] / ata[2][2],
          ata[3][4] / ata[3][3]};
}

std::string number(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

void expect_calibrates_and_verifies(simulated_module& m) {
  const run_output cal = m.run("calibration.cfg");
  EXPECT_EQ(cal.result, 1) << cal.text;
  EXPECT_EQ(count_of(cal.text, "PASS\n"), 8);
  EXPECT_EQ(m.size_of("calibration.otp"), kOtpFileSize);
  const run_output ver = m.run("verification.cfg");
  EXPECT_EQ(ver.result, 1) << ver.text;
  EXPECT_EQ(count_of(ver.text, "PASS\n"), 5);
}

TEST(Presets, PortraitModuleCalibratesAndVerifies) {
  simulated_module m("portrait");
  ASSERT_EQ(m.error(), "");
  expect_calibrates_and_verifies(m);
  const run_output ver = m.run("verification.cfg");
  EXPECT_NE(ver.text.find("SWAP DIMENSIONS\n"), std::string::npos);
}

TEST(Presets, MonoModuleCalibratesAndVerifies) {
  simulated_module m("mono");
  ASSERT_EQ(m.error(), "");
  expect_calibrates_and_verifies(m);
}

TEST(Presets, DistortedModuleCalibratesAndVerifiesOnBothDewarpPaths) {
  simulated_module m("distorted");
  ASSERT_EQ(m.error(), "");
  // The stored main warp must undo the main dewarp for the normal path.
  const sim::scenario& s = m.scenario();
  const double ratio = sim::focus_ratio(s.verify_chart_distance_mm(), s.module.main.focal_length_mm);
  const std::array<double, 4> warp = fit_main_warp(s.module.main.lens, ratio);
  for (int i = 0; i < 4; ++i) m.set("calibration.cfg", "warp_coeff_main_" + std::to_string(i), number(warp[i]));
  expect_calibrates_and_verifies(m);
  const run_output both_dewarped = m.run("verification.cfg", 4);
  EXPECT_EQ(both_dewarped.result, 1) << both_dewarped.text;
}

TEST(Presets, TiltedAuxFailsVerificationOnVerticalDisparity) {
  simulated_module m("tilted-aux");
  ASSERT_EQ(m.error(), "");
  ASSERT_EQ(m.run("calibration.cfg").result, 1);
  const run_output ver = m.run("verification.cfg");
  EXPECT_EQ(ver.result, 0);
  EXPECT_EQ(row_of(ver.text, "Flat-chart: Residual vertical disparity [pixels]").substr(69), "FAIL");
  EXPECT_NE(ver.text.find("Depth verification results"), std::string::npos);
}

}  // namespace
}  // namespace zorvel::test
