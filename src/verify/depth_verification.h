// Depth verification: after the unwarp stage, the flat chart's corners are
// detected in the main capture and in the rectified aux image, paired by
// label, and the residual disparities, distance errors and scale difference
// are measured into the verification record.
#pragma once

#include <cstdint>

#include "detect/chart_pair.h"
#include "driver/context.h"

namespace zorvel {

// What the verification could measure; a metric that was not measured must
// not pass its table row.
struct zorvel_verification_measures {
  bool metrics = false;           // detection, pairing and statistics ran
  bool scale_difference = false;  // at least one aux grid column qualified
};

// Returns 0 when it ran (also when the run mode stops it after the images),
// -1 after printing why key points could not be measured. p1, p2 and p3 are
// empty on entry and released (every plane and key-point set) on return.
int32_t depth_verification(const zorvel_capture_pair& capture, const zorvel_calib_context& pc_cfg,
                           zorvel_chart_pair& p1, zorvel_chart_pair& p2,
                           zorvel_calib_context& verify_ctx, zorvel_chart_pair& p3,
                           zorvel_verification_measures& measured);

// The measuring half, once the key points are detected: p1's main set
// (n_main points) and p2's aux set (n_aux, rectified) are paired by label,
// centred and measured; fr is the effective main focal length. -1 after
// printing why when no pair was found.
int32_t measure_rectified_pairs(const zorvel_calib_context& pc_cfg, zorvel_chart_pair& p1,
                                zorvel_chart_pair& p2, zorvel_calib_context& verify_ctx,
                                double fr, int32_t n_main, int32_t n_aux,
                                zorvel_verification_measures& measured);

// Run modes that end the verification after the debug images (2, 6, 7).
inline bool stops_after_images(uint8_t run_mode) {
  return run_mode == 2 || run_mode == 6 || run_mode == 7;
}

}  // namespace zorvel
