// Band-sum tables of the gradient energies and the four line searches.
#include "detect/line_search.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorvel {
namespace {

constexpr int32_t kSlopeCount = 400;  // slopes -200 ... 199
constexpr int32_t kSlopeFirst = -200;
constexpr int32_t kHalfBand = 5;      // 11-pixel band
// Column sums exist for rows kFirstBandRow ... height - kFirstBandRow.
constexpr int32_t kFirstBandRow = 10;

ZORVEL_KERNEL_INLINE int32_t squared_difference(int32_t a, int32_t b) { return (a - b) * (a - b); }

// Positions across the line stay within 201 pixels of the traced point.
constexpr int32_t kReach = 206;

// Largest band sum: eleven energies of at most 255^2.
constexpr int64_t kMaxBand = 11 * 255 * 255;

// Scores of the N slopes first ... first + N - 1 (indices into -200 ... 199):
// score[s] = sum over i of band_at(i)[position - lo] with
// position = trunc(ratio[i] * slope + origin) clamped to lo ... hi.
template <typename Score, int32_t N, typename BandAt>
ZORVEL_KERNEL_INLINE void score_slopes(const std::vector<double>& ratio, double origin, int32_t lo,
                                       int32_t hi, int32_t first, BandAt& band_at, int64_t* total) {
  Score score[N] = {};
  int32_t position[N];
  double slope[N];
  for (int32_t s = 0; s < N; ++s) slope[s] = static_cast<double>(kSlopeFirst + first + s);
  for (size_t i = 0; i < ratio.size(); ++i) {
    const double r = ratio[i];
    for (int32_t s = 0; s < N; ++s) {
      const auto p = static_cast<int32_t>(r * slope[s] + origin);
      position[s] = (p < lo ? lo : (p > hi ? hi : p)) - lo;
    }
    const int32_t* band = band_at(i);
    for (int32_t s = 0; s < N; ++s) score[s] += band[position[s]];
  }
  for (int32_t s = 0; s < N; ++s) total[s] = score[s];
}

// Scores of lines up to 3000 positions long fit 32 bits, which halves the
// width of the sums the gather feeds.
template <int32_t N, typename BandAt>
ZORVEL_KERNEL_INLINE void score_slopes(const std::vector<double>& ratio, double origin, int32_t lo,
                                       int32_t hi, int32_t first, BandAt& band_at, int64_t* total) {
  if (static_cast<int64_t>(ratio.size()) * kMaxBand <= INT32_MAX) {
    score_slopes<int32_t, N>(ratio, origin, lo, hi, first, band_at, total);
  } else {
    score_slopes<int64_t, N>(ratio, origin, lo, hi, first, band_at, total);
  }
}

// The chosen line: trunc(ratio[i] * slope + origin) for every position.
ZORVEL_KERNEL_INLINE void write_line(const std::vector<double>& ratio, double origin,
                                     int32_t best_slope, int32_t* table) {
  const auto slope = static_cast<double>(kSlopeFirst + best_slope);
  for (size_t i = 0; i < ratio.size(); ++i) {
    table[i] = static_cast<int32_t>(ratio[i] * slope + origin);
  }
}

// One search: position i of the line lies at trunc(ratio[i] * s + origin)
// across the traced direction (clamped to lo ... hi, where the bands beyond
// the image are 0) and contributes band_at(i)[position - lo]. The first slope
// of the highest score wins; no line is drawn unless it scores above 0.
template <typename BandAt>
ZORVEL_KERNEL_INLINE void search_lines(const std::vector<double>& ratio, double origin, int32_t lo,
                                       int32_t hi, BandAt band_at, int32_t* table) {
  int64_t score[kSlopeCount];
  score_slopes<kSlopeCount>(ratio, origin, lo, hi, 0, band_at, score);
  int64_t best = 0;
  int32_t best_slope = -1;
  for (int32_t s = 0; s < kSlopeCount; ++s) {
    if (score[s] > best) {
      best = score[s];
      best_slope = s;
    }
  }
  if (best_slope >= 0) write_line(ratio, origin, best_slope, table);
}

// The same search with the slopes taken in blocks of kBlockSlopes. Positions
// grow with the slope (ratio >= 0), so every line of a block reads position i
// between the block's first and last line, and the largest band there,
// summed over i, bounds the score of each line of the block. Blocks are
// scored exactly in order of falling bound until no remaining bound can beat
// (or, from an earlier slope, equal) the best score: the same slope as the
// exhaustive search, ties included. peak_at(i) gives the window upper bounds
// of band_at(i), peak_step entries apart (see gradient_bands::row_peak).
constexpr int32_t kBlockSlopes = gradient_bands::kPeakWindow;
constexpr int32_t kBlockCount = kSlopeCount / kBlockSlopes;
static_assert(kSlopeCount % kBlockSlopes == 0, "slopes split into whole blocks");

template <typename Bound, typename BandAt, typename PeakAt>
ZORVEL_KERNEL_INLINE void bound_blocks(const std::vector<double>& ratio, double origin, int32_t lo,
                                       int32_t hi, BandAt& band_at, PeakAt& peak_at,
                                       size_t peak_step, int64_t* total) {
  Bound bound[kBlockCount] = {};
  double first_slope[kBlockCount], last_slope[kBlockCount];
  for (int32_t b = 0; b < kBlockCount; ++b) {
    first_slope[b] = static_cast<double>(kSlopeFirst + b * kBlockSlopes);
    last_slope[b] = static_cast<double>(kSlopeFirst + b * kBlockSlopes + kBlockSlopes - 1);
  }
  int32_t first_position[kBlockCount], last_position[kBlockCount];
  for (size_t i = 0; i < ratio.size(); ++i) {
    const double r = ratio[i];
    for (int32_t b = 0; b < kBlockCount; ++b) {
      const auto p = static_cast<int32_t>(r * first_slope[b] + origin);
      const auto q = static_cast<int32_t>(r * last_slope[b] + origin);
      first_position[b] = (p < lo ? lo : (p > hi ? hi : p)) - lo;
      last_position[b] = (q < lo ? lo : (q > hi ? hi : q)) - lo;
    }
    const int32_t* band = band_at(i);
    const uint16_t* peak = peak_at(i);
    for (int32_t b = 0; b < kBlockCount; ++b) {
      const int32_t from = std::min(first_position[b], last_position[b]);
      const int32_t to = std::max(first_position[b], last_position[b]);
      // A block spans at most kBlockSlopes positions while ratio <= 1.
      bound[b] += to - from < gradient_bands::kPeakWindow
                      ? static_cast<Bound>(peak[static_cast<size_t>(from) * peak_step]) * gradient_bands::kPeakScale
                      : *std::max_element(band + from, band + to + 1);
    }
  }
  for (int32_t b = 0; b < kBlockCount; ++b) total[b] = bound[b];
}

template <typename BandAt, typename PeakAt>
ZORVEL_KERNEL_INLINE void search_lines_pruned(const std::vector<double>& ratio, double origin,
                                              int32_t lo, int32_t hi, BandAt band_at,
                                              PeakAt peak_at, size_t peak_step, int32_t* table) {
  int64_t bound[kBlockCount];
  constexpr int64_t kMaxPeak = int64_t{(kMaxBand + gradient_bands::kPeakScale - 1) /
                                       gradient_bands::kPeakScale} * gradient_bands::kPeakScale;
  if (static_cast<int64_t>(ratio.size()) * kMaxPeak <= INT32_MAX) {
    bound_blocks<int32_t>(ratio, origin, lo, hi, band_at, peak_at, peak_step, bound);
  } else {
    bound_blocks<int64_t>(ratio, origin, lo, hi, band_at, peak_at, peak_step, bound);
  }
  int32_t order[kBlockCount];
  for (int32_t b = 0; b < kBlockCount; ++b) order[b] = b;
  std::stable_sort(order, order + kBlockCount,
                   [&](int32_t a, int32_t b) { return bound[a] > bound[b]; });
  int64_t best = 0;
  int32_t best_slope = -1;
  for (const int32_t b : order) {
    if (bound[b] < best) break;
    const int32_t first = b * kBlockSlopes;
    // An equal bound can only tie, which matters from an earlier slope.
    if (bound[b] == best && (best_slope < 0 || first > best_slope)) continue;
    int64_t score[kBlockSlopes];
    score_slopes<kBlockSlopes>(ratio, origin, lo, hi, first, band_at, score);
    for (int32_t k = 0; k < kBlockSlopes; ++k) {
      const int32_t s = first + k;
      if (score[k] > best || (score[k] == best && best > 0 && s < best_slope)) {
        best = score[k];
        best_slope = s;
      }
    }
  }
  if (best_slope >= 0) write_line(ratio, origin, best_slope, table);
}

// Band sums of Eh along one image row for columns lo ... hi, from a running
// sum over the energies of columns lo - 5 ... hi + 5 (0 outside 2 ... W - 3).
class row_bands {
 public:
  row_bands(const gradient_bands& bands, int32_t lo, int32_t hi)
      : bands_(bands), lo_(lo), n_(hi - lo + 1),
        prefix_(static_cast<size_t>(n_) + 2 * kHalfBand + 1), band_(static_cast<size_t>(n_)) {}

