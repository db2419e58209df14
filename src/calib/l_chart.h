// L-chart calibration: the rotation of the aux camera against the main camera
// and the main focal length from paired L-chart corners, plus the relative
// angles. Points are (row, column) of the 1280-pixel working images; every
// 3-vector is (row, column, depth); 3 x 3 matrices are 9 doubles, row-major.
#pragma once

#include <cstdint>

#include "calib/calibration_model.h"
#include "detect/chart_pair.h"
#include "numerics/matrix.h"
#include "numerics/relative_angles.h"

namespace zorvel {

inline constexpr const char* kLChartTooFewPoints =
    "L chart calibration failed: too few paired key points\n";

// Estimates result.model.rot (main -> aux, its inverse maps aux rays into the
// main camera), result.model.main_focal_px and result.rms_vd_center_l from
// the first n pairs of l_pair's two sets. Centres both sets in place and
// writes the rotation-only rectified aux points (with the aux labels) into
// out. False after printing kLChartTooFewPoints when fewer than 6 pairs are
// given, the centre line has no span, or no pair precedes the highest
// centre-line point.
bool calibrate_l_chart(zorvel_chart_pair& l_pair, zorvel_key_points& out_points, int32_t n,
                       const zorvel_calibration_setup& setup, zorvel_calibration_result& result);

// h = unit eigenvector of rows^T rows (rows: n x 6) for its smallest
// eigenvalue, signed so that h[0] >= 0.
void solve_homogeneous6(const zorvel_matrix& rows, int32_t n, double h[6]);

// L-only results: distance error of pair 0 (main set of l_pair, rectified aux
// set of rectified_pair, both centred) and the relative angles.
void l_only_results(const zorvel_calibration_setup& setup, const zorvel_chart_pair& l_pair,
                    const zorvel_chart_pair& rectified_pair, zorvel_calibration_result& result);

// |f * baseline / (aux column - main column)| and its deviation from the
// nominal distance in percent, in double precision.
double distance_error_percent(double focal_px, double baseline_mm, double aux_column,
                              double main_column, double nominal_mm);

}  // namespace zorvel
