// Complete calibration and verification configurations for tests, as ordered
// key/value lists that tests edit (replace, drop, add) before writing them.
#pragma once

#include <algorithm>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace zorvel::test {

using config_lines = std::vector<std::pair<std::string, std::string>>;

// "key=value;key=value;..." in order.
// "key=value; key=value" as lines; blanks round a key or value are dropped.
inline config_lines lines_of(const std::string& text) {
  config_lines lines;
  std::istringstream in(text);
  const auto trim = [](const std::string& s) {
    const size_t first = s.find_first_not_of(' '), last = s.find_last_not_of(' ');
    return first == std::string::npos ? "" : s.substr(first, last - first + 1);
  };
  for (std::string item; std::getline(in, item, ';');) {
    const size_t eq = item.find('=');
    if (eq != std::string::npos) lines.push_back({trim(item.substr(0, eq)), trim(item.substr(eq + 1))});
  }
  return lines;
}

// Accepted by the calibration parser; no distortion and no optional keys.
inline config_lines calib_sample() {
  return lines_of(
      "main_native_width=4000;main_native_height=3000;main_f_number=1.8;main_fovd_degrees=78.5;"
      "main_pixel_pitch_mm=0.0008;main_focal_length_mm=3.57;is_af_enabled_main=1;main_focal_length_ratio_l=1.0;"
      "main_focal_length_ratio_flat=1.0;main_fl_ratio_tolerance_in_percent_l=5;"
      "main_fl_ratio_tolerance_in_percent_flat=2.5;main_sensor_calib_mirror_flip_setting=0;"
      "main_sensor_mono_flag=0;main_calib_input_width=4000;main_calib_input_height=3000;"
      "main_calib_l_chart_image=Captures/Main_L.bmp;main_calib_flat_chart_image=Captures/Main_Flat.bmp;"
      "dewarp_coeff_main_0=0;dewarp_coeff_main_1=1;dewarp_coeff_main_2=0.1;dewarp_coeff_main_3=-0.05;"
      "dewarp_coeff_main_4=1e-6;warp_coeff_main_0=0;warp_coeff_main_1=1;warp_coeff_main_2=-0.1;"
      "warp_coeff_main_3=0.0625;warp_coeff_main_4=0;fl_dewarping_reference_main=330.5;aux_native_width=3264;"
      "aux_native_height=2448;aux_f_number=2.4;aux_fovd_degrees=82;aux_pixel_pitch_mm=0.00112;"
      "aux_focal_length_mm=2.2;is_af_enabled_aux=0;aux_focal_length_ratio_l=1.0;"
      "aux_focal_length_ratio_flat=1.02;aux_fl_ratio_tolerance_in_percent_l=5;"
      "aux_fl_ratio_tolerance_in_percent_flat=2.5;aux_sensor_calib_mirror_flip_setting=3;"
      "aux_sensor_mono_flag=1;aux_calib_input_width=3264;aux_calib_input_height=2448;"
      "aux_calib_l_chart_image=Captures/Aux_L.bmp;aux_calib_flat_chart_image=Captures/Aux_Flat.bmp;"
      "dewarp_coeff_aux_0=0;dewarp_coeff_aux_1=1;dewarp_coeff_aux_2=0.1;dewarp_coeff_aux_3=-0.05;"
      "dewarp_coeff_aux_4=1e-6;warp_coeff_aux_0=0;warp_coeff_aux_1=1;warp_coeff_aux_2=-0.1;"
      "warp_coeff_aux_3=0.0625;warp_coeff_aux_4=0;fl_dewarping_reference_aux=320;calib_square_size_mm=25;"
      "cam_baseline_mm=12.5;main_aux_position_flag=1;main_aux_sensor_calib_orientation_flag=0;"
      "main_aux_rotation_flag=2;l_chart_distance_mm=450;flat_chart_distance_mm=600;"
      "calib_otp_data_file=Out/OTP_Data.bin;residual_vertical_disparity_threshold_pixels=1.5;"
      "scale_difference_threshold_percent=0.5;l_chart_origin_distance_threshold_percent=3;"
      "flat_chart_standard_dev_threshold=0.5;percentage_fov_for_metric_calculation=80;"
      "percentile_for_variation_in_disparity=95;vertical_disparity_max_threshold=2;"
      "horizontal_disparity_max_threshold=3");
}

// Accepted by the verification parser (and rejected by the calibration one).
inline config_lines verif_sample() {
  return lines_of(
      "main_verify_input_width=4000;main_verify_input_height=3000;"
      "main_verify_flat_chart_image=Verify/Main Flat.bmp;is_af_enabled_main=1;"
      "main_verify_focal_length_ratio=1.0;main_focal_length_ratio_tolerance_in_percent=2;main_f_number=1.8;"
      "main_pixel_pitch_mm=0.0008;main_focal_length_mm=3.57;main_sensor_verif_mirror_flip_setting=0;"
      "main_sensor_mono_flag=0;aux_verify_input_width=3264;aux_verify_input_height=2448;"
      "aux_verify_flat_chart_image=Verify/Aux_Flat.bmp;is_af_enabled_aux=0;aux_verify_focal_length_ratio=1.02;"
      "aux_focal_length_ratio_tolerance_in_percent=3.5;aux_f_number=2.4;aux_pixel_pitch_mm=0.00112;"
      "aux_focal_length_mm=2.2;aux_sensor_verif_mirror_flip_setting=3;aux_sensor_mono_flag=1;"
      "main_aux_position_flag=1;main_aux_sensor_verif_orientation_flag=0;main_aux_rotation_flag=1;"
      "flat_chart_distance_mm=600;calib_otp_data_file=Out/OTP_Data.bin;"
      "residual_vertical_disparity_threshold_pixels=1.5;scale_difference_threshold_percent=0.5;"
      "flat_chart_distance_threshold_percent=4;flat_chart_standard_dev_threshold=0.75;"
      "percentage_fov_for_metric_calculation=80;percentile_for_variation_in_disparity=95;"
      "vertical_disparity_max_threshold=2;horizontal_disparity_max_threshold=3");
}

inline config_lines with(config_lines lines, const std::string& key, const std::string& value) {
  const auto at = std::find_if(lines.begin(), lines.end(), [&](const auto& line) { return line.first == key; });
  if (at == lines.end()) lines.push_back({key, value});
  else at->second = value;
  return lines;
}

// lines with each key of "key=value;..." set.
inline config_lines with(config_lines lines, const std::string& edits) {
  for (const auto& [key, value] : lines_of(edits)) lines = with(lines, key, value);
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
