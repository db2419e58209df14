// The three calibration drivers: L chart and flat chart, L chart only, flat
// chart only. Each brings the oriented captures to the working form, detects
// and pairs key points, runs the chart calibrations and the result step, and
// leaves every result in the run record.
//
// Ownership: the caller (the calibration run) owns the capture planes and the
// empty pair records it hands over; a driver fills the pairs and releases
// their planes and key-point sets before it returns, on every path.
//
// Result: 0 on success, -1 on failure. Detection failures and refused
// degenerate input print their message here; numeric programming errors and
// allocation failures are caught and return -1 without a further message, so
// the run prints its own. Debug files are written when run_mode is 4.
#pragma once

#include <array>
#include <cstdint>

#include "detect/chart_pair.h"
#include "driver/context.h"
#include "otp/otp_record.h"

namespace zorvel {

// L chart (dewarped l_pair for detection, l_rect_pair receives the rectified
// aux points) and flat chart (dewarped flat_pair, flat_work_pair not dewarped).
int32_t calibrate_l_and_flat(const zorvel_capture_pair& l_capture,
                             const zorvel_capture_pair& flat_capture,
                             zorvel_calib_context& context, zorvel_chart_pair& l_pair,
                             zorvel_chart_pair& l_rect_pair, zorvel_chart_pair& flat_pair,
                             zorvel_chart_pair& flat_work_pair, zorvel_chart_pair& l_scratch,
                             zorvel_chart_pair& flat_scratch);

// L chart only: also stores up to 200 centred L-chart pairs (dewarped aux
// points, not the rectified ones) in the context for the interim record.
// Writes no debug file.
int32_t calibrate_l_only(const zorvel_capture_pair& l_capture, zorvel_calib_context& context,
                         zorvel_chart_pair& l_pair, zorvel_chart_pair& l_rect_pair,
                         zorvel_chart_pair& scratch);

// Flat chart only, completing an earlier L-only calibration: focal lengths,
// rotation, offsets, L distance error and the stored L-chart points come from
// the interim record. stored_points receives the main ([0]) and aux ([1])
// L-chart points (four-column sets); they are released before returning.
int32_t calibrate_flat_only(const zorvel_capture_pair& flat_capture,
                            zorvel_calib_context& context, zorvel_chart_pair& flat_pair,
                            zorvel_chart_pair& flat_work_pair, zorvel_chart_pair& scratch,
                            std::array<zorvel_key_points, 2>& stored_points,
                            zorvel_otp_interim_data interim);

}  // namespace zorvel
