// Rectification warp and correction fit. The warp is the costliest per-pixel
// step of a verification; it is organised row by row (products that depend
// only on the row or only on the column are computed once) but performs
// exactly the operations of the plain per-pixel formula, in the same order,
// so every output byte equals that of the straightforward loop.
#include "stereo/rectify.h"

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "image/bilinear_taps.h"
#include "numerics/cubic_basis.h"
#include "numerics/matrix.h"

namespace zorvel {
namespace {

void ensure_plane(std::vector<uint8_t>& plane, size_t bytes) {
  if (plane.size() < bytes) plane.resize(bytes);
}

// Clamp to [0, hi]; NaN goes to 0 so no lookup ever leaves the image.
inline double clamp_position(double s, double hi) {
  if (!(s > 0.0)) s = 0.0;
  if (s > hi) s = hi;
  return s;
}

// One rectification: the planes, their size and the geometry.
struct rectify_job {
  const uint8_t* src[3];
  uint8_t* dst[3];
  int32_t H, W;
  float Z, fa, o_row, o_col;
  const double* R;
  const float* g;
};

ZORVEL_KERNEL_INLINE void rectify_rows(const rectify_job& job) {
  const int32_t H = job.H, W = job.W;
  const double* R = job.R;
  const int32_t half_h = H / 2;
  const int32_t half_w = W / 2;
  const double half_h_d = static_cast<double>(half_h);
  const double half_w_d = static_cast<double>(half_w);
  const double z = static_cast<double>(job.Z);
  const double f = static_cast<double>(job.fa);
  const double off_row = static_cast<double>(job.o_row);
  const double off_col = static_cast<double>(job.o_col);
  const double row_max = static_cast<double>(H - 2);
  const double col_max = static_cast<double>(W - 2);
  double col_poly[9], row_poly[9];
  for (int32_t j = 0; j < 9; ++j) {
    col_poly[j] = static_cast<double>(job.g[j]);
    row_poly[j] = static_cast<double>(job.g[9 + j]);
  }
  const double rz2 = R[2] * z, rz5 = R[5] * z, rz8 = R[8] * z;

  // Column-only products R1 x, R4 x, R7 x.
  const size_t w_count = static_cast<size_t>(W);
  std::vector<double> rx1(w_count), rx4(w_count), rx7(w_count);
  for (int32_t c = 0; c < W; ++c) {
    const double x = static_cast<double>(c - half_w);
    rx1[c] = R[1] * x;
    rx4[c] = R[4] * x;
    rx7[c] = R[7] * x;
  }
  // Per row: the source positions (vectorisable), the four neighbours of all
  // three planes, then the interpolation of each plane. After the clamp sy
  // and sx are finite and non-negative, so floor is the truncation to int.
  std::vector<double> sys(w_count), sxs(w_count), wrs(w_count), wcs(w_count);
  std::vector<int32_t> top_left(w_count);
  bilinear_taps taps(w_count);

  for (int32_t r = 0; r < H; ++r) {
    const double y = static_cast<double>(r - half_h);
    const double ry0 = R[0] * y, ry3 = R[3] * y, ry6 = R[6] * y;
    for (int32_t c = 0; c < W; ++c) {
      const double w = ry6 + rx7[c] + rz8;
      const double first = (ry0 + rx1[c] + rz2) * f / w + off_row;
      const double second = (ry3 + rx4[c] + rz5) * f / w + off_col;
      const double u = first / half_h_d;
      const double v = second / half_w_d;
      sys[c] = clamp_position(evaluate_cubic(row_poly, v, u) + first + half_h_d, row_max);
      sxs[c] = clamp_position(evaluate_cubic(col_poly, v, u) + second + half_w_d, col_max);
    }
    for (int32_t c = 0; c < W; ++c) {
      const int32_t r1 = static_cast<int32_t>(sys[c]) + 1;
      const int32_t c1 = static_cast<int32_t>(sxs[c]) + 1;
      wrs[c] = static_cast<double>(static_cast<float>(static_cast<uint16_t>(r1)) -
                                   static_cast<float>(sys[c]));
      wcs[c] = static_cast<double>(static_cast<float>(static_cast<uint16_t>(c1)) -
                                   static_cast<float>(sxs[c]));
      top_left[c] = (r1 - 1) * W + (c1 - 1);
    }
    gather_bilinear_taps(job.src, w_count, top_left.data(), w_count, taps);
    const size_t row_offset = static_cast<size_t>(r) * w_count;
    for (int p = 0; p < 3; ++p) {
      // The double arithmetic of a per-pixel interpolation, operation for
      // operation, on vectors.
      const uint16_t* tp = taps.top(p);
      const uint16_t* bp = taps.bottom(p);
      uint8_t* out = job.dst[p] + row_offset;
      for (int32_t c = 0; c < W; ++c) {
        const double wr = wrs[c];
        const double wc = wcs[c];
        const double wr1 = 1.0 - wr;
        const double wc1 = 1.0 - wc;
        const double value = static_cast<double>(tp[c] & 0xFF) * wr * wc +
                             static_cast<double>(tp[c] >> 8) * wr * wc1 +
                             static_cast<double>(bp[c] & 0xFF) * wr1 * wc +
                             static_cast<double>(bp[c] >> 8) * wr1 * wc1;
        out[c] = static_cast<uint8_t>(static_cast<int32_t>(value));
      }
    }
  }
}

}  // namespace

int rectify_aux(const zorvel_chart_pair& source, zorvel_chart_pair& destination, float Z,
                const double R[9], float fa, int32_t H, int32_t W, float o_row, float o_col,
                const float g[18], vector_isa isa) {
  if (H < 2 || W < 2) return -1;
  const size_t plane_bytes = static_cast<size_t>(H) * static_cast<size_t>(W);
  if (source.aux_r.size() < plane_bytes || source.aux_g.size() < plane_bytes ||
      source.aux_b.size() < plane_bytes) {
    return -1;
  }
  ensure_plane(destination.aux_r, plane_bytes);
  ensure_plane(destination.aux_g, plane_bytes);
  ensure_plane(destination.aux_b, plane_bytes);

  rectify_job job;
  job.src[0] = source.aux_r.data(), job.src[1] = source.aux_g.data();
  job.src[2] = source.aux_b.data();
  job.dst[0] = destination.aux_r.data(), job.dst[1] = destination.aux_g.data();
  job.dst[2] = destination.aux_b.data();
  job.H = H, job.W = W;
  job.Z = Z, job.fa = fa, job.o_row = o_row, job.o_col = o_col;
  job.R = R, job.g = g;
  run_vector_kernel<rectify_rows>(isa, job);
  return 0;
}

void copy_aux_planes(const zorvel_chart_pair& source, zorvel_chart_pair& destination,
                     int32_t height, int32_t width) {
  if (height <= 0 || width <= 0) return;
  const size_t bytes = static_cast<size_t>(height) * static_cast<size_t>(width);
  const std::vector<uint8_t>* src[3] = {&source.aux_r, &source.aux_g, &source.aux_b};
  std::vector<uint8_t>* dst[3] = {&destination.aux_r, &destination.aux_g, &destination.aux_b};
  for (int32_t p = 0; p < 3; ++p) {
    ensure_plane(*dst[p], bytes);
    const size_t n = src[p]->size() < bytes ? src[p]->size() : bytes;
    if (n > 0) std::memcpy(dst[p]->data(), src[p]->data(), n);
  }
}

int32_t fit_inverse_correction(const double R[9], const float g[18], float out[18], int32_t width,
                               int32_t height, float Z, float f, float row_offset,
                               float col_offset) {
  const int32_t E1 = height, E2 = width;
  const float o1 = row_offset, o2 = col_offset;
  const int32_t s1 = E1 / 13;
  const int32_t s2 = E2 / 13;
  if (s1 < 1 || s2 < 1) return 0;  // the grid would never advance

  const double half_e1 = static_cast<double>(E1) * 0.5;
  const double half_e2 = static_cast<double>(E2) * 0.5;
  const double z = static_cast<double>(Z);
  const double fd = static_cast<double>(f);
  const double od1 = static_cast<double>(o1);
  const double od2 = static_cast<double>(o2);
  double first_poly[9], second_poly[9];
  for (int32_t j = 0; j < 9; ++j) {
    first_poly[j] = static_cast<double>(g[j]);
    second_poly[j] = static_cast<double>(g[9 + j]);
  }

  std::vector<double> t1s, t2s, p1s, p2s;
  for (int32_t a = s1; a < E1 - s1; a += s1) {
    for (int32_t b = s2; b < E2 - s2; b += s2) {
      const double p = static_cast<double>(a) - half_e1;
      const double q = static_cast<double>(b) - half_e2;
      // Each coordinate is normalised by half of the other extent.
      const double alpha = p / half_e2;
      const double beta = q / half_e1;
      const std::array<double, 9> n = cubic_monomials(alpha, beta);
      double P1 = 0.0, P2 = 0.0;
      for (int32_t j = 0; j < 9; ++j) P1 += first_poly[j] * n[j];
      for (int32_t j = 0; j < 9; ++j) P2 += second_poly[j] * n[j];
      const double pc = p - P1;
      const double qc = q - P2;
      const double w = R[6] * qc + R[7] * pc + R[8] * z;
      t1s.push_back((R[0] * qc + R[1] * pc + R[2] * z) * fd / w + od1);
      t2s.push_back((R[3] * qc + R[4] * pc + R[5] * z) * fd / w + od2);
      p1s.push_back(P1);
      p2s.push_back(P2);
    }
  }
  const int32_t N = static_cast<int32_t>(t1s.size());
  const std::array<double, 9> fit1 =
      fit_cubic_surface(t2s.data(), t1s.data(), p1s.data(), E1, E2, N);
  const std::array<double, 9> fit2 =
      fit_cubic_surface(t2s.data(), t1s.data(), p2s.data(), E1, E2, N);
  for (int32_t j = 0; j < 9; ++j) {
    out[j] = static_cast<float>(fit1[j]);
    out[9 + j] = static_cast<float>(fit2[j]);
  }
  return N;
}

}  // namespace zorvel
