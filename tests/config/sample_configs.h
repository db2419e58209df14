// Complete calibration and verification configurations for tests, as ordered
// key/value lists that tests edit (replace, drop, add) before writing them.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace zorvel::test {

using config_lines = std::vector<std::pair<std::string, std::string>>;

inline config_lines camera_lines(const std::string& side, bool main) {
  const std::string w = main ? "4000" : "3264";
  const std::string h = main ? "3000" : "2448";
  const std::string cap = main ? "Main" : "Aux";
  config_lines lines = {
      {side + "_native_width", w},
      {side + "_native_height", h},
      {side + "_f_number", main ? "1.8" : "2.4"},
      {side + "_fovd_degrees", main ? "78.5" : "82"},
      {side + "_pixel_pitch_mm", main ? "0.0008" : "0.00112"},
      {side + "_focal_length_mm", main ? "3.57" : "2.2"},
      {"is_af_enabled_" + side, main ? "1" : "0"},
      {side + "_focal_length_ratio_l", "1.0"},
      {side + "_focal_length_ratio_flat", main ? "1.0" : "1.02"},
      {side + "_fl_ratio_tolerance_in_percent_l", "5"},
      {side + "_fl_ratio_tolerance_in_percent_flat", "2.5"},
      {side + "_sensor_calib_mirror_flip_setting", main ? "0" : "3"},
      {side + "_sensor_mono_flag", main ? "0" : "1"},
      {side + "_calib_input_width", w},
      {side + "_calib_input_height", h},
      {side + "_calib_l_chart_image", "Captures/" + cap + "_L.bmp"},
      {side + "_calib_flat_chart_image", "Captures/" + cap + "_Flat.bmp"},
  };
  const char* dewarp[5] = {"0", "1", "0.1", "-0.05", "1e-6"};
  const char* warp[5] = {"0", "1", "-0.1", "0.0625", "0"};
  for (int i = 0; i < 5; ++i) lines.push_back({"dewarp_coeff_" + side + "_" + std::to_string(i), dewarp[i]});
  for (int i = 0; i < 5; ++i) lines.push_back({"warp_coeff_" + side + "_" + std::to_string(i), warp[i]});
  lines.push_back({"fl_dewarping_reference_" + side, main ? "330.5" : "320"});
  return lines;
}

// Accepted by the calibration parser; no distortion and no optional keys.
inline config_lines calib_sample() {
  config_lines lines = camera_lines("main", true);
  const config_lines aux = camera_lines("aux", false);
  lines.insert(lines.end(), aux.begin(), aux.end());
  const config_lines shared = {
      {"calib_square_size_mm", "25"},
      {"cam_baseline_mm", "12.5"},
      {"main_aux_position_flag", "1"},
      {"main_aux_sensor_calib_orientation_flag", "0"},
      {"main_aux_rotation_flag", "2"},
      {"l_chart_distance_mm", "450"},
      {"flat_chart_distance_mm", "600"},
      {"calib_otp_data_file", "Out/OTP_Data.bin"},
      {"residual_vertical_disparity_threshold_pixels", "1.5"},
      {"scale_difference_threshold_percent", "0.5"},
      {"l_chart_origin_distance_threshold_percent", "3"},
      {"flat_chart_standard_dev_threshold", "0.5"},
      {"percentage_fov_for_metric_calculation", "80"},
      {"percentile_for_variation_in_disparity", "95"},
      {"vertical_disparity_max_threshold", "2"},
      {"horizontal_disparity_max_threshold", "3"},
  };
  lines.insert(lines.end(), shared.begin(), shared.end());
  return lines;
}

// Accepted by the verification parser (and rejected by the calibration one).
inline config_lines verif_sample() {
  return {
      {"main_verify_input_width", "4000"},
      {"main_verify_input_height", "3000"},
      {"main_verify_flat_chart_image", "Verify/Main Flat.bmp"},
      {"is_af_enabled_main", "1"},
      {"main_verify_focal_length_ratio", "1.0"},
      {"main_focal_length_ratio_tolerance_in_percent", "2"},
      {"main_f_number", "1.8"},
      {"main_pixel_pitch_mm", "0.0008"},
      {"main_focal_length_mm", "3.57"},
      {"main_sensor_verif_mirror_flip_setting", "0"},
      {"main_sensor_mono_flag", "0"},
      {"aux_verify_input_width", "3264"},
      {"aux_verify_input_height", "2448"},
      {"aux_verify_flat_chart_image", "Verify/Aux_Flat.bmp"},
      {"is_af_enabled_aux", "0"},
      {"aux_verify_focal_length_ratio", "1.02"},
      {"aux_focal_length_ratio_tolerance_in_percent", "3.5"},
      {"aux_f_number", "2.4"},
      {"aux_pixel_pitch_mm", "0.00112"},
      {"aux_focal_length_mm", "2.2"},
      {"aux_sensor_verif_mirror_flip_setting", "3"},
      {"aux_sensor_mono_flag", "1"},
      {"main_aux_position_flag", "1"},
      {"main_aux_sensor_verif_orientation_flag", "0"},
      {"main_aux_rotation_flag", "1"},
      {"flat_chart_distance_mm", "600"},
      {"calib_otp_data_file", "Out/OTP_Data.bin"},
      {"residual_vertical_disparity_threshold_pixels", "1.5"},
      {"scale_difference_threshold_percent", "0.5"},
      {"flat_chart_distance_threshold_percent", "4"},
      {"flat_chart_standard_dev_threshold", "0.75"},
      {"percentage_fov_for_metric_calculation", "80"},
      {"percentile_for_variation_in_disparity", "95"},
      {"vertical_disparity_max_threshold", "2"},
      {"horizontal_disparity_max_threshold", "3"},
  };
}

inline config_lines with(config_lines lines, const std::string& key, const std::string& value) {
  for (auto& line : lines) {
    if (line.first == key) {
      line.second = value;
      return lines;
    }
  }
  lines.push_back({key, value});
  return lines;
}

inline config_lines without(config_lines lines, const std::string& key) {
  std::erase_if(lines, [&](const auto& line) { return line.first == key; });
  return lines;
}

inline std::string render(const config_lines& lines, const std::string& eol = "\n") {
  std::string text;
  for (const auto& [key, value] : lines) text += key + " = " + value + eol;
  return text;
}

}  // namespace zorvel::test
