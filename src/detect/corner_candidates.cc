// Brightness equalisation, diagonal saddle response and the window maxima.
#include "detect/corner_candidates.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>

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

saddle_planes compute_saddle_response(const uint8_t* green, int32_t height, int32_t width) {
  saddle_planes out;
  const size_t n = static_cast<size_t>(height) * width;
  out.response.assign(n, 0.0);
  out.contrast.assign(n, 0);
  out.candidate.assign(n, 0);
  if (height < 9 || width < 9) return out;

  // Eight samples per diagonal, centre excluded; offsets k = -4 ... 4, k != 0.
  static constexpr int kOffsets[8] = {-4, -3, -2, -1, 1, 2, 3, 4};
  for (int32_t r = 4; r <= height - 5; ++r) {
    const uint8_t* rows[8];
    for (int k = 0; k < 8; ++k) rows[k] = green + static_cast<ptrdiff_t>(r + kOffsets[k]) * width;
    double* response = out.response.data() + static_cast<size_t>(r) * width;
    uint8_t* contrast = out.contrast.data() + static_cast<size_t>(r) * width;
    uint8_t* candidate = out.candidate.data() + static_cast<size_t>(r) * width;
    for (int32_t c = 4; c <= width - 5; ++c) {
      int32_t sum_a = 0, sq_a = 0, sum_b = 0, sq_b = 0;
      for (int k = 0; k < 8; ++k) {
        const int32_t a = rows[k][c + kOffsets[k]];
        const int32_t b = rows[k][c - kOffsets[k]];
        sum_a += a;
        sq_a += a * a;
        sum_b += b;
        sq_b += b * b;
      }
      const int32_t mean_a = sum_a / 8, msq_a = sq_a / 8;
      const int32_t mean_b = sum_b / 8, msq_b = sq_b / 8;
      const int32_t d = mean_a - mean_b;
      const int32_t variances = (msq_b - mean_b * mean_b) + (msq_a - mean_a * mean_a);
      const double value = static_cast<double>(d * d) / (variances + 50.0);
      response[c] = value;
      contrast[c] = static_cast<uint8_t>(std::abs(d));
      candidate[c] = value > 1.5 ? 1 : 0;
    }
  }
  return out;
}

candidate_list keep_window_maxima(saddle_planes& planes, int32_t height, int32_t width,
                                  const corner_window& window,
                                  std::vector<uint8_t>& key_point_map) {
  candidate_list list;
  const size_t capacity = static_cast<size_t>(window.list_capacity);
  list.rows.reserve(capacity);
  list.cols.reserve(capacity);
  list.contrasts.reserve(capacity);
  const double* response = planes.response.data();
  uint8_t* flags = planes.candidate.data();
  const int32_t last_row = height - window.last_row_back;
  const int32_t last_col = width - window.last_col_back;
  for (int32_t r = window.first_row; r <= last_row; ++r) {
    for (int32_t c = window.first_col; c <= last_col; ++c) {
      if (flags[static_cast<size_t>(r) * width + c] == 0) continue;
      // First strictly largest response of the window, raster order, from 0.
      // The window stays inside the image for every visited centre.
      double best = 0.0;
      int32_t best_r = r, best_c = c;
      for (int32_t wr = r - window.before; wr <= r + window.after; ++wr) {
        const size_t row = static_cast<size_t>(wr) * width;
        for (int32_t wc = c - window.before; wc <= c + window.after; ++wc) {
          if (response[row + wc] > best) {
            best = response[row + wc];
            best_r = wr;
            best_c = wc;
          }
          flags[row + wc] = 0;
        }
      }
      const size_t at = static_cast<size_t>(best_r) * width + best_c;
      key_point_map[at] = 1;
      // The map keeps every maximum; the list stops growing when full.
      if (list.rows.size() < capacity) {
        list.rows.push_back(best_r);
        list.cols.push_back(best_c);
        list.contrasts.push_back(static_cast<double>(planes.contrast[at]));
      }
    }
  }
  return list;
}

}  // namespace zorvel
