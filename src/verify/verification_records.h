// What a verification of the flat chart takes and what it measures. The
// driver builds the input from the configuration and the stored calibration;
// the verification stages only read it. Focal lengths in pixels of the
// 1280-pixel working image, distances in mm, disparities in pixels.
//
// A step that can fail prints why and reports false: a check returns it as
// its bool, a stage that produces something as the `ok` field of its result.
#pragma once

#include <cstdint>

#include "detect/preprocess.h"
#include "detect/run_details.h"
#include "stereo/disparity_metrics.h"
#include "stereo/stereo_model.h"

namespace zorvel {

// One camera's lens adjustment table: where the focus moves the focal length
// away from the calibrated one, by how much. Five ascending breakpoints.
struct zorvel_lens_adjustment {
  float kp_fl_ratio[5] = {};   // focal-length ratio at each breakpoint
  float adjust_ratio[5] = {};  // focal-length factor at that ratio
};

// Focal-length ratio of each camera: focused focal length over its value at
// infinity (1 and above).
struct zorvel_focal_length_ratios {
  float main = 0.0f;
  float aux = 0.0f;
};

struct zorvel_verification_input {
  zorvel_stereo_model model;  // stored; geo cleared in the modes that verify without it
  zorvel_working_form form;   // no crop; the stored lens models
  zorvel_focal_length_ratios l_chart_ratios;  // at the L chart's focus, stored
  zorvel_focal_length_ratios flat_chart_ratios;      // at the flat chart's focus, configured
  zorvel_lens_adjustment main_adjustment;
  zorvel_lens_adjustment aux_adjustment;
  float baseline_mm = 0.0f;
  float flat_chart_distance_mm = 0.0f;
  bool main_mono = false;  // monochrome sensors are detected on one plane
  bool aux_mono = false;
  zorvel_metric_settings metric_settings;
  uint8_t rotation_flag = 0;  // 1 right, 2 left, other none; names the debug images' turn
  uint8_t run_mode = 0;
  bool keep_images = false;  // reduced working images in the result's details
  int32_t image_reduction = 4;
};

struct zorvel_verification_result {
  bool ok = false;  // false after printing why the key points could not be measured
  bool metrics_measured = false;  // detection, pairing and statistics ran
  bool scale_measured = false;    // at least one aux grid column qualified
  zorvel_disparity_metrics disparity;
  float distance_error_percent = 0.0f;   // distance seen by the first matched pair
  float residual_vd_px = 0.0f;           // RMS of the row differences
  float reference_disparity_px = 0.0f;   // expected from baseline, focal length and distance
  float mean_distance_percent = 0.0f;    // distance seen by the mean disparity
  float max_vd_px = 0.0f;                // largest row difference
  float fov_at_max_vd_percent = 0.0f;    // its radius over the half diagonal
  float scale_difference_percent = 0.0f; // -1 when not measured
  zorvel_run_details details;  // what detection and the measures saw, for reports only
};

// Run modes 2, 6 and 7 end the verification after the debug images.
inline bool stops_after_images(uint8_t run_mode) {
  return run_mode == 2 || run_mode == 6 || run_mode == 7;
}

// From run mode 4 up both cameras are dewarped and the rectified aux image is
// not warped again with the main lens.
inline bool uses_alternative_dewarp(uint8_t run_mode) { return run_mode >= 4; }

}  // namespace zorvel
