// The geometric correction of the flat-chart calibration, fitted from paired
// key points whose coordinates are already centred on their images.
#pragma once

#include <cstdint>

#include "calib/calibration_model.h"
#include "detect/chart_pair.h"

namespace zorvel {

inline constexpr const char* kFlatChartTooFewPoints =
    "Flat chart calibration failed: too few central key points\n";

// Focal lengths at the flat chart's focus, working pixels.
struct zorvel_flat_focal_lengths {
  float main_px = 0.0f;
  float aux_px = 0.0f;
};

// The L-chart focal lengths of model scaled by each camera's flat / L ratio.
zorvel_flat_focal_lengths flat_focal_lengths(const zorvel_calibration_setup& setup,
                                             const zorvel_stereo_model& model);

// Maps the n aux points through inverse(rot) at the flat-chart focal lengths
// and fits the residual column and row corrections into result.model.geo (18
// floats, the rest 0) and their inverse into result.image_correction. The
// sizes are the aux capture's working size. False after printing
// kFlatChartTooFewPoints when fewer than 3 points lie in the central 9 x 7
// block (|Xw| <= 4, |Yw| <= 3 on the aux side).
bool fit_flat_chart_correction(const zorvel_calibration_setup& setup,
                               const zorvel_key_points& main, const zorvel_key_points& aux,
                               int32_t n, int32_t aux_height, int32_t aux_width,
                               zorvel_calibration_result& result);

}  // namespace zorvel
