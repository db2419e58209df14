// Labelling scans along the traced grid lines. Every band and map access is
// clipped to the image: a line through a corner near the edge can leave it.
#include "detect/grid_labelling.h"

#include <algorithm>
#include <cstddef>

namespace zorvel {
namespace {

constexpr int32_t kMinStep = 10;        // first scan line 10 pixels from the corner
constexpr int32_t kHalfSearch = 10;     // 21-pixel search band across the line
constexpr int32_t kRowBorder = 50;      // vertical scans stay 50 rows from the edges
constexpr int32_t kColBorder = 51;      // horizontal scans stop at column 51 / width - 51
constexpr int32_t kMaxEmptyColumns = 500;
constexpr int32_t kSecondOriginHalfRows = 30;

class grid_labeller {
 public:
  grid_labeller(std::vector<uint8_t>& map, const gradient_bands& bands, zorvel_key_points& set)
      : map_(map),
        bands_(bands),
        set_(set),
        height_(bands.height),
        width_(bands.width),
        capacity_(static_cast<int32_t>(std::min({set.y.size(), set.x.size(), set.Yw.size(),
                                                 set.Xw.size()}))),
        row_table_(static_cast<size_t>(std::max(height_, 1)), 0),
        column_table_(static_cast<size_t>(std::max(width_, 1)), 0) {}

  int32_t count() const { return count_; }
  bool full() const { return count_ >= capacity_; }

  bool append(int32_t y, int32_t x, int32_t yw, int32_t xw) {
    if (full()) return false;
    set_.y[count_] = y;
    set_.x[count_] = x;
    set_.Yw[count_] = yw;
    set_.Xw[count_] = xw;
    ++count_;
    return true;
  }

  // Steps up and down the vertical line through entry k; Xw = 0.
  void scan_vertical(int32_t k) {
    const int32_t r0 = set_.y[k], c0 = set_.x[k];
    trace_line_up(bands_, r0, c0, row_table_.data());
    int32_t label = -1;
    for (int32_t r = r0 - kMinStep; r >= kRowBorder && !full(); --r) {
      const int32_t col = take_in_row(r, row_table_[r]);
      if (col >= 0) append(r, col, label--, 0);
    }
    trace_line_down(bands_, r0, c0, row_table_.data());
    label = 1;
    for (int32_t r = r0 + kMinStep; r <= height_ - kRowBorder - 1 && !full(); ++r) {
      const int32_t col = take_in_row(r, row_table_[r - r0]);
      if (col >= 0) append(r, col, label++, 0);
    }
  }

  // Scan along the horizontal line through entry k, leftwards (direction -1,
  // Xw = -1, -2, ...) or rightwards (+1, Xw = +1, +2, ...).
  void scan_horizontal(int32_t k, int32_t direction) {
    const int32_t r0 = set_.y[k], c0 = set_.x[k], yw = set_.Yw[k];
    int32_t label = direction;
    int32_t empty = 0;
    if (direction < 0) {
      trace_line_left(bands_, r0, c0, column_table_.data());
      for (int32_t c = c0 - kMinStep; c >= kColBorder && !full(); --c) {
        if (empty == kMaxEmptyColumns) break;
        const int32_t row = take_in_column(column_table_[c0 - c], c);
        if (row < 0) {
          ++empty;
          continue;
        }
        empty = 0;
        append(row, c, yw, label--);
      }
    } else {
      trace_line_right(bands_, r0, c0, column_table_.data());
      for (int32_t c = c0 + kMinStep; c <= width_ - kColBorder && !full(); ++c) {
        if (empty == kMaxEmptyColumns) break;
        const int32_t row = take_in_column(column_table_[c - c0], c);
        if (row < 0) {
          ++empty;
          continue;
        }
        empty = 0;
        append(row, c, yw, label++);
      }
    }
  }

