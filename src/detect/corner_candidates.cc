// Brightness equalisation, diagonal saddle response and the window maxima.
#include "detect/corner_candidates.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <algorithm>

namespace zorvel {

void equalize_brightness(uint8_t* red, uint8_t* green, uint8_t* blue, int64_t pixel_count) {
  if (pixel_count <= 0) return;
  // 64-bit sum: three planes of 255 overflow 32 bits above about 2.8 Mpx.
  uint64_t sum = 0;
  for (uint8_t* plane : {red, green, blue}) {
    for (int64_t i = 0; i < pixel_count; ++i) sum += plane[i];
  }
  const double mean = static_cast<double>(sum) / static_cast<double>(3 * pixel_count);
  if (mean == 0.0) return;  // black capture: nothing to scale
  const double gain = 50.0 / mean;
  // Each byte value maps to one output, so a table gives the same bytes.
  uint8_t scaled[256];
  for (int v = 0; v < 256; ++v) {
    const double product = std::trunc(static_cast<double>(v) * gain);
    scaled[v] = product >= 255.0 ? 255 : static_cast<uint8_t>(product);
  }
  for (uint8_t* plane : {red, green, blue}) {
    for (int64_t i = 0; i < pixel_count; ++i) plane[i] = scaled[plane[i]];
  }
}

saddle_candidates compute_saddle_response(const uint8_t* green, int32_t height,
                                          int32_t width) {
  saddle_candidates out;
  out.row_start.assign(static_cast<size_t>(std::max(height, 0)) + 1, 0);
  if (height < 9 || width < 9) return out;

  // Eight samples per diagonal, centre excluded; offsets k = -4 ... 4, k != 0.
  // Sums are gathered offset by offset over a whole row so the loops run
  // over contiguous bytes; integer sums do not depend on their order.
  static constexpr int kOffsets[8] = {-4, -3, -2, -1, 1, 2, 3, 4};
  const int32_t span = width - 8;  // columns 4 ... width - 5
  std::vector<int32_t> sum_a(span), sq_a(span), sum_b(span), sq_b(span);
  std::vector<double> response(span);
  for (int32_t r = 4; r <= height - 5; ++r) {
    out.row_start[r] = static_cast<int32_t>(out.cols.size());
    std::fill(sum_a.begin(), sum_a.end(), 0);
    std::fill(sq_a.begin(), sq_a.end(), 0);
    std::fill(sum_b.begin(), sum_b.end(), 0);
    std::fill(sq_b.begin(), sq_b.end(), 0);
    for (int k = 0; k < 8; ++k) {
      const uint8_t* row = green + static_cast<ptrdiff_t>(r + kOffsets[k]) * width;
      const uint8_t* a = row + 4 + kOffsets[k];  // main diagonal sample of column 4
      const uint8_t* b = row + 4 - kOffsets[k];  // anti-diagonal sample
      for (int32_t i = 0; i < span; ++i) {
        const int32_t va = a[i], vb = b[i];
        sum_a[i] += va;
        sq_a[i] += va * va;
        sum_b[i] += vb;
        sq_b[i] += vb * vb;
      }
    }
    for (int32_t i = 0; i < span; ++i) {
      const int32_t mean_a = sum_a[i] / 8, msq_a = sq_a[i] / 8;
      const int32_t mean_b = sum_b[i] / 8, msq_b = sq_b[i] / 8;
      const int32_t d = mean_a - mean_b;
      const int32_t variances = (msq_b - mean_b * mean_b) + (msq_a - mean_a * mean_a);
      response[i] = static_cast<double>(d * d) / (variances + 50.0);
      sum_a[i] = d < 0 ? -d : d;  // reused for the contrast
    }
    for (int32_t i = 0; i < span; ++i) {
      if (response[i] > 1.5) out.add(4 + i, response[i], static_cast<uint8_t>(sum_a[i]));
    }
  }
  for (int32_t r = height - 4; r <= height; ++r) out.row_start[r] = static_cast<int32_t>(out.cols.size());
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
