// Cyclic Jacobi eigen-solver for symmetric 6 x 6 matrices (a fixed five
// sweeps, no convergence test) and the first-index arg-min / arg-max used to
// pick an eigenvector.
#include <cmath>

#include "numerics/matrix.h"

namespace zorvel {

namespace {

constexpr int32_t kSize = 6;
constexpr int32_t kSweeps = 5;

// Rotation angle that zeroes a[p][q]: tangent t from the smaller root of
// t^2 + 2 theta t - 1 = 0, written so neither branch cancels.
void rotation_for(const zorvel_matrix& a, int32_t p, int32_t q, double& c, double& s) {
  if (a[p][q] == 0.0) {
    c = 1.0;
    s = 0.0;
    return;
  }
  const double theta = (a[p][p] - a[q][q]) / (2.0 * a[p][q]);
  double t;
  if (theta >= 0.0) {
    t = 1.0 / (theta + std::sqrt(theta * theta + 1.0));
  } else {
    t = -1.0 / (std::sqrt(theta * theta + 1.0) - theta);
  }
  c = 1.0 / std::sqrt(t * t + 1.0);
  s = c * t;
}

// Columns p and q of every row of m; both new values come from the old pair.
void rotate_columns(zorvel_matrix& m, int32_t p, int32_t q, double c, double s) {
  for (int32_t k = 0; k < kSize; ++k) {
    const double old_p = m[k][p];
    const double old_q = m[k][q];
    m[k][p] = old_q * s + old_p * c;
    m[k][q] = old_q * c - old_p * s;
  }
}

void rotate_rows(zorvel_matrix& m, int32_t p, int32_t q, double c, double s) {
  for (int32_t j = 0; j < kSize; ++j) {
    const double old_p = m[p][j];
    const double old_q = m[q][j];
    m[p][j] = old_q * s + old_p * c;
    m[q][j] = old_q * c - old_p * s;
  }
}

}  // namespace

void jacobi_eigen6(zorvel_matrix& a, zorvel_matrix& v, double values[6]) {
  if (a.rows() != kSize || a.cols() != kSize) {
    throw numerics_error("jacobi_eigen6 needs a 6 x 6 matrix");
  }
  v = zorvel_matrix(kSize, kSize);
  for (int32_t i = 0; i < kSize; ++i) {
    v[i][i] = 1.0;
  }
  for (int32_t sweep = 0; sweep < kSweeps; ++sweep) {
    for (int32_t p = 0; p < kSize - 1; ++p) {
      for (int32_t q = p + 1; q < kSize; ++q) {
        double c;
        double s;
        rotation_for(a, p, q, c, s);
        rotate_columns(a, p, q, c, s);
        rotate_rows(a, p, q, c, s);
        rotate_columns(v, p, q, c, s);
      }
    }
  }
  for (int32_t i = 0; i < kSize; ++i) {
    values[i] = a[i][i];
  }
}

int32_t index_of_min(const double* values, int32_t n) {
  int32_t best = 0;
  if (n <= 1) {
    return best;
  }
  double best_value = values[0];
  for (int32_t i = 1; i < n; ++i) {
    // Strictly smaller only: ties keep the first index, NaN compares false.
    if (values[i] < best_value) {
      best_value = values[i];
      best = i;
    }
  }
  return best;
}

int32_t index_of_max(const double* values, int32_t n) {
  int32_t best = 0;
  if (n <= 1) {
    return best;
  }
  double best_value = values[0];
  for (int32_t i = 1; i < n; ++i) {
    if (values[i] > best_value) {
      best_value = values[i];
      best = i;
    }
  }
  return best;
}

}  // namespace zorvel
