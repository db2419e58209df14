// Disparity statistics of matched key points once the aux corners are mapped
// into the main camera's frame: spreads, deviations, percentiles (tenths of a
// pixel in bytes), a 3 x 3 zone map and the confined scale error.
#pragma once

#include <cstdint>

#include "detect/chart_pair.h"
#include "driver/context.h"

namespace zorvel {

inline constexpr const char* kNoPointsInMetricFov =
    "Warning: no key points inside the metric field of view\n";

// main_pair's main set and aux_pair's aux set hold n matched points (main y,
// x centre-relative); rect_rows / rect_cols are the aux corners mapped into
// the main frame (centre-relative pixels). Results go into context.
void disparity_metrics(const zorvel_chart_pair& main_pair, const zorvel_chart_pair& aux_pair,
                       const double* rect_rows, const double* rect_cols,
                       zorvel_calib_context& context, int32_t n);

// RMS of vd and hd per zone of a 3 x 3 grid over a width x height image;
// x, y centre-relative. Zone k = 3 * column band + row band; empty zones give 0.
void zone_rms(const double* vd, const double* hd, const int32_t* x, const int32_t* y, int32_t n,
              int32_t width, int32_t height, double vd_zones[9], double hd_zones[9]);

// Index of fraction f in a sorted list of m values: trunc(floor(f * m)) in
// single precision, m - 1 when that is not below m (both modulo 65536).
int32_t percentile_index(float f, int32_t m);

}  // namespace zorvel
