// First half of a verification: both flat-chart captures brought to the
// working size, lens distortion removed, the aux image rectified through the
// stored rotation and correction into the main camera's geometry and, on the
// normal path, warped again with the main lens so it matches the main
// capture. Writes the verification debug images when the run mode asks.
#pragma once

#include <cstdint>

#include "detect/chart_pair.h"
#include "driver/context.h"

namespace zorvel {

struct zorvel_unwarp_result {
  int32_t status = 0;     // 0, or -1 when the aux image could not be rectified
  double fr = 0.0;        // effective main focal length, working pixels
  double fa = 0.0;        // effective aux focal length, working pixels
  const char* direction = "none";
};

// p1: resampled and dewarped captures; p2: resampled captures whose aux
// planes receive the rectified image; p3: scratch for the dewarp steps.
// Mode 6 also re-reads two of the debug images and writes the "rot" copies.
zorvel_unwarp_result unwarp_for_verification(const zorvel_capture_pair& capture,
                                             const zorvel_calib_context& pc_cfg,
                                             const zorvel_calib_context& verify_ctx,
                                             zorvel_chart_pair& p1, zorvel_chart_pair& p2,
                                             zorvel_chart_pair& p3);

// The alternative dewarp path (both cameras dewarped, no main-lens warp of
// the rectified aux image) is taken for every run mode from 4 up.
inline bool uses_alternative_dewarp(uint8_t run_mode) { return run_mode >= 4; }

}  // namespace zorvel
