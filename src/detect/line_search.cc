// Band-sum tables of the gradient energies and the four line searches.
#include "detect/line_search.h"

#include <algorithm>
#include <cstddef>

namespace zorvel {
namespace {

constexpr int32_t kSlopeCount = 400;  // slopes -200 ... 199
constexpr int32_t kSlopeFirst = -200;
constexpr int32_t kHalfBand = 5;      // 11-pixel band

int32_t squared_difference(int32_t a, int32_t b) { return (a - b) * (a - b); }

// One search: position i of the line lies at trunc(ratio[i] * s + origin)
// across the traced direction, and contributes band[i][that position].
struct line_family {
  std::vector<double> ratio;
  std::vector<const int32_t*> band;  // already offset by the pad
  double origin = 0.0;
};

// Scores every slope and writes the best line's positions to table[i]. The
// first strictly best score above 0 wins, as a running best from 0 would pick.
void search_lines(const line_family& family, int32_t* table) {
  const size_t count = family.ratio.size();
  int64_t score[kSlopeCount] = {};
  int32_t position[kSlopeCount];
  double slope[kSlopeCount];
  for (int32_t s = 0; s < kSlopeCount; ++s) slope[s] = static_cast<double>(kSlopeFirst + s);
  for (size_t i = 0; i < count; ++i) {
    const double ratio = family.ratio[i];
    const double origin = family.origin;
    for (int32_t s = 0; s < kSlopeCount; ++s) {
      position[s] = static_cast<int32_t>(ratio * slope[s] + origin);
    }
    const int32_t* band = family.band[i];
    for (int32_t s = 0; s < kSlopeCount; ++s) score[s] += band[position[s]];
  }
  int64_t best = 0;
  int32_t best_slope = -1;
  for (int32_t s = 0; s < kSlopeCount; ++s) {
    if (score[s] > best) {
      best = score[s];
      best_slope = s;
    }
  }
  if (best_slope < 0) return;
  for (size_t i = 0; i < count; ++i) {
    table[i] = static_cast<int32_t>(family.ratio[i] * slope[best_slope] + family.origin);
  }
}

bool inside(const gradient_bands& bands, int32_t r0, int32_t c0) {
  return r0 >= 0 && r0 < bands.height && c0 >= 0 && c0 < bands.width;
}

const int32_t* row_band_of(const gradient_bands& bands, int32_t row) {
  return bands.row_band.data() + static_cast<size_t>(row) * bands.row_stride +
         gradient_bands::kPad;
}

const int32_t* column_band_of(const gradient_bands& bands, int32_t col) {
  return bands.column_band.data() + static_cast<size_t>(col) * bands.column_stride +
         gradient_bands::kPad;
}

}  // namespace

gradient_bands compute_gradient_bands(const uint8_t* green, int32_t height, int32_t width) {
  gradient_bands bands;
  if (height <= 0 || width <= 0) return bands;
  bands.height = height;
  bands.width = width;
  const int32_t pad = gradient_bands::kPad;

  // Rows: prefix sums of Eh along each row give every clipped band directly.
  bands.row_stride = width + 2 * pad;
  bands.row_band.assign(static_cast<size_t>(height) * bands.row_stride, 0);
  std::vector<int64_t> prefix(static_cast<size_t>(width) + 1, 0);
  for (int32_t r = 0; r < height; ++r) {
    const uint8_t* g = green + static_cast<size_t>(r) * width;
    for (int32_t c = 0; c < width; ++c) {
      const int32_t e = (c >= 2 && c <= width - 3) ? squared_difference(g[c - 2], g[c + 2]) : 0;
      prefix[c + 1] = prefix[c] + e;
    }
    int32_t* out = bands.row_band.data() + static_cast<size_t>(r) * bands.row_stride + pad;
    const int32_t first = std::max(-kHalfBand, -pad);
    const int32_t last = std::min(width - 1 + kHalfBand, width + pad - 1);
    for (int32_t c = first; c <= last; ++c) {
      const int32_t lo = std::max(c - kHalfBand, 0);
      const int32_t hi = std::min(c + kHalfBand, width - 1);
      out[c] = static_cast<int32_t>(prefix[hi + 1] - prefix[lo]);
    }
  }

  // Columns: sliding 11-row sums of Ev, computed row by row and stored
  // transposed so a horizontal line reads one column's sums contiguously.
  bands.column_stride = height + 2 * pad;
  bands.column_band.assign(static_cast<size_t>(width) * bands.column_stride, 0);
  const int32_t first_row = 10, last_row = height - 10;
  if (first_row > last_row) return bands;
  auto ev_row = [&](int32_t r, int32_t* out) {
    if (r < 2 || r > height - 3) {
      std::fill(out, out + width, 0);
      return;
    }
    const uint8_t* up = green + static_cast<size_t>(r - 2) * width;
    const uint8_t* down = green + static_cast<size_t>(r + 2) * width;
    for (int32_t c = 0; c < width; ++c) out[c] = squared_difference(up[c], down[c]);
  };
  // Ev rows first_row - 5 ... last_row + 5 are all inside the image.
  const int32_t ev_first = first_row - kHalfBand;
  const int32_t ev_rows = last_row + kHalfBand - ev_first + 1;
  std::vector<int32_t> ev(static_cast<size_t>(ev_rows) * width);
  for (int32_t k = 0; k < ev_rows; ++k) ev_row(ev_first + k, ev.data() + static_cast<size_t>(k) * width);
  std::vector<int32_t> window(static_cast<size_t>(width), 0);
  for (int32_t k = 0; k < 2 * kHalfBand + 1; ++k) {
    const int32_t* e = ev.data() + static_cast<size_t>(k) * width;
    for (int32_t c = 0; c < width; ++c) window[c] += e[c];
  }
  // Transposed writes in blocks of rows keep the column runs in cache.
  constexpr int32_t kBlock = 32;
  std::vector<int32_t> block(static_cast<size_t>(kBlock) * width);
  for (int32_t r0 = first_row; r0 <= last_row; r0 += kBlock) {
    const int32_t rows = std::min(kBlock, last_row - r0 + 1);
    for (int32_t k = 0; k < rows; ++k) {
      const int32_t r = r0 + k;
      if (r > first_row) {
        const int32_t* add = ev.data() + static_cast<size_t>(r + kHalfBand - ev_first) * width;
        const int32_t* sub = ev.data() + static_cast<size_t>(r - kHalfBand - 1 - ev_first) * width;
        for (int32_t c = 0; c < width; ++c) window[c] += add[c] - sub[c];
      }
      std::copy(window.begin(), window.end(), block.begin() + static_cast<ptrdiff_t>(k) * width);
    }
    for (int32_t c = 0; c < width; ++c) {
      int32_t* out = bands.column_band.data() + static_cast<size_t>(c) * bands.column_stride + pad + r0;
      for (int32_t k = 0; k < rows; ++k) out[k] = block[static_cast<size_t>(k) * width + c];
    }
  }
  return bands;
}

void trace_line_up(const gradient_bands& bands, int32_t r0, int32_t c0, int32_t* row_table) {
  if (!inside(bands, r0, c0) || r0 == 0) return;
  line_family family;
  family.origin = c0;
  for (int32_t i = 0; i <= r0; ++i) {
    family.ratio.push_back(static_cast<double>(r0 - i) / r0);
    family.band.push_back(row_band_of(bands, i));
  }
  search_lines(family, row_table);
}

void trace_line_down(const gradient_bands& bands, int32_t r0, int32_t c0, int32_t* row_table) {
  if (!inside(bands, r0, c0)) return;
  line_family family;
  family.origin = c0;
  const int32_t span = bands.height - r0;
  for (int32_t i = r0; i < bands.height; ++i) {
    family.ratio.push_back(static_cast<double>(i - r0) / span);
    family.band.push_back(row_band_of(bands, i));
  }
  search_lines(family, row_table);
}

void trace_line_left(const gradient_bands& bands, int32_t r0, int32_t c0,
                     int32_t* column_table) {
  if (!inside(bands, r0, c0)) return;
  line_family family;
  family.origin = r0;
  for (int32_t j = c0; j >= 1; --j) {
    family.ratio.push_back(static_cast<double>(c0 - j) / c0);
    family.band.push_back(column_band_of(bands, j));
  }
  search_lines(family, column_table);
}

void trace_line_right(const gradient_bands& bands, int32_t r0, int32_t c0,
                      int32_t* column_table) {
  if (!inside(bands, r0, c0)) return;
  line_family family;
  family.origin = r0;
  const int32_t span = bands.width - c0;
  for (int32_t j = c0; j < bands.width; ++j) {
    family.ratio.push_back(static_cast<double>(j - c0) / span);
    family.band.push_back(column_band_of(bands, j));
  }
  search_lines(family, column_table);
}

}  // namespace zorvel
