// Plane and cubic least-squares fits against Eigen (normalised by integer
// half extents), and the projection with its polynomial correction.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "eigen_reference.h"
#include "numerics/matrix.h"

namespace zorvel::test {
namespace {

// The normal equations square the condition number of the design (about 10
// for the cubic monomials on [-1, 1]): measured worst 1.2e-13 relative to a QR
// solve. A wrong monomial or normalisation misses by far more.
constexpr double kFitTolerance = 1e-11;

TEST(FitsAgainstEigen, PlaneAndCubicMatchLeastSquaresOrThrowWhenTooLarge) {
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
      const double al = a[i] / 640.0, be = b[i] / 480.0;  // odd extents 1281 and 961 halve to integers
      cubic_design.row(i) << 1.0, al, al * al, al * be, be * be, al * al * al, al * al * be, al * be * be,
          be * be * be;
    }
    const Eigen::Map<const Eigen::VectorXd> zv(z.data(), n);
    const Eigen::VectorXd plane_ref = plane_design.colPivHouseholderQr().solve(zv);
    const Eigen::VectorXd cubic_ref = cubic_design.colPivHouseholderQr().solve(zv);
    const std::array<double, 3> plane = fit_plane(a.data(), b.data(), z.data(), n);
    const std::array<double, 9> cubic = fit_cubic_surface(a.data(), b.data(), z.data(), 961, 1281, n);
    const Eigen::Map<const Eigen::VectorXd> plane_v(plane.data(), 3), cubic_v(cubic.data(), 9);
    EXPECT_LT((plane_v - plane_ref).cwiseAbs().maxCoeff(), kFitTolerance * plane_ref.cwiseAbs().maxCoeff());
    EXPECT_LT((cubic_v - cubic_ref).cwiseAbs().maxCoeff(), kFitTolerance * cubic_ref.cwiseAbs().maxCoeff());
  }
#if !defined(ZORVEL_ASAN)  // the sanitizer ends the process on an impossible allocation
  // A design matrix of 2^31 x 9 doubles (~150 GB) cannot be allocated: the
  // fit throws instead of ending the process, and never reads the samples.
  const double sample = 0.0;
  testing::internal::CaptureStderr();
  EXPECT_THROW(fit_cubic_surface(&sample, &sample, &sample, 2, 2, INT32_MAX), numerics_error);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "==> calloc() error\n");
#endif
}

TEST(ProjectAndCorrectPoints, ProjectsThroughTheMatrixThenSubtractsBothCorrections) {
  // The matrix swaps the coordinates and f / depth = 2: point (first 100,
  // second 60) projects to (130, 180) with the offsets. Extents 481 and 800
  // halve to 240 and 400, so u = 130 / 240 and v = 180 / 400.
  const double swap[9] = {0, 1, 0, 1, 0, 0, 0, 0, 1};
  const int32_t first[1] = {100}, second[1] = {60};
  float coeffs[18] = {};
  coeffs[1] = 2.0f;      // second -= 2 v
  coeffs[9 + 4] = 8.0f;  // first -= 8 u^2
  coeffs[9 + 0] = 0.5f;  // first -= 0.5
  double out_first[1], out_second[1];
  project_and_correct_points(swap, first, second, 1, out_first, out_second, coeffs, 481, 800, 4.0, 2.0, -20.0,
                             10.0);
  const double u = 130.0 / 240.0, v = 180.0 / 400.0;
  EXPECT_DOUBLE_EQ(out_second[0], 180.0 - 2.0 * v);
  EXPECT_DOUBLE_EQ(out_first[0], 130.0 - (0.5 + 8.0 * u * u));
}

}  // namespace
}  // namespace zorvel::test
