// Least-squares plane and cubic-surface fits through the pseudo-inverse, and
// the projection of integer image points through a 3 x 3 matrix with the
// cubic correction subtracted. Normalising half extents are integer halves.
#include <algorithm>
#include <array>
#include <cstdio>
#include <new>

#include "numerics/cubic_basis.h"
#include "numerics/matrix.h"

namespace zorvel {

namespace {

constexpr const char* kAllocationFailure = "==> calloc() error\n";

// Pseudo-inverse of the design matrix times z: the least-squares coefficients.
template <size_t terms>
std::array<double, terms> solve_design(const zorvel_matrix& design, const double* z, int32_t n) {
  const zorvel_matrix pseudo = matrix_pseudo_inverse(design);
  std::array<double, terms> coefficients{};
  matrix_vector_multiply(pseudo, z, n, coefficients.data());
  return coefficients;
}

// A fit that runs out of memory reports it on standard error and hands the
// failure back to the run instead of ending the process.
[[noreturn]] void report_allocation_failure() {
  std::fputs(kAllocationFailure, stderr);
  throw numerics_error("calloc() error");
}

}  // namespace

std::array<double, 3> fit_plane(const double* x, const double* y, const double* z, int32_t n) {
  try {
    // Samples are used as given: no normalisation.
    zorvel_matrix design(n, 3);
    for (int32_t i = 0; i < n; ++i) {
      design[i][0] = x[i];
      design[i][1] = y[i];
      design[i][2] = 1.0;
    }
    return solve_design<3>(design, z, n);
  } catch (const std::bad_alloc&) {
    report_allocation_failure();
  }
}

std::array<double, 9> fit_cubic_surface(const double* col, const double* row, const double* z,
                                        int32_t height, int32_t width, int32_t n) {
  try {
    // Integer halves: an extent of 5 normalises by 2, not 2.5.
    const double half_width = static_cast<double>(width / 2);
    const double half_height = static_cast<double>(height / 2);
    zorvel_matrix design(n, 9);
    for (int32_t i = 0; i < n; ++i) {
      const std::array<double, 9> m = cubic_monomials(col[i] / half_width, row[i] / half_height);
      std::copy(m.begin(), m.end(), design[i]);
    }
    return solve_design<9>(design, z, n);
  } catch (const std::bad_alloc&) {
    report_allocation_failure();
  }
}

void project_and_correct_points(const double r9[9], const int32_t* first, const int32_t* second,
                                int32_t n, double* out_first, double* out_second,
                                const float coeffs[18], int32_t first_extent, int32_t second_extent,
                                double f, double depth, double second_offset, double first_offset) {
  const double half_first = static_cast<double>(first_extent / 2);
  const double half_second = static_cast<double>(second_extent / 2);
  double second_poly[9], first_poly[9];
  for (int32_t j = 0; j < 9; ++j) {
    second_poly[j] = static_cast<double>(coeffs[j]);
    first_poly[j] = static_cast<double>(coeffs[9 + j]);
  }
  for (int32_t i = 0; i < n; ++i) {
    const double p = static_cast<double>(first[i]);
    const double q = static_cast<double>(second[i]);
    const double w = r9[6] * p + r9[7] * q + r9[8] * depth;
    const double projected_first = f * (r9[0] * p + r9[1] * q + r9[2] * depth) / w + first_offset;
    const double projected_second = f * (r9[3] * p + r9[4] * q + r9[5] * depth) / w + second_offset;

    const double u = projected_first / half_first;
    const double v = projected_second / half_second;
    const double correction_second = evaluate_cubic(second_poly, v, u);
    const double correction_first = evaluate_cubic(first_poly, v, u);
    out_second[i] = projected_second - correction_second;
    out_first[i] = projected_first - correction_first;
  }
}

}  // namespace zorvel