  ZORVEL_KERNEL_INLINE const int32_t* operator()(int32_t row) {
    const int32_t w = bands_.width;
    const uint8_t* g = bands_.green + static_cast<size_t>(row) * w;
    const int32_t first = lo_ - kHalfBand;
    const int32_t columns = n_ + 2 * kHalfBand;
    prefix_[0] = 0;
    for (int32_t k = 0; k < columns; ++k) {
      const int32_t c = first + k;
      const int32_t e = (c >= 2 && c <= w - 3) ? squared_difference(g[c - 2], g[c + 2]) : 0;
      prefix_[k + 1] = prefix_[k] + e;
    }
    for (int32_t k = 0; k < n_; ++k) band_[k] = prefix_[k + 2 * kHalfBand + 1] - prefix_[k];
    return band_.data();
  }

 private:
  const gradient_bands& bands_;
  int32_t lo_, n_;
  std::vector<int32_t> prefix_;
  std::vector<int32_t> band_;
};

bool inside(const gradient_bands& bands, int32_t r0, int32_t c0) {
  return r0 >= 0 && r0 < bands.height && c0 >= 0 && c0 < bands.width;
}

// Column sums of one image column, starting at row -kPad, and their bounds.
ZORVEL_KERNEL_INLINE const int32_t* column_band_of(const gradient_bands& bands, int32_t col) {
  return bands.column_band.get() + static_cast<size_t>(col) * bands.column_stride;
}
// The bounds of column col, one row of the table apart (see
// gradient_bands::row_peak).
ZORVEL_KERNEL_INLINE const uint16_t* column_peak_of(const gradient_bands& bands, int32_t col) {
  return bands.row_peak.get() + col;
}

// Scaled column sums of one row of the bands, rounded up (the maximum of the
// rounded values is the rounded maximum).
ZORVEL_KERNEL_INLINE void scale_peak_row(const int32_t* sums, int32_t width, uint16_t* out) {
  static_assert((kMaxBand + gradient_bands::kPeakScale - 1) / gradient_bands::kPeakScale <= UINT16_MAX,
                "scaled bounds fit 16 bits");
  for (int32_t c = 0; c < width; ++c) {
    out[c] = static_cast<uint16_t>(static_cast<uint32_t>(sums[c] + gradient_bands::kPeakScale - 1) /
                                   gradient_bands::kPeakScale);
  }
}

// Turns the scaled rows into window maxima over kPeakWindow rows by doubling:
// row k takes the larger of itself and row k + d, in place from the top.
ZORVEL_KERNEL_INLINE void widen_peak_rows(gradient_bands& bands) {
  const size_t w = static_cast<size_t>(bands.width);
  uint16_t* table = bands.row_peak.get();
  for (int32_t span = 1; span < gradient_bands::kPeakWindow;) {
    const int32_t d = std::min(span, gradient_bands::kPeakWindow - span);
    for (int32_t k = 0; k + d < bands.column_stride; ++k) {
      uint16_t* row = table + static_cast<size_t>(k) * w;
      const uint16_t* below = row + static_cast<size_t>(d) * w;
      for (size_t c = 0; c < w; ++c) row[c] = std::max(row[c], below[c]);
    }
    span += d;
  }
}

// out[c * stride + k] = rows_in[k * width + c] for k < rows, c < width: four
// columns of four rows at a time through vector unpacking where available.
ZORVEL_KERNEL_INLINE void transpose_rows(const int32_t* rows_in, int32_t rows, int32_t width,
                                         int32_t* out, int32_t stride) {
  const auto at = [&](int32_t k, int32_t c) { return rows_in + static_cast<size_t>(k) * width + c; };
  int32_t c = 0;
#if defined(__SSE2__)
  for (; c + 4 <= width; c += 4) {
    int32_t* column[4];
    for (int32_t j = 0; j < 4; ++j) column[j] = out + static_cast<size_t>(c + j) * stride;
    int32_t k = 0;
    for (; k + 4 <= rows; k += 4) {
      const __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at(k, c)));
      const __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at(k + 1, c)));
      const __m128i a2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at(k + 2, c)));
      const __m128i a3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at(k + 3, c)));
      const __m128i t0 = _mm_unpacklo_epi32(a0, a1), t1 = _mm_unpacklo_epi32(a2, a3);
      const __m128i t2 = _mm_unpackhi_epi32(a0, a1), t3 = _mm_unpackhi_epi32(a2, a3);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(column[0] + k), _mm_unpacklo_epi64(t0, t1));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(column[1] + k), _mm_unpackhi_epi64(t0, t1));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(column[2] + k), _mm_unpacklo_epi64(t2, t3));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(column[3] + k), _mm_unpackhi_epi64(t2, t3));
    }
    for (; k < rows; ++k) {
      for (int32_t j = 0; j < 4; ++j) column[j][k] = *at(k, c + j);
    }
  }
