// Flat-chart calibration: with the rotation and focal lengths known, maps the
// aux corners into the main image and fits the residual geometric correction
// (two nine-term cubics of the normalised aux position) that rectification uses.
#pragma once

#include <cstdint>

#include "calib/flat_chart_fit.h"
#include "detect/chart_pair.h"
#include "driver/context.h"

namespace zorvel {

// Thin-lens ratio D / (D - f) at distance D (mm) for focal length f (mm), in
// single precision; 1.0 when D - f or f is 0 or the ratio leaves [0.95, 1.035].
float fl_ratio_at_distance(float distance_mm, float focal_mm);

// flat_pair: normalised and dewarped; work_pair: normalised only (its aux
// planes are replaced by flat_pair's). Detects, pairs and centres the points
// (flat_pair main set, work_pair aux set), fills geo, geo_out and
// rms_vd_center_flat. Returns the number n of pairs; -1 when a detection found
// nothing; 0 (after printing kFlatChartTooFewPoints) when fewer than 9 pairs
// were found or fewer than 3 of them lie in the central 9 x 7 fit block.
int32_t calibrate_flat_chart(zorvel_calib_context& context, zorvel_chart_pair& flat_pair,
                             zorvel_chart_pair& work_pair);

}  // namespace zorvel
