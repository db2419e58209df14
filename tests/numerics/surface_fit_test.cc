// Plane and cubic least-squares fits against Eigen, the integer half extents,
// and the projection with its polynomial correction.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "eigen_reference.h"
#include "numerics/matrix.h"

namespace zorvel::test {
namespace {

// The normal equations square the condition number of the design (the cubic
// monomials on [-1, 1] condition to about 10), so each solve loses a few
// digits against a QR solve: measured worst 1.2e-13 relative. 1e-11 keeps a
// margin while a wrong monomial or normalisation misses by far more.
constexpr double kFitTolerance = 1e-11;

TEST(FitsAgainstEigen, PlaneAndCubicMatchLeastSquares) {
  std::mt19937 rng(kNoiseKey);
  std::uniform_real_distribution<double> pixel(-640.0, 640.0);
  std::normal_distribution<double> noise(0.0, 0.5);
  for (int32_t n : {12, 300, 1200}) {
    std::vector<double> a(n), b(n), z(n);
    Eigen::MatrixXd plane_design(n, 3), cubic_design(n, 9);
    for (int32_t i = 0; i < n; ++i) {
      a[i] = std::round(pixel(rng));
      b[i] = std::round(0.75 * pixel(rng));
      z[i] = 0.01 * a[i] - 0.02 * b[i] + 3.0 + 1e-6 * a[i] * a[i] + noise(rng);
      plane_design.row(i) << a[i], b[i], 1.0;
      // Extents 1280 (a) and 960 (b).
      const double al = a[i] / 640.0, be = b[i] / 480.0;
      cubic_design.row(i) << 1.0, al, al * al, al * be, be * be, al * al * al, al * al * be,
          al * be * be, be * be * be;
    }
    const Eigen::Map<const Eigen::VectorXd> zv(z.data(), n);
    const Eigen::VectorXd plane_ref = plane_design.colPivHouseholderQr().solve(zv);
    const Eigen::VectorXd cubic_ref = cubic_design.colPivHouseholderQr().solve(zv);
    const std::array<double, 3> plane = fit_plane(a.data(), b.data(), z.data(), n);
    const std::array<double, 9> cubic = fit_cubic_surface(a.data(), b.data(), z.data(), 960, 1280, n);
    for (int32_t k = 0; k < 3; ++k) {
      EXPECT_NEAR(plane[k], plane_ref(k), kFitTolerance * plane_ref.cwiseAbs().maxCoeff());
    }
    for (int32_t k = 0; k < 9; ++k) {
      EXPECT_NEAR(cubic[k], cubic_ref(k), kFitTolerance * cubic_ref.cwiseAbs().maxCoeff());
    }
  }
}

TEST(FitCubicSurface, HalfExtentsAreIntegerHalves) {
  // z = alpha exactly, with alpha = a / (5 / 2) = a / 2: the linear term is 1
  // only when the half extent is truncated to 2 (2.5 would give 1.25).
  std::vector<double> a, b, z;
  for (int32_t i = -4; i <= 4; ++i) {
    for (int32_t j = -4; j <= 4; ++j) a.push_back(i), b.push_back(j), z.push_back(i / 2.0);
  }
  const std::array<double, 9> c =
      fit_cubic_surface(a.data(), b.data(), z.data(), 7, 5, static_cast<int32_t>(a.size()));
  for (int32_t k = 0; k < 9; ++k) EXPECT_NEAR(c[k], k == 1 ? 1.0 : 0.0, 1e-12) << k;
}

#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer ends the process on an impossible allocation
TEST(FitCubicSurface, AllocationFailureThrowsInsteadOfEndingTheProcess) {
  // A design matrix of 2^31 x 9 doubles (~150 GB) cannot be allocated; the
  // samples are never read.
  const double sample = 0.0;
  testing::internal::CaptureStderr();
  EXPECT_THROW(fit_cubic_surface(&sample, &sample, &sample, 2, 2, INT32_MAX), numerics_error);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "==> calloc() error\n");
}
#endif

TEST(ProjectAndCorrectPoints, IdentityKeepsPointsAndCorrectionsUseTheirNineCoefficients) {
  const double identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  const int32_t first[3] = {-240, 0, 317}, second[3] = {100, -5, 639};
  const float no_correction[18] = {};
  double out_first[3], out_second[3];
  project_and_correct_points(identity, first, second, 3, out_first, out_second, no_correction,
                             960, 1280, 1500.0, 1500.0, 0.0, 0.0);
  for (int32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(out_first[i], first[i]);
    EXPECT_EQ(out_second[i], second[i]);
  }
  // Point (first 120, second 200) with offsets; extents 481 and 800 halve to
  // 240 and 400, so u = (120 + 10) / 240 and v = (200 - 20) / 400.
  const int32_t point_first[1] = {120}, point_second[1] = {200};
  float coeffs[18] = {};
  coeffs[1] = 2.0f;      // second -= 2 v
  coeffs[9 + 4] = 8.0f;  // first -= 8 u^2
  coeffs[9 + 0] = 0.5f;  // first -= 0.5
  project_and_correct_points(identity, point_first, point_second, 1, out_first, out_second, coeffs, 481,
                             800, 2.0, 2.0, -20.0, 10.0);
  const double u = 130.0 / 240.0, v = 180.0 / 400.0;
  EXPECT_DOUBLE_EQ(out_second[0], 180.0 - 2.0 * v);
  EXPECT_DOUBLE_EQ(out_first[0], 130.0 - (0.5 + 8.0 * u * u));
}

}  // namespace
}  // namespace zorvel::test
