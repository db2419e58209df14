// Flat-chart calibration: with the rotation and focal lengths known, maps the
// aux corners into the main image and fits the residual geometric correction
// (two nine-term cubics of the normalised aux position) that rectification uses.
#pragma once

#include <cstdint>

#include "calib/flat_chart_fit.h"
#include "calib/calibration_model.h"
#include "detect/chart_pair.h"

namespace zorvel {

// Thin-lens ratio D / (D - f) at distance D (mm) for focal length f (mm), in
// single precision; 1.0 when D - f or f is 0 or the ratio leaves [0.95, 1.035].
float fl_ratio_at_distance(float distance_mm, float focal_mm);

// flat_pair: normalised and dewarped; work_pair receives flat_pair's aux
// planes. Detects, pairs and centres the points (flat_pair main set,
// work_pair aux set) and fits the correction into result. Returns the number
// of pairs, or 0 after printing why: a detection found nothing, fewer than 9
// pairs were found, or fewer than 3 of them lie in the central 9 x 7 block.
int32_t calibrate_flat_chart(const zorvel_calibration_setup& setup, zorvel_chart_pair& flat_pair,
                             zorvel_chart_pair& work_pair, zorvel_calibration_result& result);

}  // namespace zorvel
