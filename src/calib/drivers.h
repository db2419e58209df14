// The three calibrations: L chart and flat chart, L chart only, flat chart
// only. Each brings the oriented captures to the working form, detects and
// pairs key points, runs the chart calibrations and the result step. The
// working images live inside the call.
//
// Each returns false after printing why when detection, pairing or a chart
// calibration fails; an exception from the numerics or an allocation passes
// to the caller. Debug files are written when setup.write_debug_files is set.
#pragma once

#include <cstdint>

#include "calib/calibration_model.h"
#include "detect/chart_pair.h"

namespace zorvel {

// The earlier L-only calibration a flat-only run completes, as restored from
// its interim record; the points are centred, four-column sets.
struct zorvel_l_chart_calibration {
  zorvel_stereo_model model;  // rotation, L-chart focal lengths and offsets
  float l_distance_error_percent = 0.0f;
  zorvel_key_points main_points;
  zorvel_key_points aux_points;
  int32_t point_count = 0;
};

// result.model starts from the setup's focal lengths; everything else is
// measured here.
bool calibrate_l_and_flat(const zorvel_capture_pair& l_capture,
                          const zorvel_capture_pair& flat_capture,
                          const zorvel_calibration_setup& setup, zorvel_calibration_result& result);

// Also keeps the centred L-chart pairs (dewarped aux points, not the
// rectified ones) in result for the interim record. Writes no debug file.
bool calibrate_l_only(const zorvel_capture_pair& l_capture, const zorvel_calibration_setup& setup,
                      zorvel_calibration_result& result);

bool calibrate_flat_only(const zorvel_capture_pair& flat_capture,
                         const zorvel_calibration_setup& setup, zorvel_l_chart_calibration earlier,
                         zorvel_calibration_result& result);

}  // namespace zorvel
