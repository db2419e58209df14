// Products, transpose, Gauss-Jordan inverse and the normal-equation
// pseudo-inverse of dense row-major double matrices. Every accumulation runs
// in increasing index order so results match the stored calibration bytes.
#include "numerics/matrix.h"

#include <cstdio>
#include <utility>

namespace zorvel {

namespace {

constexpr const char* kMultiplyMismatch = "\nm1 and m2 not compatible for matrix multiplication.\n";
constexpr const char* kVectorMismatch = "\nm and v not compatible for matrix-vector multiply.\n";

}  // namespace

zorvel_matrix::zorvel_matrix(int32_t rows, int32_t cols) {
  // A negative size can only come from a caller's arithmetic slip; refuse it
  // rather than turn it into a huge allocation.
  if (rows < 0 || cols < 0) {
    throw numerics_error("negative matrix dimension");
  }
  rows_ = rows;
  cols_ = cols;
  values_.assign(static_cast<size_t>(rows) * static_cast<size_t>(cols), 0.0);
}

void matrix_multiply(const zorvel_matrix& m1, const zorvel_matrix& m2, zorvel_matrix& out) {
  if (m1.cols() != m2.rows()) {
    std::fputs(kMultiplyMismatch, stderr);
    throw numerics_error("m1 and m2 not compatible for matrix multiplication");
  }
  // Built aside and moved in, so an output that aliases an input still sees
  // the original operands. The k loop sits outside the j loop so both
  // operands are read along their rows; each element still starts at 0 and
  // receives its terms in increasing k, exactly as a dot product per element.
  zorvel_matrix product(m1.rows(), m2.cols());
  const int32_t inner = m1.cols();
  const int32_t cols = m2.cols();
  for (int32_t i = 0; i < m1.rows(); ++i) {
    const double* row1 = m1[i];
    double* row_out = product[i];
    for (int32_t k = 0; k < inner; ++k) {
      const double factor = row1[k];
      const double* row2 = m2[k];
      for (int32_t j = 0; j < cols; ++j) {
        row_out[j] += factor * row2[j];
      }
    }
  }
  out = std::move(product);
}

void matrix_vector_multiply(const zorvel_matrix& m, const double* v, int32_t length, double* out) {
  if (m.cols() != length) {
    std::fputs(kVectorMismatch, stderr);
    throw numerics_error("m and v not compatible for matrix-vector multiply");
  }
  // Accumulate aside first: out may be the same storage as v.
  std::vector<double> result(static_cast<size_t>(m.rows()), 0.0);
  for (int32_t i = 0; i < m.rows(); ++i) {
    const double* row = m[i];
    double sum = 0.0;
    for (int32_t k = 0; k < length; ++k) {
      sum += row[k] * v[k];
    }
    result[static_cast<size_t>(i)] = sum;
  }
  for (int32_t i = 0; i < m.rows(); ++i) {
    out[i] = result[static_cast<size_t>(i)];
  }
}

zorvel_matrix matrix_transpose(const zorvel_matrix& m) {
  zorvel_matrix t(m.cols(), m.rows());
  for (int32_t i = 0; i < m.rows(); ++i) {
    for (int32_t j = 0; j < m.cols(); ++j) {
      t[j][i] = m[i][j];
    }
  }
  return t;
}

void matrix_invert(zorvel_matrix& m) {
  if (m.rows() != m.cols()) {
    throw numerics_error("matrix_invert needs a square matrix");
  }
  const int32_t n = m.rows();
  // Scratch with 1-based indices: a[i + 1][j + 1] = m[i][j].
  zorvel_matrix a(n + 1, n + 1);
  for (int32_t i = 0; i < n; ++i) {
    for (int32_t j = 0; j < n; ++j) {
      a[i + 1][j + 1] = m[i][j];
    }
  }
  // No pivoting and no singularity test: a zero pivot turns into infinities
  // and NaNs, which the callers guard against.
  for (int32_t k = 1; k <= n; ++k) {
    a[k][k] = -1.0 / a[k][k];
    const double d = a[k][k];
    for (int32_t i = 1; i <= n; ++i) {
      if (i != k) {
        a[i][k] = d * a[i][k];
      }
    }
    for (int32_t i = 1; i <= n; ++i) {
      if (i == k) {
        continue;
      }
      for (int32_t j = 1; j <= n; ++j) {
        if (j != k) {
          a[i][j] = a[k][j] * a[i][k] + a[i][j];
        }
      }
    }
    for (int32_t j = 1; j <= n; ++j) {
      if (j != k) {
        a[k][j] = a[k][j] * d;
      }
    }
  }
  for (int32_t i = 1; i <= n; ++i) {
    for (int32_t j = 1; j <= n; ++j) {
      m[i - 1][j - 1] = -a[i][j];
    }
  }
}

std::array<double, 9> matrix_invert3(const double m[9]) {
  zorvel_matrix work(3, 3);
  for (int32_t i = 0; i < 9; ++i) {
    work.data()[i] = m[i];
  }
  matrix_invert(work);
  std::array<double, 9> inverse{};
  for (int32_t i = 0; i < 9; ++i) {
    inverse[static_cast<size_t>(i)] = work.data()[i];
  }
  return inverse;
}

zorvel_matrix matrix_pseudo_inverse(const zorvel_matrix& a) {
  const zorvel_matrix t = matrix_transpose(a);
  zorvel_matrix normal;
  zorvel_matrix out;
  if (a.rows() >= a.cols()) {
    // Over-determined: (At A)^-1 At.
    matrix_multiply(t, a, normal);
    matrix_invert(normal);
    matrix_multiply(normal, t, out);
  } else {
    // Under-determined: At (A At)^-1.
    matrix_multiply(a, t, normal);
    matrix_invert(normal);
    matrix_multiply(t, normal, out);
  }
  return out;
}

}  // namespace zorvel
