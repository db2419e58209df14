// The parsed calibration configuration: one camera block per camera plus the
// chart, threshold and output settings, and the calibration parser that fills
// it. Texts are normalised values; every path also keeps its text as written
// (the *_path fields), which is what the run opens.
#pragma once

#include <cstdint>
#include <string>

#include "config/config_reader.h"

namespace zorvel {

struct zorvel_camera_params {
  int32_t native_width = 0;   // pixels
  int32_t native_height = 0;  // pixels
  float f_number = 0.0f;
  float fovd_degrees = 0.0f;
  float pixel_pitch_mm = 0.0f;
  float focal_length_mm = 0.0f;
  float focal_length_ratio_l = 0.0f;
  float focal_length_ratio_flat = 0.0f;
  int32_t sensor_calib_mirror_flip_setting = 0;
  int32_t sensor_mono_flag = 0;
  int32_t calib_input_width = 0;   // pixels
  int32_t calib_input_height = 0;  // pixels
  std::string calib_l_chart_image;
  std::string calib_l_chart_image_path;
  std::string calib_flat_chart_image;
  std::string calib_flat_chart_image_path;
  uint8_t is_af_enabled = 0;
  float fl_ratio_tolerance_in_percent_l = 0.0f;
  float fl_ratio_tolerance_in_percent_flat = 0.0f;
  double dewarp_coeff[5] = {};
  double warp_coeff[5] = {};
  float fl_dewarping_reference = 0.0f;
  float distortion_adj_fl_ratio[5] = {};
  float distortion_scale_adj[5] = {};
};

struct zorvel_calib_config {
  zorvel_camera_params main;
  zorvel_camera_params aux;
  float calib_square_size_mm = 0.0f;
  float cam_baseline_mm = 0.0f;
  uint8_t main_aux_position_flag = 0;
  uint8_t main_aux_sensor_calib_orientation_flag = 0;
  uint8_t main_aux_rotation_flag = 0;  // 1 right, 2 left, other none
  float l_chart_distance_mm = 0.0f;
  float flat_chart_distance_mm = 0.0f;
  std::string calib_otp_data_file;
  std::string calib_otp_data_file_path;
  float residual_vertical_disparity_threshold_pixels = 0.0f;
  float scale_difference_threshold_percent = 0.0f;
  float l_chart_origin_distance_threshold_percent = 0.0f;
  uint8_t process_l_and_flat_config = 0;  // 0 both charts, 1 L only, 2 flat only
  std::string calib_otp_interim_data_file;
  std::string calib_otp_interim_data_file_path;
  uint8_t crop_percent_for_aux = 0;
  float flat_chart_standard_dev_threshold = 0.0f;
  uint8_t optional_keys_present = 0;
  uint8_t percentage_fov_for_metric_calculation = 0;
  uint8_t percentile_for_variation_in_disparity = 0;
  float vertical_disparity_max_threshold = 0.0f;
  float horizontal_disparity_max_threshold = 0.0f;
  uint8_t fov_used_for_computation = 0;
  float max_hd_variation_allowed = 0.0f;
  float max_vd_variation_allowed = 0.0f;
  // Optional outputs of the run, as written; empty when not asked for. Read
  // once the file loaded, before any key is checked, so that a rejected file
  // still says where its result goes; never echoed in the dump.
  std::string result_json_file_path;
  std::string result_report_dir_path;
};

// The mandatory keys in the order they are checked and dumped; the 20
// distortion keys among them are excused when missing.
constexpr int kCalibKeyCount = 92;
extern const char* const kCalibKeys[kCalibKeyCount];
// Keys 0..37 are the main block, 38..75 the aux block, 76.. the shared ones.
constexpr int kCalibCameraKeyCount = 38;

constexpr int kCalibOptionalKeyCount = 6;
extern const char* const kCalibOptionalKeys[kCalibOptionalKeyCount];

// Accepts or rejects the file behind reader; outcome in result.
void parse_calib_config(zorvel_config_reader& reader, zorvel_calib_config& config,
                        zorvel_parse_result& result);

}  // namespace zorvel
