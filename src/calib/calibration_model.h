// What a calibration starts from and what it finds. Sizes and positions in
// pixels; focal lengths in pixels of the 1280-pixel working image unless the
// name says mm; angles in degrees.
#pragma once

#include <cstdint>

#include "detect/chart_pair.h"
#include "detect/preprocess.h"
#include "detect/run_details.h"
#include "numerics/relative_angles.h"
#include "stereo/disparity_metrics.h"
#include "stereo/stereo_model.h"

namespace zorvel {

// One camera as the calibration sees it.
struct zorvel_calib_camera {
  int32_t width = 0;   // capture size after the quarter turn
  int32_t height = 0;
  float focal_length_mm = 0.0f;
  float focal_length_ratio_l = 0.0f;     // focal length at the L chart's focus / nominal
  float focal_length_ratio_flat = 0.0f;  // likewise at the flat chart
  // Working pixels at the L chart. The aux camera's includes its L ratio; the
  // main camera's is the nominal one (the L chart measures the real one).
  float focal_px = 0.0f;
  float fov_h_deg = 0.0f;
  float fov_v_deg = 0.0f;
  bool mono = false;
};

// The charts and the module's baseline.
struct zorvel_chart_layout {
  float square_size_mm = 0.0f;
  float baseline_mm = 0.0f;
  float l_chart_distance_mm = 0.0f;
  float flat_chart_distance_mm = 0.0f;
  int32_t main_aux_position_flag = 0;    // 1 turns the sign of the expected disparity
  uint8_t fov_used_for_computation = 0;  // percent of the view whose L-chart pairs are used
};

struct zorvel_calibration_setup {
  zorvel_calib_camera main;
  zorvel_calib_camera aux;
  zorvel_chart_layout charts;
  zorvel_working_form working;
  zorvel_metric_settings metrics;
  float max_hd_variation_allowed = 0.0f;  // how far the flat chart's plane fit may tilt, pixels
  float max_vd_variation_allowed = 0.0f;
  bool write_debug_files = false;  // run mode 4: images and key-point lists
};

// Everything a calibration measures. model.geo holds the correction fitted on
// points; image_correction is its inverse for warping images, which the
// record stores.
struct zorvel_calibration_result {
  zorvel_stereo_model model;
  float image_correction[18] = {};
  double rms_vd_center_l = 0.0;     // centre of the L chart, rotation only
  double rms_vd_center_flat = 0.0;  // centre of the flat chart, rotation only
  float l_distance_error_percent = 0.0f;
  float flat_distance_error_percent = 0.0f;
  float l_scale_difference_percent = 0.0f;
  float flat_scale_difference_percent = 0.0f;
  float l_residual_vd = 0.0f;  // RMS after the complete model
  float flat_residual_vd = 0.0f;
  float flat_max_vd = 0.0f;
  float reference_disparity = 0.0f;  // what the baseline gives at the flat chart's distance
  zorvel_disparity_metrics flat;
  zorvel_relative_angles angles;
  // L-only runs: the centred L-chart pairs the interim record keeps.
  zorvel_key_points l_main_points;
  zorvel_key_points l_aux_points;
  int32_t l_point_count = 0;
  // What detection and the flat-chart figures saw, for reports only; the
  // caller sets details.keep_images before the run when it wants pictures.
  zorvel_run_details details;
};

}  // namespace zorvel
