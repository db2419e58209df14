// The geometric correction of the flat-chart calibration, fitted from paired
// key points whose coordinates are already centred on their images.
#pragma once

#include <cstdint>

#include "detect/chart_pair.h"
#include "driver/context.h"

namespace zorvel {

inline constexpr const char* kFlatChartTooFewPoints =
    "Flat chart calibration failed: too few central key points\n";

// Maps the n aux points through inverse(rot) with focal length fm at depth fa,
// fits the residual column and row corrections into geo (18 floats, the rest
// 0), their inverse into geo_out and sets rms_vd_center_flat. Returns false
// after printing kFlatChartTooFewPoints when fewer than 3 points lie in the
// central 9 x 7 block (|Xw| <= 4, |Yw| <= 3 on the aux side).
bool fit_flat_chart_correction(zorvel_calib_context& context, const zorvel_key_points& main,
                               const zorvel_key_points& aux, int32_t n, int32_t aux_height,
                               int32_t aux_width, float fm, float fa);

}  // namespace zorvel