#endif
  for (; c < width; ++c) {
    int32_t* column = out + static_cast<size_t>(c) * stride;
    for (int32_t k = 0; k < rows; ++k) column[k] = *at(k, c);
  }
}

// The column sums of rows 10 ... height - 10 and their bounds.
ZORVEL_KERNEL_INLINE void fill_band_rows(gradient_bands& bands) {
  const uint8_t* green = bands.green;
  const int32_t height = bands.height, width = bands.width;
  const int32_t pad = gradient_bands::kPad;
  const int32_t first_row = kFirstBandRow, last_row = height - kFirstBandRow;
  // Ev of row q (2 <= q <= height - 3 holds for every row used here).
  auto ev = [&](int32_t q, int32_t c) {
    return squared_difference(green[static_cast<size_t>(q - 2) * width + c],
                              green[static_cast<size_t>(q + 2) * width + c]);
  };
  std::vector<int32_t> window(static_cast<size_t>(width), 0);
  for (int32_t q = first_row - kHalfBand; q <= first_row + kHalfBand; ++q) {
    for (int32_t c = 0; c < width; ++c) window[c] += ev(q, c);
  }
  // Transposed writes in blocks of rows keep the column runs in cache.
  constexpr int32_t kBlock = 32;
  std::vector<int32_t> block(static_cast<size_t>(kBlock) * width);
  for (int32_t r0 = first_row; r0 <= last_row; r0 += kBlock) {
    const int32_t rows = std::min(kBlock, last_row - r0 + 1);
    for (int32_t k = 0; k < rows; ++k) {
      const int32_t r = r0 + k;
      if (r > first_row) {
        for (int32_t c = 0; c < width; ++c)
          window[c] += ev(r + kHalfBand, c) - ev(r - kHalfBand - 1, c);
      }
      std::copy(window.begin(), window.end(), block.begin() + static_cast<ptrdiff_t>(k) * width);
      scale_peak_row(window.data(), width,
                     bands.row_peak.get() + static_cast<size_t>(pad + r) * width);
    }
    transpose_rows(block.data(), rows, width, bands.column_band.get() + pad + r0,
                   bands.column_stride);
  }
  widen_peak_rows(bands);
}

}  // namespace

