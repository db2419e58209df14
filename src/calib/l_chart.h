// L-chart calibration: the rotation of the aux camera against the main camera
// and the main focal length from paired L-chart corners, plus the relative
// angles. Points are (row, column) of the 1280-pixel working images; every
// 3-vector is (row, column, depth); 3 x 3 matrices are 9 doubles, row-major.
#pragma once

#include <cstdint>

#include "detect/chart_pair.h"
#include "driver/context.h"
#include "numerics/matrix.h"
#include "numerics/relative_angles.h"

namespace zorvel {

inline constexpr const char* kLChartTooFewPoints =
    "L chart calibration failed: too few paired key points\n";

// Estimates rot (main -> aux, its inverse maps aux rays into the main camera),
// main_focal_length and rms_vd_center_l from n paired points. Centres both
// input sets in place and writes the rotation-only rectified aux points (with
// the aux labels) into out. Returns 0, or -1 after printing
// kLChartTooFewPoints when fewer than 6 pairs are given, the centre line has
// no span, or no pair precedes the highest centre-line point.
int calibrate_l_chart(zorvel_key_points& main_points, zorvel_key_points& aux_points,
                      zorvel_key_points& out_points, int32_t n, int32_t main_width,
                      int32_t aux_width, int32_t main_height, int32_t aux_height,
                      zorvel_calib_context& context);

// h = unit eigenvector of rows^T rows (rows: n x 6) for its smallest
// eigenvalue, signed so that h[0] >= 0.
void solve_homogeneous6(const zorvel_matrix& rows, int32_t n, double h[6]);

// relative_angles of context.rot into the three angle fields.
void store_relative_angles(zorvel_calib_context& context);

// L-only results: distance error of pair 0 (main set of l_pair, rectified aux
// set of rectified_pair, both centred) and the relative angles.
void l_only_results(zorvel_calib_context& context, const zorvel_chart_pair& l_pair,
                    const zorvel_chart_pair& rectified_pair, int32_t n);

// Keeps the first min(n, 200) centred pairs (16-bit coordinates and 8-bit
// labels, saturated) in the context for the interim record.
void store_l_chart_points(zorvel_calib_context& context, const zorvel_key_points& main_points,
                          const zorvel_key_points& aux_points, int32_t n);

// |f * baseline / (aux column - main column)| and its deviation from the
// nominal distance in percent, in double precision.
double distance_error_percent(double focal_px, double baseline_mm, double aux_column,
                              double main_column, double nominal_mm);

}  // namespace zorvel