  // Second corner column right of the origin, following the corners' rows
  // within +-30; false when the scan reaches the right edge first.
  bool find_second_origin(pixel_position origin, pixel_position& second) const {
    int32_t ref = origin.row;
    int32_t finds = 0;
    for (int32_t c = origin.col + kMinStep; c < width_; ++c) {
      const int32_t top = std::max(ref - kSecondOriginHalfRows, 0);
      const int32_t bottom = std::min(ref + kSecondOriginHalfRows, height_ - 1);
      for (int32_t r = top; r <= bottom; ++r) {
        if (map_[static_cast<size_t>(r) * width_ + c] == 0) continue;
        ref = r;
        if (++finds == 2) {
          second = {r, c};
          return true;
        }
        break;
      }
    }
    return false;
  }

 private:
  // Leftmost map pixel of row r within col +-10; clears that band.
  int32_t take_in_row(int32_t r, int32_t col) {
    const int32_t lo = std::max(col - kHalfSearch, 0);
    const int32_t hi = std::min(col + kHalfSearch, width_ - 1);
    uint8_t* row = map_.data() + static_cast<size_t>(r) * width_;
    for (int32_t c = lo; c <= hi; ++c) {
      if (row[c] == 0) continue;
      std::fill(row + lo, row + hi + 1, 0);
      return c;
    }
    return -1;
  }

  // Topmost map pixel of column c within row +-10; clears that band.
  int32_t take_in_column(int32_t row, int32_t c) {
    const int32_t lo = std::max(row - kHalfSearch, 0);
    const int32_t hi = std::min(row + kHalfSearch, height_ - 1);
    for (int32_t r = lo; r <= hi; ++r) {
      if (map_[static_cast<size_t>(r) * width_ + c] == 0) continue;
      for (int32_t k = lo; k <= hi; ++k) map_[static_cast<size_t>(k) * width_ + c] = 0;
      return r;
    }
    return -1;
  }

  std::vector<uint8_t>& map_;
  const gradient_bands& bands_;
  zorvel_key_points& set_;
  int32_t height_;
  int32_t width_;
  int32_t capacity_;
  int32_t count_ = 0;  // entries written, including the uncounted last one
  std::vector<int32_t> row_table_;
  std::vector<int32_t> column_table_;
};

// The right board's entries (from the second origin on) get Xw + 1 and
// Zw = Xw; the left board's entries Zw = 0.
void assign_depth_labels(zorvel_key_points& set, int32_t count) {
  const bool has_depth = set.Zw.size() >= static_cast<size_t>(count);
  int32_t second = count;
  for (int32_t e = 1; e < count; ++e) {
    if (set.Yw[e] == 0 && set.Xw[e] == 0) {
      second = e;
      break;
    }
  }
  for (int32_t e = 0; e < count; ++e) {
    if (e >= second) set.Xw[e] += 1;
    if (has_depth) set.Zw[e] = e < second ? 0 : set.Xw[e];
  }
}

}  // namespace

int32_t label_grid(std::vector<uint8_t>& key_point_map, const gradient_bands& bands,
                   pixel_position origin, chart_kind kind, zorvel_key_points& set) {
  grid_labeller labeller(key_point_map, bands, set);
  pixel_position second;
  if (kind == chart_kind::l_chart && !labeller.find_second_origin(origin, second)) {
    return kNoSecondOrigin;
  }
  if (!labeller.append(origin.row, origin.col, 0, 0)) return 0;
  labeller.scan_vertical(0);
  const int32_t first_line = labeller.count();
  for (int32_t k = 0; k < first_line; ++k) labeller.scan_horizontal(k, -1);
  if (kind == chart_kind::flat) {
    for (int32_t k = 0; k < first_line; ++k) labeller.scan_horizontal(k, +1);
    return labeller.count() - 1;
  }
  const int32_t second_index = labeller.count();
  if (labeller.append(second.row, second.col, 0, 0)) {
    labeller.scan_vertical(second_index);
    const int32_t second_line = labeller.count();
    for (int32_t k = second_index; k < second_line; ++k) labeller.scan_horizontal(k, +1);
  }
  // The last appended entry lies past the counted set and keeps its labels.
  const int32_t result = labeller.count() - 1;
  assign_depth_labels(set, result);
  return result;
}

}  // namespace zorvel
