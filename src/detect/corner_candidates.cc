// Brightness equalisation, diagonal saddle response and the window maxima.
#include "detect/corner_candidates.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <algorithm>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorvel {

namespace {

// A multiplier that reproduces the scaling table in 16-bit lanes:
// min(255, (v * high + ((v * low) >> 16)) >> shift) for every byte v, which
// is v * (high + low / 65536) / 2^shift rounded down. The nested rounding
// cannot move the result, since v * high is a whole number.
struct byte_multiplier {
  uint16_t high = 0, low = 0;
  int32_t shift = 0;
  bool found = false;

  uint8_t apply(uint32_t v) const {
    const uint32_t t = (v * high + ((v * low) >> 16)) >> shift;
    return static_cast<uint8_t>(t > 255 ? 255 : t);
  }
};

// Tries the two multipliers next to gain * 2^(16 + shift) at the finest shift
// whose products stay within 16 bits; the one kept matches all 256 entries.
// The shift is at least 1 so the shifted lanes stay below 32768, which the
// signed saturation of the packing needs.
byte_multiplier find_multiplier(double gain, const uint8_t* scaled) {
  byte_multiplier m;
  for (int32_t shift = 15; shift >= 1; --shift) {
    const double exact = std::ldexp(gain, 16 + shift);
    if (!(exact < 255.0 * 65536.0)) continue;
    const auto below = static_cast<uint32_t>(exact);
    for (const uint32_t candidate : {below, below + 1}) {
      m.high = static_cast<uint16_t>(candidate >> 16);
      m.low = static_cast<uint16_t>(candidate & 0xFFFF);
      m.shift = shift;
      bool same = candidate < 256u * 65536u;
      for (uint32_t v = 0; v < 256 && same; ++v) same = m.apply(v) == scaled[v];
      if (same) {
        m.found = true;
        return m;
      }
    }
    return m;
  }
  return m;
}

uint64_t byte_sum(const uint8_t* plane, int64_t n) {
  uint64_t sum = 0;
  int64_t i = 0;
#if defined(__SSE2__)
  __m128i total = _mm_setzero_si128();
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= n; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(plane + i));
    total = _mm_add_epi64(total, _mm_sad_epu8(x, zero));
  }
  sum = static_cast<uint64_t>(_mm_cvtsi128_si64(total)) +
        static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(total, total)));
#endif
  for (; i < n; ++i) sum += plane[i];
  return sum;
}

void scale_bytes(uint8_t* plane, int64_t n, const uint8_t* scaled, const byte_multiplier& m) {
  int64_t i = 0;
#if defined(__SSE2__)
  if (m.found) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i high = _mm_set1_epi16(static_cast<int16_t>(m.high));
    const __m128i low = _mm_set1_epi16(static_cast<int16_t>(m.low));
    const __m128i shift = _mm_cvtsi32_si128(m.shift);
    const auto lanes = [&](__m128i v) {
      // v * high stays below 65536 and the sum below 65536 + 255 * 255 / 65536.
      const __m128i t = _mm_add_epi16(_mm_mullo_epi16(v, high), _mm_mulhi_epu16(v, low));
      return _mm_srl_epi16(t, shift);
    };
    for (; i + 16 <= n; i += 16) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(plane + i));
      const __m128i lo = lanes(_mm_unpacklo_epi8(x, zero));
      const __m128i hi = lanes(_mm_unpackhi_epi8(x, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(plane + i), _mm_packus_epi16(lo, hi));
    }
  }
#endif
  for (; i < n; ++i) plane[i] = scaled[plane[i]];
}

}  // namespace

void equalize_brightness(uint8_t* red, uint8_t* green, uint8_t* blue, int64_t pixel_count) {
  if (pixel_count <= 0) return;
  // 64-bit sum: three planes of 255 overflow 32 bits above about 2.8 Mpx.
  uint64_t sum = 0;
  for (const uint8_t* plane : {red, green, blue}) sum += byte_sum(plane, pixel_count);
  const double mean = static_cast<double>(sum) / static_cast<double>(3 * pixel_count);
  if (mean == 0.0) return;  // black capture: nothing to scale
  const double gain = 50.0 / mean;
  // Each byte value maps to one output, so a table gives the same bytes; a
  // multiplier that matches the whole table scales 16 bytes at a time.
  uint8_t scaled[256];
  for (int v = 0; v < 256; ++v) {
    const double product = std::trunc(static_cast<double>(v) * gain);
    scaled[v] = product >= 255.0 ? 255 : static_cast<uint8_t>(product);
  }
  const byte_multiplier multiplier = find_multiplier(gain, scaled);
  for (uint8_t* plane : {red, green, blue}) scale_bytes(plane, pixel_count, scaled, multiplier);
}

