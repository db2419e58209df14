// The parsed verification configuration and the verification parser, which
// also prints a few progress lines while it reads the rotation flag and the
// focal-length-ratio tolerances. Texts are normalised values; every path also
// keeps its text as written (the *_path fields), which is what the run opens.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "config/config_reader.h"

namespace zorvel {

struct zorvel_verif_camera_params {
  int32_t verify_input_width = 0;   // pixels
  int32_t verify_input_height = 0;  // pixels
  std::string verify_flat_chart_image;
  std::string verify_flat_chart_image_path;
  float verify_focal_length_ratio = 0.0f;
  float f_number = 0.0f;
  float pixel_pitch_mm = 0.0f;
  float focal_length_mm = 0.0f;
  int32_t sensor_verif_mirror_flip_setting = 0;
  int32_t sensor_mono_flag = 0;
  uint8_t is_af_enabled = 0;
};

struct zorvel_verif_config {
  zorvel_verif_camera_params main;
  zorvel_verif_camera_params aux;
  uint8_t main_aux_position_flag = 0;
  uint8_t main_aux_sensor_verif_orientation_flag = 0;
  float flat_chart_distance_mm = 0.0f;
  std::string calib_otp_data_file;
  std::string calib_otp_data_file_path;
  float residual_vertical_disparity_threshold_pixels = 0.0f;
  float scale_difference_threshold_percent = 0.0f;
  float flat_chart_distance_threshold_percent = 0.0f;
  uint8_t main_aux_rotation_flag = 0;  // 1 right, 2 left, other none
  float flat_chart_standard_dev_threshold = 0.0f;
  uint8_t enable_debug_mode = 0;
  float main_focal_length_ratio_tolerance_in_percent = 0.0f;
  float aux_focal_length_ratio_tolerance_in_percent = 0.0f;
  uint8_t percentage_fov_for_metric_calculation = 0;
  uint8_t percentile_for_variation_in_disparity = 0;
  float vertical_disparity_max_threshold = 0.0f;
  float horizontal_disparity_max_threshold = 0.0f;
  // Optional outputs of the run, as written; empty when not asked for. Read
  // once the file loaded, before any key is checked, so that a rejected file
  // still says where its result goes; never echoed in the dump.
  std::string result_json_file_path;
  std::string result_report_dir_path;
};

// The key table in dump order; the presence check covers the first 34.
constexpr int kVerifKeyCount = 35;
constexpr int kVerifRequiredKeyCount = 34;
extern const char* const kVerifKeys[kVerifKeyCount];

// Accepts or rejects the file behind reader; outcome in result. Progress
// lines go to progress (standard output in a run).
void parse_verif_config(zorvel_config_reader& reader, zorvel_verif_config& config,
                        zorvel_parse_result& result, std::FILE* progress = stdout);

}  // namespace zorvel
