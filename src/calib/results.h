// Calibration results: the aux corners of both charts mapped through the
// complete model (rotation, focal lengths, correction geo) into the main image,
// and the figures the calibration run judges. Coordinates are centred pixels.
#pragma once

#include <cstdint>

#include "calib/calibration_model.h"
#include "detect/chart_pair.h"

namespace zorvel {

// L+flat mode. l_pair / flat_pair are the dewarped pairs, l_rect_pair /
// flat_work_pair the second pairs (rotation-only rectified L aux points;
// flat aux points); n_L and n_F are the pair counts. Overwrites the aux points
// of l_pair and flat_work_pair with the projected (truncated) coordinates.
void l_and_flat_results(const zorvel_calibration_setup& setup, zorvel_chart_pair& l_pair,
                        const zorvel_chart_pair& flat_pair, zorvel_chart_pair& l_rect_pair,
                        zorvel_chart_pair& flat_work_pair, int32_t n_L, int32_t n_F,
                        zorvel_calibration_result& result);

// Flat-only mode. stored_main / stored_aux are the L-chart points of the
// interim record (k of them, centred); the aux points are overwritten.
void flat_only_results(const zorvel_calibration_setup& setup, const zorvel_key_points& stored_main,
                       zorvel_key_points& stored_aux, int32_t k,
                       const zorvel_chart_pair& flat_pair, zorvel_chart_pair& flat_work_pair,
                       int32_t n_F, zorvel_calibration_result& result);

}  // namespace zorvel
