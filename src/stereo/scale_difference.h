// Scale difference between two cameras from the pixel lengths of the chart's
// grid columns: each column runs from its topmost to its bottommost corner.
#pragma once

#include <cstdint>
#include <vector>

#include "detect/chart_pair.h"

namespace zorvel {

// Appends to lengths, in increasing Xw label order, the top-to-bottom length
// (pixels) of every grid column holding more than min_count of the n points
// (y, x and Xw are used). Returns the number of lengths appended.
int32_t grid_column_lengths(const zorvel_key_points& points, int32_t n,
                            std::vector<double>& lengths, int32_t min_count);

struct zorvel_scale_difference {
  double percent = 0.0;     // NaN when the aux side has no qualifying column
  int32_t aux_columns = 0;  // c_B
};

// (1 / c_B) * sum over j < c_B of |1 - B_j / A_j| * 100, in index order: the
// j-th aux column is compared with the j-th main column whatever their
// labels. An aux column without a main counterpart counts as a zero main
// length (infinite difference).
zorvel_scale_difference scale_difference(const zorvel_key_points& main_points,
                                         const zorvel_key_points& aux_points, int32_t n,
                                         int32_t min_count);

}  // namespace zorvel
