// Dense double-precision linear algebra for calibration, detection and
// verification: products, Gauss-Jordan inverse, normal-equation
// pseudo-inverse, a 6 x 6 Jacobi eigen-solver, least-squares surface fits and
// the point projection with polynomial correction. Every routine computes in
// the exact order described beside it: stored calibration bytes depend on it.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace zorvel {

// A programming error (dimension mismatch) or a failed allocation inside the
// numerics. The product mismatches and the fits' allocation failure have
// already written their message to standard error; shape errors of the
// inverse, the eigen-solver and negative sizes write nothing. The run turns
// every one into a failure.
class numerics_error : public std::runtime_error {
 public:
  explicit numerics_error(const std::string& what) : std::runtime_error(what) {}
};

// rows x cols doubles, row-major and contiguous, zero-filled on creation.
// m[r] is row r as a plain array, so one row can be handed on by itself.
class zorvel_matrix {
 public:
  zorvel_matrix() = default;
  zorvel_matrix(int32_t rows, int32_t cols);

  int32_t rows() const { return rows_; }
  int32_t cols() const { return cols_; }
  double* operator[](int32_t r) { return values_.data() + static_cast<size_t>(r) * cols_; }
  const double* operator[](int32_t r) const {
    return values_.data() + static_cast<size_t>(r) * cols_;
  }
  double* data() { return values_.data(); }
  const double* data() const { return values_.data(); }

 private:
  int32_t rows_ = 0;
  int32_t cols_ = 0;
  std::vector<double> values_;
};

// out = m1 * m2 (out is resized to m1.rows() x m2.cols(); must not alias).
// Each element starts at 0 and accumulates m1[i][k] * m2[k][j] for increasing k.
// Throws numerics_error when m1.cols() != m2.rows().
void matrix_multiply(const zorvel_matrix& m1, const zorvel_matrix& m2, zorvel_matrix& out);

// out[i] = sum over k of m[i][k] * v[k], increasing k. out has m.rows() entries.
// Throws numerics_error when m.cols() != length.
void matrix_vector_multiply(const zorvel_matrix& m, const double* v, int32_t length, double* out);

// In-place Gauss-Jordan inverse of a square matrix, without pivoting or a
// singularity test: a zero pivot yields non-finite values.
void matrix_invert(zorvel_matrix& m);

// Inverse of a row-major 3 x 3 matrix held as 9 doubles, by matrix_invert.
std::array<double, 9> matrix_invert3(const double m[9]);

zorvel_matrix matrix_transpose(const zorvel_matrix& m);

// Least-squares pseudo-inverse (cols x rows) through the normal equations:
// (AtA)^-1 At when rows >= cols, At (AAt)^-1 otherwise.
zorvel_matrix matrix_pseudo_inverse(const zorvel_matrix& a);

// Cyclic Jacobi on a symmetric 6 x 6 matrix, exactly five sweeps. a is
// destroyed; v receives the eigenvectors in its columns; values the diagonal.
void jacobi_eigen6(zorvel_matrix& a, zorvel_matrix& v, double values[6]);

// First index of the smallest / largest element; a NaN never replaces the
// current best; n <= 1 gives 0.
int32_t index_of_min(const double* values, int32_t n);
int32_t index_of_max(const double* values, int32_t n);

// z ~ c0 x + c1 y + c2 over n samples; returns {c0, c1, c2}.
std::array<double, 3> fit_plane(const double* x, const double* y, const double* z, int32_t n);

// Least-squares cubic z(alpha, beta) over n samples at column col[i] and row
// row[i] (centred), alpha = col / (width / 2), beta = row / (height / 2)
// (integer halves); returns the coefficients of cubic_monomials(alpha, beta).
std::array<double, 9> fit_cubic_surface(const double* col, const double* row, const double* z,
                                        int32_t height, int32_t width, int32_t n);

// Projects n points (first[i], second[i]) through the row-major 3 x 3 matrix
// r9 at depth `depth`, scales by f, adds the offsets, then subtracts the two
// cubic corrections of `coeffs` (second coordinate: coeffs[0..8], first:
// coeffs[9..17]) evaluated at u = first / (first_extent / 2),
// v = second / (second_extent / 2). Results go to out_first / out_second.
void project_and_correct_points(const double r9[9], const int32_t* first, const int32_t* second,
                                int32_t n, double* out_first, double* out_second,
                                const float coeffs[18], int32_t first_extent,
                                int32_t second_extent, double f, double depth,
                                double second_offset, double first_offset);

}  // namespace zorvel
