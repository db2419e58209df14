// The distortion the renderer applies must be exactly what the library's
// dewarp removes: an output pixel of the dewarp reads the capture at the
// position whose ray is the undistorted ray of that output pixel.
#include "sim/lens.h"

#include <gtest/gtest.h>

#include <cmath>

#include "sim/module.h"
#include "sim/presets.h"

namespace zorvel::sim {
namespace {

constexpr double kRoundTripPixels = 0.01;

// The library's dewarp source position of output pixel (y, x), as it computes
// it: integer half sizes, single-precision normalisation, double polynomial.
void library_dewarp_source(const dewarp_model& m, int32_t width, int32_t height, int32_t y,
                           int32_t x, double* sy, double* sx) {
  const float F = m.reference;
  const float yh = static_cast<float>(y - height / 2) / F;
  const float xh = static_cast<float>(x - width / 2) / F;
  const double r2 = static_cast<double>(xh) * xh + static_cast<double>(yh) * yh;
  const auto& c = m.coeff;
  const double k = c[0] + c[1] * r2 + c[2] * r2 * r2 + c[3] * r2 * r2 * r2;
  *sy = (yh + k * yh) * F + height / 2;
  *sx = (xh + k * xh) * F + width / 2;
}

TEST(Lens, RenderedDistortionIsTheInverseOfTheLibrarysDewarp) {
  for (const char* name : {"distorted", "good"}) {
    scenario s;
    ASSERT_TRUE(make_scenario(name, &s));
    s.module.rotation_flag = 0;
    for (const bool aux : {false, true}) {
      const camera_view v = aux ? aux_view(s.module, 800) : main_view(s.module, 800);
      double worst = 0.0;
      for (int32_t y = 0; y < v.working_height; y += 37) {
        for (int32_t x = 0; x < v.working_width; x += 41) {
          double sy, sx;
          library_dewarp_source(v.lens, v.working_width, v.working_height, y, x, &sy, &sx);
          // The renderer shows at capture position (sy, sx) x scale what lies
          // along this ray; it must project back onto (y, x).
          vec3 dir;
          ASSERT_TRUE(capture_ray(v, sy * v.scale, sx * v.scale, &dir));
          double row, col;
          ASSERT_TRUE(project_working(v, add(v.centre, scale(dir, 1000.0)), &row, &col));
          worst = std::max(worst, std::hypot(row - y, col - x));
        }
      }
      EXPECT_LT(worst, kRoundTripPixels) << name << (aux ? " aux" : " main");
    }
  }
}

TEST(Lens, NewtonInverseIsExactOnStrongProfiles) {
  dewarp_model m;
  m.coeff = {0.01, -0.08, 0.012, -0.0005, 0.0};
  m.reference = 500.0f;
  for (double dy = -1.2; dy <= 1.2; dy += 0.1) {
    for (double dx = -1.6; dx <= 1.6; dx += 0.1) {
      double py, px, ry, rx;
      ASSERT_TRUE(undistort_normalised(m, dy, dx, &py, &px));
      distort_normalised(m, py, px, &ry, &rx);
      EXPECT_NEAR(ry, dy, 1e-12);
      EXPECT_NEAR(rx, dx, 1e-12);
    }
  }
}

TEST(Lens, WarpCoefficientsPutTheDistortionBack) {
  // Verification reads the rectified (undistorted) image at
  // (1 + w0 + w1 s^2 + w2 s^4 + w3 s^6) q for a distorted offset q.
  scenario s;
  ASSERT_TRUE(make_scenario("distorted", &s));
  for (const camera_spec* cam : {&s.module.main, &s.module.aux}) {
    const double reference = cam->lens.reference * 1.004;
    const auto w = fit_warp_coefficients(cam->lens, reference, 840.0);
    EXPECT_EQ(w[4], 0.0);
    double worst = 0.0;
    for (double rho_d = 1.0; rho_d <= 800.0; rho_d += 7.0) {
      const double s2 = (rho_d / reference) * (rho_d / reference);
      const double read_at = (1.0 + w[0] + w[1] * s2 + w[2] * s2 * s2 + w[3] * s2 * s2 * s2) * rho_d;
      double dy = 0, dx = 0;
      distort_normalised(cam->lens, 0.0, read_at / cam->lens.reference, &dy, &dx);
      worst = std::max(worst, std::fabs(dx * cam->lens.reference - rho_d));
    }
    EXPECT_LT(worst, 0.05);
  }
  ASSERT_TRUE(make_scenario("good", &s));
  EXPECT_EQ(fit_warp_coefficients(s.module.main.lens, 320.0, 840.0), (std::array<double, 5>{}));
}

TEST(Lens, IndicatorIsNonZeroAndBelowTheDewarpLimitWhenDistortionIsOn) {
  scenario s;
  ASSERT_TRUE(make_scenario("distorted", &s));
  for (const camera_spec* cam : {&s.module.main, &s.module.aux}) {
    const double d = dewarp_indicator(cam->lens.coeff);
    EXPECT_NE(d, 0.0);
    EXPECT_LT(d, 1.5);
  }
  ASSERT_TRUE(make_scenario("good", &s));
  EXPECT_EQ(dewarp_indicator(s.module.main.lens.coeff), 0.0);
  EXPECT_FALSE(s.module.main.lens.active());
  // Falling coefficients reach c4, which must then make the indicator non-zero.
  for (const double c3 : {-0.06, -0.05}) {
    std::array<double, 5> c{0.0, -0.04, -0.05, c3, 0.0};
    EXPECT_EQ(dewarp_indicator(c), 0.0);
    c[4] = choose_indicator_coefficient(c);
    EXPECT_NE(dewarp_indicator(c), 0.0);
    EXPECT_LT(dewarp_indicator(c), 1.5);
  }
}

}  // namespace
}  // namespace zorvel::sim