namespace {

// Running nine-sample sums along one family of diagonals (offsets -4 ... 4,
// centre included; the centre is taken out per pixel). A diagonal is indexed
// so that moving one row down and one column along it keeps its index: the
// sum of the next row is the previous one plus the sample entering below
// and minus the one leaving above. Where the diagonal starts at the image
// edge the nine samples are summed afresh.
struct diagonal_sums {
  std::vector<int32_t> sum, squares;
};

// Bit j set when flags[j] is not 0, for the first n <= 16 flags.
ZORVEL_KERNEL_INLINE uint32_t pass_bits(const uint8_t* flags, int32_t n) {
#if defined(__SSE2__)
  if (n == 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(flags));
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_setzero_si128()))) ^ 0xFFFFu;
  }
#endif
  uint32_t bits = 0;
  for (int32_t j = 0; j < n; ++j) bits |= (flags[j] != 0 ? 1u : 0u) << j;
  return bits;
}

ZORVEL_KERNEL_INLINE void saddle_response_rows(const uint8_t* green, int32_t height, int32_t width,
                                               saddle_candidates& out) {
  const int32_t span = width - 8;  // columns 4 ... width - 5
  const auto row = [&](int32_t r) { return green + static_cast<ptrdiff_t>(r) * width; };
  // Main diagonal of pixel (r, c) at height - r + c, anti-diagonal at r + c.
  diagonal_sums a, b;
  a.sum.assign(static_cast<size_t>(width + height), 0);
  a.squares.assign(a.sum.size(), 0);
  b.sum.assign(a.sum.size(), 0);
  b.squares.assign(a.sum.size(), 0);
  const auto a_at = [&](int32_t r) { return static_cast<ptrdiff_t>(height - r); };
  const auto b_at = [&](int32_t r) { return static_cast<ptrdiff_t>(r); };

  std::vector<int32_t> d(span), denominator(span);
  std::vector<uint8_t> passes(span);
  for (int32_t r = 4; r <= height - 5; ++r) {
    out.row_start[r] = static_cast<int32_t>(out.cols.size());
    int32_t* sum_a = a.sum.data() + a_at(r);
    int32_t* sq_a = a.squares.data() + a_at(r);
    int32_t* sum_b = b.sum.data() + b_at(r);
    int32_t* sq_b = b.squares.data() + b_at(r);
    const uint8_t* enter = row(r + 4);
    if (r == 4) {
      for (int32_t c = 4; c <= width - 5; ++c) {
        int32_t s1 = 0, q1 = 0, s2 = 0, q2 = 0;
        for (int32_t k = -4; k <= 4; ++k) {
          const int32_t va = row(r + k)[c + k], vb = row(r + k)[c - k];
          s1 += va, q1 += va * va, s2 += vb, q2 += vb * vb;
        }
        sum_a[c] = s1, sq_a[c] = q1, sum_b[c] = s2, sq_b[c] = q2;
      }
    } else {
      const uint8_t* leave = row(r - 5);
      // Column 4's main diagonal and column width - 5's anti-diagonal start
      // at the image edge this row.
      for (int32_t c = 5; c <= width - 5; ++c) {
        const int32_t in = enter[c + 4], out_v = leave[c - 5];
        sum_a[c] += in - out_v;
        sq_a[c] += in * in - out_v * out_v;
      }
      for (int32_t c = 4; c <= width - 6; ++c) {
        const int32_t in = enter[c - 4], out_v = leave[c + 5];
        sum_b[c] += in - out_v;
        sq_b[c] += in * in - out_v * out_v;
      }
      for (const int32_t c : {4, width - 5}) {
        int32_t s1 = 0, q1 = 0, s2 = 0, q2 = 0;
        for (int32_t k = -4; k <= 4; ++k) {
          const int32_t va = row(r + k)[c + k], vb = row(r + k)[c - k];
          s1 += va, q1 += va * va, s2 += vb, q2 += vb * vb;
        }
        if (c == 4) sum_a[c] = s1, sq_a[c] = q1;
        if (c == width - 5) sum_b[c] = s2, sq_b[c] = q2;
      }
    }
    // Means and mean squares of eight samples (centre out), truncated; the
    // variances cannot be negative, so the denominator is at least 50 and
    // response > 1.5 is exactly 2 d^2 > 3 (variances + 50) in integers.
    const uint8_t* centre = row(r);
    for (int32_t i = 0; i < span; ++i) {
      const int32_t c = 4 + i;
      const int32_t g = centre[c];
      const int32_t mean_a = (sum_a[c] - g) >> 3, msq_a = (sq_a[c] - g * g) >> 3;
      const int32_t mean_b = (sum_b[c] - g) >> 3, msq_b = (sq_b[c] - g * g) >> 3;
      const int32_t di = mean_a - mean_b;
      const int32_t den = (msq_b - mean_b * mean_b) + (msq_a - mean_a * mean_a) + 50;
      d[i] = di;
      denominator[i] = den;
      passes[i] = 2 * di * di > 3 * den;
    }
    // Few pixels pass: whole runs of 16 that all fail are skipped at once.
    for (int32_t run = 0; run < span; run += 16) {
      for (uint32_t bits = pass_bits(passes.data() + run, std::min(16, span - run)); bits != 0;
           bits &= bits - 1) {
        const int32_t i = run + std::countr_zero(bits);
        const int32_t di = d[i];
        const double response =
            static_cast<double>(di * di) / (static_cast<double>(denominator[i] - 50) + 50.0);
        out.add(4 + i, response, static_cast<uint8_t>(di < 0 ? -di : di));
      }
    }
  }
  for (int32_t r = height - 4; r <= height; ++r) out.row_start[r] = static_cast<int32_t>(out.cols.size());
}

}  // namespace