gradient_bands compute_gradient_bands(const uint8_t* green, int32_t height, int32_t width,
                                      vector_isa isa) {
  gradient_bands bands;
  if (height <= 0 || width <= 0) return bands;
  bands.height = height;
  bands.width = width;
  const int32_t pad = gradient_bands::kPad;

  bands.green = green;

  // Columns: sliding 11-row sums of Ev, computed row by row and stored
  // transposed so a horizontal line reads one column's sums contiguously.
  // Rows outside 10 ... height - 10 and the pads stay 0.
  bands.column_stride = height + 2 * pad;
  const size_t total = static_cast<size_t>(width) * bands.column_stride;
  bands.column_band = std::make_unique_for_overwrite<int32_t[]>(total);
  const int32_t first_row = kFirstBandRow, last_row = height - kFirstBandRow;
  bands.row_peak = std::make_unique_for_overwrite<uint16_t[]>(total);
  if (first_row > last_row) {
    std::fill_n(bands.column_band.get(), total, 0);
    std::fill_n(bands.row_peak.get(), total, 0);
    return bands;
  }
  std::fill_n(bands.row_peak.get(), static_cast<size_t>(pad + first_row) * width, 0);
  std::fill(bands.row_peak.get() + static_cast<size_t>(pad + last_row + 1) * width,
            bands.row_peak.get() + total, 0);
  // Only the rows outside first_row ... last_row are zeroed; the loop below
  // writes every other entry.
  for (int32_t c = 0; c < width; ++c) {
    int32_t* column = bands.column_band.get() + static_cast<size_t>(c) * bands.column_stride;
    std::fill_n(column, pad + first_row, 0);
    std::fill(column + pad + last_row + 1, column + bands.column_stride, 0);
  }
  run_vector_kernel<fill_band_rows>(isa, bands);
  return bands;
}

