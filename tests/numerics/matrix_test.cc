// Products, inverse and pseudo-inverse against Eigen on random
// well-conditioned inputs, and the behaviours callers rely on.
#include "numerics/matrix.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>

#include "eigen_reference.h"

namespace zorvel::test {
namespace {

// Normal equations square the condition number; these inputs stay below a
// few hundred, so 1e-10 leaves a wide margin over rounding (~1e-13).
constexpr double kSolveTolerance = 1e-10;
// Eigen may block and reorder its sums; products of at most nine terms of
// size ~1 then differ by a few units in the last place.
constexpr double kProductTolerance = 1e-14;

TEST(MatrixProduct, AccumulatesInIncreasingIndexOrderAndMayAliasItsOperand) {
  zorvel_matrix row(1, 3), ones(3, 1), out;
  row[0][0] = 1.0, row[0][1] = 1e16, row[0][2] = -1e16;
  ones[0][0] = ones[1][0] = ones[2][0] = 1.0;
  // (1 + 1e16) rounds to 1e16 first; any other order would keep the 1.
  matrix_multiply(row, ones, out);
  double v_out[1];
  matrix_vector_multiply(row, ones.data(), 3, v_out);
  EXPECT_EQ(std::make_pair(out[0][0], v_out[0]), std::make_pair(0.0, 0.0));

  std::mt19937 rng(kNoiseKey);
  zorvel_matrix a = random_matrix(rng, 3, 3);
  const zorvel_matrix b = random_matrix(rng, 3, 3);
  matrix_multiply(a, b, out);
  matrix_multiply(a, b, a);
  EXPECT_EQ(to_eigen(a), to_eigen(out));
}

TEST(MatrixEdges, MismatchedDimensionsThrowAndAZeroLeadingPivotGivesNonFiniteValues) {
  zorvel_matrix a(2, 3), b(2, 3), out;
  double v[2] = {1.0, 2.0};
  testing::internal::CaptureStderr();
  EXPECT_THROW(matrix_multiply(a, b, out), numerics_error);
  EXPECT_THROW(matrix_vector_multiply(a, v, 2, v), numerics_error);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "\nm1 and m2 not compatible for matrix multiplication.\n"
            "\nm and v not compatible for matrix-vector multiply.\n");
  zorvel_matrix swap(2, 2);  // no pivoting
  swap[0][1] = swap[1][0] = 1.0;
  matrix_invert(swap);
  EXPECT_FALSE(to_eigen(swap).allFinite());
}

TEST(MatrixAgainstEigen, ProductTransposeInverseAndPseudoInverse) {
  std::mt19937 rng(kNoiseKey);
  for (int32_t n : {3, 6}) {
    for (int32_t trial = 0; trial < 20; ++trial) {
      // Diagonal dominance keeps every pivot away from zero without pivoting.
      zorvel_matrix a = random_matrix(rng, n, n);
      for (int32_t i = 0; i < n; ++i) a[i][i] += static_cast<double>(n);
      const zorvel_matrix b = random_matrix(rng, n, 9);
      const eigen_matrix ea = to_eigen(a);
      zorvel_matrix product;
      matrix_multiply(a, b, product);
      EXPECT_LT(relative_difference(product, ea * to_eigen(b)), kProductTolerance);
      EXPECT_EQ(to_eigen(matrix_transpose(b)), to_eigen(b).transpose());
      if (n == 3) {
        EXPECT_LT((Eigen::Map<const eigen_matrix>(matrix_invert3(a.data()).data(), 3, 3) - ea.inverse())
                      .cwiseAbs().maxCoeff(), kSolveTolerance);
      }
      matrix_invert(a);
      EXPECT_LT(relative_difference(a, ea.inverse()), kSolveTolerance);
    }
  }
  for (const auto& [m, n] : {std::pair{3, 3}, {40, 3}, {1200, 3}, {9, 9}, {300, 9}, {1200, 9}, {2, 3}, {3, 9}}) {
    const zorvel_matrix a = random_matrix(rng, m, n);
    const eigen_matrix reference = to_eigen(a).completeOrthogonalDecomposition().pseudoInverse();
    EXPECT_LT(relative_difference(matrix_pseudo_inverse(a), reference), kSolveTolerance) << m << " x " << n;
  }
}

}  // namespace
}  // namespace zorvel::test
