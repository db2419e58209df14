// First half of corner detection on one working image: brightness
// equalisation, the diagonal saddle test on the green plane and one maximum
// per neighbourhood. Planes are row-major, height x width bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "common/vector_isa.h"

namespace zorvel {

// Geometry of one detector: the centres visited by the maximum search
// (inclusive, relative to the image size) and the window around each centre.
struct corner_window {
  int32_t first_row;         // centre rows first_row ... height - last_row_back
  int32_t last_row_back;
  int32_t first_col;         // centre columns first_col ... width - last_col_back
  int32_t last_col_back;
  int32_t before;            // window spans centre - before ... centre + after
  int32_t after;
  int32_t list_capacity;     // candidate list entries
};

inline constexpr corner_window kLChartWindow{100, 99, 100, 100, 9, 9, 500};
inline constexpr corner_window kFlatChartWindow{10, 10, 10, 10, 9, 7, 1200};

// Scales every byte by 50 / mean over the three planes, saturating at 255.
// A black capture (mean 0) is left unchanged.
void equalize_brightness(uint8_t* red, uint8_t* green, uint8_t* blue, int64_t pixel_count);

// Pixels of the green plane whose saddle response exceeds 1.5, row by row
// in raster order. Only these can be the strongest pixel of a window (the
// window's own centre already exceeds 1.5), so the weaker responses are not
// kept. Rows and columns 4 ... size - 5 are scored; contrast = |meanA - meanB|.
struct saddle_candidates {
  std::vector<int32_t> row_start;  // height + 1 offsets into the columns below
  std::vector<int32_t> cols;
  std::vector<double> response;
  std::vector<uint8_t> contrast;
  std::vector<uint8_t> flagged;    // cleared by the maximum search
  void add(int32_t col, double value, uint8_t contrast_value) {
    cols.push_back(col);
    response.push_back(value);
    contrast.push_back(contrast_value);
    flagged.push_back(1);
  }
};
saddle_candidates compute_saddle_response(const uint8_t* green, int32_t height, int32_t width,
                                          vector_isa isa = best_vector_isa());

// The corners kept by the maximum search, in the order they were found.
struct candidate_list {
  std::vector<int32_t> rows;
  std::vector<int32_t> cols;
  std::vector<double> contrasts;
  int32_t count() const { return static_cast<int32_t>(rows.size()); }
};

// Visits the flagged centres in raster order, keeps the strongest response of
// each window in key_point_map (1 = corner) and appends it to the list while
// the list has room. Clears the flags it consumes.
candidate_list keep_window_maxima(saddle_candidates& candidates, int32_t height, int32_t width,
                                  const corner_window& window,
                                  std::vector<uint8_t>& key_point_map);

}  // namespace zorvel