void trace_line_up(const gradient_bands& bands, int32_t r0, int32_t c0, int32_t* row_table,
                   vector_isa isa) {
  if (!inside(bands, r0, c0) || r0 == 0) return;
  std::vector<double> ratio;
  for (int32_t i = 0; i <= r0; ++i) ratio.push_back(static_cast<double>(r0 - i) / r0);
  row_bands band(bands, c0 - kReach, c0 + kReach);
  auto band_at = [&](size_t i) { return band(static_cast<int32_t>(i)); };
  run_vector_kernel<search_lines<decltype(band_at)>>(isa, ratio, static_cast<double>(c0),
                                                     c0 - kReach, c0 + kReach, band_at, row_table);
}

void trace_line_down(const gradient_bands& bands, int32_t r0, int32_t c0, int32_t* row_table,
                     vector_isa isa) {
  if (!inside(bands, r0, c0)) return;
  std::vector<double> ratio;
  const int32_t span = bands.height - r0;
  for (int32_t i = r0; i < bands.height; ++i) ratio.push_back(static_cast<double>(i - r0) / span);
  row_bands band(bands, c0 - kReach, c0 + kReach);
  auto band_at = [&](size_t i) { return band(r0 + static_cast<int32_t>(i)); };
  run_vector_kernel<search_lines<decltype(band_at)>>(isa, ratio, static_cast<double>(c0),
                                                     c0 - kReach, c0 + kReach, band_at, row_table);
}

// Horizontal lines read the column sums from -kPad on (index 0 of a column).
void trace_line_left(const gradient_bands& bands, int32_t r0, int32_t c0, int32_t* column_table,
                     vector_isa isa) {
  if (!inside(bands, r0, c0)) return;
  std::vector<double> ratio;
  for (int32_t j = c0; j >= 1; --j) ratio.push_back(static_cast<double>(c0 - j) / c0);
  auto band_at = [&](size_t i) { return column_band_of(bands, c0 - static_cast<int32_t>(i)); };
  auto peak_at = [&](size_t i) { return column_peak_of(bands, c0 - static_cast<int32_t>(i)); };
  run_vector_kernel<search_lines_pruned<decltype(band_at), decltype(peak_at)>>(
      isa, ratio, static_cast<double>(r0), -gradient_bands::kPad,
      bands.height - 1 + gradient_bands::kPad, band_at, peak_at, static_cast<size_t>(bands.width),
      column_table);
}

void trace_line_right(const gradient_bands& bands, int32_t r0, int32_t c0, int32_t* column_table,
                      vector_isa isa) {
  if (!inside(bands, r0, c0)) return;
  std::vector<double> ratio;
  const int32_t span = bands.width - c0;
  for (int32_t j = c0; j < bands.width; ++j) ratio.push_back(static_cast<double>(j - c0) / span);
  auto band_at = [&](size_t i) { return column_band_of(bands, c0 + static_cast<int32_t>(i)); };
  auto peak_at = [&](size_t i) { return column_peak_of(bands, c0 + static_cast<int32_t>(i)); };
  run_vector_kernel<search_lines_pruned<decltype(band_at), decltype(peak_at)>>(
      isa, ratio, static_cast<double>(r0), -gradient_bands::kPad,
      bands.height - 1 + gradient_bands::kPad, band_at, peak_at, static_cast<size_t>(bands.width),
      column_table);
}

}  // namespace zorvel
