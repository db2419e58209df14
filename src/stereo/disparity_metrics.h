// Disparity statistics of matched key points once the aux corners are mapped
// into the main camera's frame: spreads, deviations, percentiles (tenths of a
// pixel in bytes), a 3 x 3 zone map and the confined scale error.
#pragma once

#include <cstdint>
#include <cstdio>

#include "detect/chart_pair.h"

namespace zorvel {

// Which corners the percentile metrics use.
struct zorvel_metric_settings {
  uint8_t percentage_fov_for_metric_calculation = 0;  // central share of each axis, percent
  uint8_t percentile_for_variation_in_disparity = 0;  // 0..100
};

// Disparity statistics of one chart. VD and HD are the absolute row and
// column differences in pixels; bytes hold tenths of a pixel, saturated.
struct zorvel_disparity_metrics {
  float max_hd_delta = 0.0f;  // largest minus smallest HD
  float vd_delta = 0.0f;      // largest minus smallest VD
  float hd_stdev = 0.0f;      // population deviations
  float vd_stdev = 0.0f;
  float mean_disparity = 0.0f;  // mean HD of the 5 x 5 corners round the origin; 100000 if none
  uint8_t vd_p95_tenths = 0;
  uint8_t hd_p95_tenths = 0;  // HD relative to its minimum, as all HD percentiles
  uint8_t vd_p80_tenths = 0;
  uint8_t hd_p80_tenths = 0;
  uint8_t vd_p90_tenths = 0;
  uint8_t hd_spread_tenths = 0;  // 95th minus 5th percentile
  uint8_t vd_rms_zoned[9] = {};  // 3 x 3 zones, tenths
  int8_t hd_rms_zoned[9] = {};   // tenths of (zone RMS - mean_disparity)
  uint8_t vd_percentile_metric = 0;  // inside the metric field of view
  uint8_t hd_percentile_metric = 0;
};

inline constexpr const char* kNoPointsInMetricFov =
    "Warning: no key points inside the metric field of view\n";

// main_pair's main set and aux_pair's aux set hold n matched points (main y,
// x centre-relative); rect_rows / rect_cols are the aux corners mapped into
// the main frame (centre-relative pixels). Also prints the confined scale
// error of the central corners.
zorvel_disparity_metrics disparity_metrics(const zorvel_chart_pair& main_pair,
                                           const zorvel_chart_pair& aux_pair,
                                           const double* rect_rows, const double* rect_cols,
                                           int32_t n, const zorvel_metric_settings& settings);

// title, then the nine zone values in tenths as three lines of "  %f".
void print_zone_map(std::FILE* out, const char* title, const uint8_t zones[9]);
void print_zone_map(std::FILE* out, const char* title, const int8_t zones[9]);

// RMS of vd and hd per zone of a 3 x 3 grid over a width x height image;
// x, y centre-relative. Zone k = 3 * column band + row band; empty zones give 0.
void zone_rms(const double* vd, const double* hd, const int32_t* x, const int32_t* y, int32_t n,
              int32_t width, int32_t height, double vd_zones[9], double hd_zones[9]);

// Index of fraction f in a sorted list of m values: trunc(floor(f * m)) in
// single precision, m - 1 when that is not below m (both modulo 65536).
int32_t percentile_index(float f, int32_t m);

}  // namespace zorvel
