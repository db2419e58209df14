// Complete calibration and verification configurations for tests, as ordered
// key/value lists that tests edit (replace, drop, add) before writing them.
#pragma once

#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace zorvel::test {

using config_lines = std::vector<std::pair<std::string, std::string>>;

// "key=value; key=value; ..." in order; spaces around keys and values dropped.
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

inline config_lines camera_lines(const std::string& side, bool main) {
  // Key (after "<side>_", or before "_<side>" when it ends in '_'), main value, aux value.
  const char* const keys[][3] = {
      {"native_width", "4000", "3264"}, {"native_height", "3000", "2448"},
      {"f_number", "1.8", "2.4"}, {"fovd_degrees", "78.5", "82"},
      {"pixel_pitch_mm", "0.0008", "0.00112"}, {"focal_length_mm", "3.57", "2.2"},
      {"is_af_enabled_", "1", "0"}, {"focal_length_ratio_l", "1.0", "1.0"},
      {"focal_length_ratio_flat", "1.0", "1.02"}, {"fl_ratio_tolerance_in_percent_l", "5", "5"},
      {"fl_ratio_tolerance_in_percent_flat", "2.5", "2.5"},
      {"sensor_calib_mirror_flip_setting", "0", "3"}, {"sensor_mono_flag", "0", "1"},
      {"calib_input_width", "4000", "3264"}, {"calib_input_height", "3000", "2448"},
      {"calib_l_chart_image", "Captures/Main_L.bmp", "Captures/Aux_L.bmp"},
      {"calib_flat_chart_image", "Captures/Main_Flat.bmp", "Captures/Aux_Flat.bmp"},
      {"dewarp_coeff_0", "0", "0"}, {"dewarp_coeff_1", "1", "1"}, {"dewarp_coeff_2", "0.1", "0.1"},
      {"dewarp_coeff_3", "-0.05", "-0.05"}, {"dewarp_coeff_4", "1e-6", "1e-6"},
      {"warp_coeff_0", "0", "0"}, {"warp_coeff_1", "1", "1"}, {"warp_coeff_2", "-0.1", "-0.1"},
      {"warp_coeff_3", "0.0625", "0.0625"}, {"warp_coeff_4", "0", "0"},
      {"fl_dewarping_reference_", "330.5", "320"}};
  config_lines lines;
  for (const auto& k : keys) {
    std::string key = k[0];
    const size_t digit = key.find_last_of("_") + 1;
    if (key.back() == '_') {
      key += side;
    } else if (key.starts_with("dewarp_coeff") || key.starts_with("warp_coeff")) {
      key = key.substr(0, digit) + side + "_" + key.substr(digit);
    } else {
      key = side + "_" + key;
    }
    lines.push_back({key, main ? k[1] : k[2]});
  }
  return lines;
}

// Accepted by the calibration parser; no distortion and no optional keys.
inline config_lines calib_sample() {
  config_lines lines = camera_lines("main", true);
  for (auto& line : camera_lines("aux", false)) lines.push_back(line);
  for (auto& line : lines_of(
           "calib_square_size_mm=25; cam_baseline_mm=12.5; main_aux_position_flag=1;"
           "main_aux_sensor_calib_orientation_flag=0; main_aux_rotation_flag=2;"
           "l_chart_distance_mm=450; flat_chart_distance_mm=600; calib_otp_data_file=Out/OTP_Data.bin;"
           "residual_vertical_disparity_threshold_pixels=1.5; scale_difference_threshold_percent=0.5;"
           "l_chart_origin_distance_threshold_percent=3; flat_chart_standard_dev_threshold=0.5;"
           "percentage_fov_for_metric_calculation=80; percentile_for_variation_in_disparity=95;"
           "vertical_disparity_max_threshold=2; horizontal_disparity_max_threshold=3")) {
    lines.push_back(line);
  }
  return lines;
}

// Accepted by the verification parser (and rejected by the calibration one).
inline config_lines verif_sample() {
  return lines_of(
      "main_verify_input_width=4000; main_verify_input_height=3000;"
      "main_verify_flat_chart_image=Verify/Main Flat.bmp; is_af_enabled_main=1;"
      "main_verify_focal_length_ratio=1.0; main_focal_length_ratio_tolerance_in_percent=2;"
      "main_f_number=1.8; main_pixel_pitch_mm=0.0008; main_focal_length_mm=3.57;"
      "main_sensor_verif_mirror_flip_setting=0; main_sensor_mono_flag=0;"
      "aux_verify_input_width=3264; aux_verify_input_height=2448;"
      "aux_verify_flat_chart_image=Verify/Aux_Flat.bmp; is_af_enabled_aux=0;"
      "aux_verify_focal_length_ratio=1.02; aux_focal_length_ratio_tolerance_in_percent=3.5;"
      "aux_f_number=2.4; aux_pixel_pitch_mm=0.00112; aux_focal_length_mm=2.2;"
      "aux_sensor_verif_mirror_flip_setting=3; aux_sensor_mono_flag=1; main_aux_position_flag=1;"
      "main_aux_sensor_verif_orientation_flag=0; main_aux_rotation_flag=1;"
      "flat_chart_distance_mm=600; calib_otp_data_file=Out/OTP_Data.bin;"
      "residual_vertical_disparity_threshold_pixels=1.5; scale_difference_threshold_percent=0.5;"
      "flat_chart_distance_threshold_percent=4; flat_chart_standard_dev_threshold=0.75;"
      "percentage_fov_for_metric_calculation=80; percentile_for_variation_in_disparity=95;"
      "vertical_disparity_max_threshold=2; horizontal_disparity_max_threshold=3");
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
