// Shared helpers for checking the numerics against Eigen: fixed-state random
// inputs and conversions between zorvel_matrix and Eigen matrices.
#pragma once

#include <cstdint>
#include <random>

#include "numerics/matrix.h"

#ifdef ZORVEL_HAVE_EIGEN
#include <Eigen/Dense>
#endif

namespace zorvel::test {

// Fixed rng state: every run draws the same inputs.
constexpr uint32_t kNoiseKey = 20261206u;

inline zorvel_matrix random_matrix(std::mt19937& rng, int32_t rows, int32_t cols) {
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  zorvel_matrix m(rows, cols);
  for (int32_t i = 0; i < rows; ++i) {
    for (int32_t j = 0; j < cols; ++j) {
      m[i][j] = uniform(rng);
    }
  }
  return m;
}

#ifdef ZORVEL_HAVE_EIGEN
using eigen_matrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;

inline eigen_matrix to_eigen(const zorvel_matrix& m) {
  eigen_matrix e(m.rows(), m.cols());
  for (int32_t i = 0; i < m.rows(); ++i) {
    for (int32_t j = 0; j < m.cols(); ++j) {
      e(i, j) = m[i][j];
    }
  }
  return e;
}

// Largest absolute difference, relative to the largest reference entry.
inline double relative_difference(const zorvel_matrix& ours, const eigen_matrix& reference) {
  return (to_eigen(ours) - reference).cwiseAbs().maxCoeff() / reference.cwiseAbs().maxCoeff();
}
#endif

}  // namespace zorvel::test
