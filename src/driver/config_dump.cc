#include "driver/config_dump.h"

namespace zorvel {
namespace {

constexpr const char* kUnsignedLine = "%s=%u\n";
constexpr const char* kSignedLine = "%s=%d\n";
constexpr const char* kFloatLine = "%s=%f\n";
constexpr const char* kTextLine = "%s=%s\n";
constexpr const char* kCoefficientLine = "%s=%1.14lf\n";
constexpr const char* kReferenceLine = "%s=%1.14f\n";
constexpr const char* kStdevThresholdLine = "%s=%1.2f\n";

void line_u(std::FILE* out, const char* key, int32_t value) {
  std::fprintf(out, kUnsignedLine, key, static_cast<unsigned>(value));
}
void line_byte(std::FILE* out, const char* key, uint8_t value) {
  std::fprintf(out, kUnsignedLine, key, static_cast<unsigned>(value));
}
void line_d(std::FILE* out, const char* key, int value) {
  std::fprintf(out, kSignedLine, key, value);
}
void line_f(std::FILE* out, const char* key, float value) {
  std::fprintf(out, kFloatLine, key, static_cast<double>(value));
}
void line_s(std::FILE* out, const char* key, const std::string& value) {
  std::fprintf(out, kTextLine, key, value.c_str());
}
void line_coefficient(std::FILE* out, const char* key, double value) {
  std::fprintf(out, kCoefficientLine, key, value);
}

// One camera block; keys point at its 38 entries of the calibration table.
void dump_camera(std::FILE* out, const char* const* keys, const zorvel_camera_params& cam) {
  line_u(out, keys[0], cam.native_width);
  line_u(out, keys[1], cam.native_height);
  line_f(out, keys[2], cam.f_number);
  line_f(out, keys[3], cam.fovd_degrees);
  line_f(out, keys[4], cam.pixel_pitch_mm);
  line_f(out, keys[5], cam.focal_length_mm);
  line_d(out, keys[6], cam.is_af_enabled);
  line_f(out, keys[7], cam.focal_length_ratio_l);
  line_f(out, keys[8], cam.focal_length_ratio_flat);
  line_f(out, keys[9], cam.fl_ratio_tolerance_in_percent_l);
  line_f(out, keys[10], cam.fl_ratio_tolerance_in_percent_flat);
  line_u(out, keys[11], cam.sensor_calib_mirror_flip_setting);
  line_u(out, keys[12], cam.sensor_mono_flag);
  line_u(out, keys[13], cam.calib_input_width);
  line_u(out, keys[14], cam.calib_input_height);
  line_s(out, keys[15], cam.calib_l_chart_image);
  line_s(out, keys[16], cam.calib_flat_chart_image);
  for (int i = 0; i < 5; ++i) line_coefficient(out, keys[17 + i], cam.dewarp_coeff[i]);
  for (int i = 0; i < 5; ++i) line_coefficient(out, keys[22 + i], cam.warp_coeff[i]);
  std::fprintf(out, kReferenceLine, keys[27], static_cast<double>(cam.fl_dewarping_reference));
  for (int i = 0; i < 5; ++i) {
    line_coefficient(out, keys[28 + i], static_cast<double>(cam.distortion_adj_fl_ratio[i]));
  }
  for (int i = 0; i < 5; ++i) {
    line_coefficient(out, keys[33 + i], static_cast<double>(cam.distortion_scale_adj[i]));
  }
}

void dump_verif_camera(std::FILE* out, const char* const* keys,
                       const zorvel_verif_camera_params& cam, float tolerance) {
  line_u(out, keys[0], cam.verify_input_width);
  line_u(out, keys[1], cam.verify_input_height);
  line_s(out, keys[2], cam.verify_flat_chart_image);
  line_d(out, keys[3], cam.is_af_enabled);
  line_f(out, keys[4], cam.verify_focal_length_ratio);
  line_f(out, keys[5], tolerance);
  line_f(out, keys[6], cam.f_number);
  line_f(out, keys[7], cam.pixel_pitch_mm);
  line_f(out, keys[8], cam.focal_length_mm);
  line_u(out, keys[9], cam.sensor_verif_mirror_flip_setting);
  line_u(out, keys[10], cam.sensor_mono_flag);
}

}  // namespace

void dump_calib_config(std::FILE* out, const zorvel_calib_config& config) {
  dump_camera(out, kCalibKeys, config.main);
  dump_camera(out, kCalibKeys + kCalibCameraKeyCount, config.aux);
  line_f(out, "calib_square_size_mm", config.calib_square_size_mm);
  line_f(out, "cam_baseline_mm", config.cam_baseline_mm);
  line_byte(out, "main_aux_position_flag", config.main_aux_position_flag);
  line_byte(out, "main_aux_sensor_calib_orientation_flag",
            config.main_aux_sensor_calib_orientation_flag);
  line_byte(out, "main_aux_rotation_flag", config.main_aux_rotation_flag);
  line_f(out, "l_chart_distance_mm", config.l_chart_distance_mm);
  line_f(out, "flat_chart_distance_mm", config.flat_chart_distance_mm);
  line_s(out, "calib_otp_data_file", config.calib_otp_data_file);
  line_f(out, "residual_vertical_disparity_threshold_pixels",
         config.residual_vertical_disparity_threshold_pixels);
  line_f(out, "scale_difference_threshold_percent", config.scale_difference_threshold_percent);
  line_f(out, "l_chart_origin_distance_threshold_percent",
         config.l_chart_origin_distance_threshold_percent);
  std::fprintf(out, kStdevThresholdLine, "flat_chart_standard_dev_threshold",
               static_cast<double>(config.flat_chart_standard_dev_threshold));
  if (config.optional_keys_present == 1) {
    line_d(out, "process_l_and_flat_config", config.process_l_and_flat_config);
    line_s(out, "calib_otp_interim_data_file", config.calib_otp_interim_data_file);
    line_d(out, "crop_percent_for_aux", config.crop_percent_for_aux);
  }
}

void dump_verif_config(std::FILE* out, const zorvel_verif_config& config) {
  const char* const* keys = kVerifKeys;
  dump_verif_camera(out, keys, config.main, config.main_focal_length_ratio_tolerance_in_percent);
  dump_verif_camera(out, keys + 11, config.aux, config.aux_focal_length_ratio_tolerance_in_percent);
  line_byte(out, keys[22], config.main_aux_position_flag);
  line_byte(out, keys[23], config.main_aux_sensor_verif_orientation_flag);
  line_byte(out, keys[24], config.main_aux_rotation_flag);
  line_f(out, keys[25], config.flat_chart_distance_mm);
  line_s(out, keys[26], config.calib_otp_data_file);
  line_f(out, keys[27], config.residual_vertical_disparity_threshold_pixels);
  line_f(out, keys[28], config.scale_difference_threshold_percent);
  line_f(out, keys[29], config.flat_chart_distance_threshold_percent);
  line_f(out, keys[30], config.flat_chart_standard_dev_threshold);
  if (config.enable_debug_mode == 1) line_d(out, "enable_debug_mode", 1);
}

}  // namespace zorvel
