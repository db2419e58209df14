// The run record ("pc_cfg" in messages): configuration copies, derived focal
// lengths and fields of view, the calibration model and every result of one
// run. Value-initialised (all zero) when a run creates it, so a field read
// before any step wrote it is 0. Sizes in pixels, angles in degrees, focal
// lengths in millimetres until the field-of-view step turns them into pixels
// of the 1280-pixel working image.
#pragma once

#include <cstdint>

#include "detect/preprocess.h"
#include "otp/otp_record.h"
#include "stereo/disparity_metrics.h"
#include "zorvel_version.h"

namespace zorvel {

struct zorvel_calib_context {
  float main_focal_length_ratio = 0.0f;
  float aux_focal_length_ratio = 0.0f;
  float calib_square_size_mm = 0.0f;
  float main_focal_length = 0.0f;  // mm, then working pixels
  float aux_focal_length = 0.0f;   // mm x ratio, then working pixels
  float main_pixel_pitch_mm = 0.0f;
  float aux_pixel_pitch_mm = 0.0f;
  float cam_baseline_mm = 0.0f;
  float l_chart_distance_mm = 0.0f;
  float flat_chart_distance_mm = 0.0f;
  float main_fov_h_deg = 0.0f;
  float aux_fov_h_deg = 0.0f;
  float main_fov_v_deg = 0.0f;
  float aux_fov_v_deg = 0.0f;
  double rot[9] = {};  // aux relative to main, row-major, (row, column, depth)
  int32_t main_aux_position_flag = 0;
  int32_t swap_dimensions = 0;
  int32_t aux_sensor_mono_flag = 0;
  int32_t main_sensor_mono_flag = 0;
  float projection_offset_x = 0.0f;
  float projection_offset_y = 0.0f;
  float geo[32] = {};  // column polynomial 0..8, row polynomial 9..17
  int32_t main_height = 0;  // capture sizes after the quarter-turn rotation
  int32_t main_width = 0;
  int32_t aux_height = 0;
  int32_t aux_width = 0;
  int32_t working_width = 0;
  float l_chart_distance_error_percent = 0.0f;
  float flat_chart_distance_error_percent = 0.0f;
  float l_chart_scale_difference_percent = 0.0f;
  float flat_chart_scale_difference_percent = 0.0f;
  float flat_chart_max_hd_delta = 0.0f;
  float flat_chart_hd_stdev = 0.0f;
  float flat_chart_vd_stdev = 0.0f;
  float mean_distance_percent = 0.0f;
  float computed_mean_disparity = 0.0f;
  float flat_chart_vd_delta = 0.0f;
  float reference_disparity = 0.0f;
  float l_chart_residual_vd = 0.0f;
  float flat_chart_residual_vd = 0.0f;
  float flat_chart_max_vd = 0.0f;
  float fov_at_max_vd_percent = 0.0f;
  float distance_threshold_percent = 0.0f;
  float scale_difference_threshold_percent = 0.0f;
  float residual_vertical_disparity_threshold_pixels = 0.0f;
  double relative_roll_degrees = 0.0;
  double relative_pitch_degrees = 0.0;
  double relative_yaw_degrees = 0.0;
  int32_t main_aux_rotation_flag = 0;
  float main_focal_length_mm = 0.0f;
  float aux_focal_length_mm = 0.0f;
  double dewarp_coeff_aux[5] = {};
  double warp_coeff_aux[5] = {};
  float fl_dewarping_reference_aux = 0.0f;
  double dewarp_coeff_main[5] = {};
  double warp_coeff_main[5] = {};
  float fl_dewarping_reference_main = 0.0f;
  int32_t l_chart_point_count = 0;  // at most kMaxStoredLChartPoints
  int16_t main_l_point_y[200] = {};
  int16_t main_l_point_x[200] = {};
  int16_t aux_l_point_y[200] = {};
  int16_t aux_l_point_x[200] = {};
  int8_t main_l_label_yw[200] = {};
  int8_t main_l_label_xw[200] = {};
  int8_t aux_l_label_yw[200] = {};
  int8_t aux_l_label_xw[200] = {};
  uint8_t crop_percent_for_aux = 0;
  float main_focal_length_ratio_flat = 0.0f;
  float aux_focal_length_ratio_flat = 0.0f;
  uint8_t run_mode = 0;
  uint8_t vd_p95_tenths = 0;
  uint8_t hd_p95_tenths = 0;
  uint8_t vd_p80_tenths = 0;
  uint8_t hd_p80_tenths = 0;
  uint8_t vd_p90_tenths = 0;
  uint8_t hd_spread_tenths = 0;
  uint8_t vd_rms_zoned[9] = {};
  int8_t hd_rms_zoned[9] = {};
  uint8_t vd_percentile_metric = 0;
  uint8_t hd_percentile_metric = 0;
  uint8_t percentage_fov_for_metric_calculation = 0;
  uint8_t percentile_for_variation_in_disparity = 0;
  float vertical_disparity_max_threshold = 0.0f;
  float horizontal_disparity_max_threshold = 0.0f;
  float main_kp_fl_ratio[5] = {};
  float main_adjust_ratio[5] = {};
  float aux_kp_fl_ratio[5] = {};
  float aux_adjust_ratio[5] = {};
  double rms_vd_center_flat = 0.0;
  double rms_vd_center_l = 0.0;
  uint8_t fov_used_for_computation = 0;
  float max_hd_variation_allowed = 0.0f;
  float max_vd_variation_allowed = 0.0f;
  uint32_t version = 0;
  float geo_out[18] = {};
};

inline zorvel_working_form working_form_of(const zorvel_calib_context& c) {
  zorvel_working_form f;
  f.rotated = c.swap_dimensions != 0;
  f.crop_percent_for_aux = c.crop_percent_for_aux;
  for (int i = 0; i < 5; ++i) {
    f.main_lens.dewarp_coeff[i] = c.dewarp_coeff_main[i];
    f.main_lens.warp_coeff[i] = c.warp_coeff_main[i];
    f.aux_lens.dewarp_coeff[i] = c.dewarp_coeff_aux[i];
    f.aux_lens.warp_coeff[i] = c.warp_coeff_aux[i];
  }
  f.main_lens.fl_dewarping_reference = c.fl_dewarping_reference_main;
  f.aux_lens.fl_dewarping_reference = c.fl_dewarping_reference_aux;
  return f;
}

inline zorvel_metric_settings metric_settings_of(const zorvel_calib_context& c) {
  return {c.percentage_fov_for_metric_calculation, c.percentile_for_variation_in_disparity};
}

inline void store_disparity_metrics(zorvel_calib_context& c, const zorvel_disparity_metrics& m) {
  c.flat_chart_max_hd_delta = m.max_hd_delta;
  c.flat_chart_vd_delta = m.vd_delta;
  c.flat_chart_hd_stdev = m.hd_stdev;
  c.flat_chart_vd_stdev = m.vd_stdev;
  c.computed_mean_disparity = m.mean_disparity;
  c.vd_p95_tenths = m.vd_p95_tenths;
  c.hd_p95_tenths = m.hd_p95_tenths;
  c.vd_p80_tenths = m.vd_p80_tenths;
  c.hd_p80_tenths = m.hd_p80_tenths;
  c.vd_p90_tenths = m.vd_p90_tenths;
  c.hd_spread_tenths = m.hd_spread_tenths;
  for (int i = 0; i < 9; ++i) {
    c.vd_rms_zoned[i] = m.vd_rms_zoned[i];
    c.hd_rms_zoned[i] = m.hd_rms_zoned[i];
  }
  c.vd_percentile_metric = m.vd_percentile_metric;
  c.hd_percentile_metric = m.hd_percentile_metric;
}

}  // namespace zorvel
