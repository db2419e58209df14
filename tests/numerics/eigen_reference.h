// Fixed-state random inputs and conversions to Eigen, the numerics' reference.
#pragma once

#include <Eigen/Dense>
#include <cstdint>
#include <random>

#include "numerics/matrix.h"

namespace zorvel::test {

// Fixed rng state: every run draws the same inputs.
constexpr uint32_t kNoiseKey = 20261206u;

using eigen_matrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;

inline zorvel_matrix random_matrix(std::mt19937& rng, int32_t rows, int32_t cols) {
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  zorvel_matrix m(rows, cols);
  for (int32_t i = 0; i < rows * cols; ++i) m.data()[i] = uniform(rng);
  return m;
}

inline eigen_matrix to_eigen(const zorvel_matrix& m) {
  return Eigen::Map<const eigen_matrix>(m.data(), m.rows(), m.cols());
}

// Largest absolute difference, relative to the largest reference entry.
inline double relative_difference(const zorvel_matrix& ours, const eigen_matrix& reference) {
  return (to_eigen(ours) - reference).cwiseAbs().maxCoeff() / reference.cwiseAbs().maxCoeff();
}

}  // namespace zorvel::test
