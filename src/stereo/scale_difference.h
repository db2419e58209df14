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

// Where the factor 100 enters the mean. The two roundings differ in the last
// bits and each run has always printed and stored its own, so both stay.
enum class zorvel_percent_order {
  per_column,  // (1 / c_B) * sum of |1 - B_j / A_j| * 100: the calibration
  of_mean,     // sum of |1 - B_j / A_j| / c_B * 100: the verification
};

// Mean relative difference of the column lengths in percent, over the c_B
// qualifying aux columns in index order: the j-th aux column is compared with
// the j-th main column whatever their labels. An aux column without a main
// counterpart counts as a zero main length (infinite difference).
zorvel_scale_difference scale_difference(
    const zorvel_key_points& main_points, const zorvel_key_points& aux_points, int32_t n,
    int32_t min_count, zorvel_percent_order order = zorvel_percent_order::per_column);

}  // namespace zorvel