saddle_candidates compute_saddle_response(const uint8_t* green, int32_t height, int32_t width,
                                          vector_isa isa) {
  saddle_candidates out;
  out.row_start.assign(static_cast<size_t>(std::max(height, 0)) + 1, 0);
  if (height < 9 || width < 9) return out;
  run_vector_kernel<saddle_response_rows>(isa, green, height, width, out);
  return out;
}

candidate_list keep_window_maxima(saddle_candidates& candidates, int32_t height, int32_t width,
                                  const corner_window& window,
                                  std::vector<uint8_t>& key_point_map) {
  candidate_list list;
  const size_t capacity = static_cast<size_t>(window.list_capacity);
  list.rows.reserve(capacity);
  list.cols.reserve(capacity);
  list.contrasts.reserve(capacity);
  const std::vector<int32_t>& start = candidates.row_start;
  const std::vector<int32_t>& cols = candidates.cols;
  const int32_t first_row = std::max(window.first_row, 0);
  const int32_t last_row = std::min(height - window.last_row_back, height - 1);
  const int32_t last_col = width - window.last_col_back;
  for (int32_t r = first_row; r <= last_row; ++r) {
    for (int32_t e = start[r]; e < start[r + 1]; ++e) {
      const int32_t c = cols[e];
      if (c < window.first_col || c > last_col || candidates.flagged[e] == 0) continue;
      // First strictly largest response of the window in raster order. Rows
      // hold their candidates by increasing column, so visiting rows and
      // then entries is raster order; weaker pixels cannot win.
      double best = 0.0;
      int32_t best_r = r, best_e = e;
      const int32_t lo = c - window.before, hi = c + window.after;
      for (int32_t wr = std::max(r - window.before, 0);
           wr <= std::min(r + window.after, height - 1); ++wr) {
        const auto row_begin = cols.begin() + start[wr];
        const auto first = std::lower_bound(row_begin, cols.begin() + start[wr + 1], lo);
        for (auto k = static_cast<int32_t>(first - cols.begin()); k < start[wr + 1] && cols[k] <= hi;
             ++k) {
          if (candidates.response[k] > best) {
            best = candidates.response[k];
            best_r = wr;
            best_e = k;
          }
          candidates.flagged[k] = 0;
        }
      }
      const int32_t best_c = cols[best_e];
      key_point_map[static_cast<size_t>(best_r) * width + best_c] = 1;
      // The map keeps every maximum; the list stops growing when full.
      if (list.rows.size() < capacity) {
        list.rows.push_back(best_r);
        list.cols.push_back(best_c);
        list.contrasts.push_back(static_cast<double>(candidates.contrast[best_e]));
      }
    }
  }
  return list;
}

}  // namespace zorvel
