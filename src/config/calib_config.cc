#include "config/calib_config.h"

#include "config/key_converter.h"
#include "config/result_outputs.h"

namespace zorvel {

const char* const kCalibKeys[kCalibKeyCount] = {
    // main camera block
    "main_native_width", "main_native_height", "main_f_number", "main_fovd_degrees",
    "main_pixel_pitch_mm", "main_focal_length_mm", "is_af_enabled_main",
    "main_focal_length_ratio_l", "main_focal_length_ratio_flat",
    "main_fl_ratio_tolerance_in_percent_l", "main_fl_ratio_tolerance_in_percent_flat",
    "main_sensor_calib_mirror_flip_setting", "main_sensor_mono_flag",
    "main_calib_input_width", "main_calib_input_height", "main_calib_l_chart_image",
    "main_calib_flat_chart_image",
    "dewarp_coeff_main_0", "dewarp_coeff_main_1", "dewarp_coeff_main_2",
    "dewarp_coeff_main_3", "dewarp_coeff_main_4",
    "warp_coeff_main_0", "warp_coeff_main_1", "warp_coeff_main_2", "warp_coeff_main_3",
    "warp_coeff_main_4", "fl_dewarping_reference_main",
    "distortion_adj_fl_ratio_main_0", "distortion_adj_fl_ratio_main_1",
    "distortion_adj_fl_ratio_main_2", "distortion_adj_fl_ratio_main_3",
    "distortion_adj_fl_ratio_main_4",
    "distortion_scale_adj_main_0", "distortion_scale_adj_main_1",
    "distortion_scale_adj_main_2", "distortion_scale_adj_main_3",
    "distortion_scale_adj_main_4",
    // aux camera block
    "aux_native_width", "aux_native_height", "aux_f_number", "aux_fovd_degrees",
    "aux_pixel_pitch_mm", "aux_focal_length_mm", "is_af_enabled_aux",
    "aux_focal_length_ratio_l", "aux_focal_length_ratio_flat",
    "aux_fl_ratio_tolerance_in_percent_l", "aux_fl_ratio_tolerance_in_percent_flat",
    "aux_sensor_calib_mirror_flip_setting", "aux_sensor_mono_flag",
    "aux_calib_input_width", "aux_calib_input_height", "aux_calib_l_chart_image",
    "aux_calib_flat_chart_image",
    "dewarp_coeff_aux_0", "dewarp_coeff_aux_1", "dewarp_coeff_aux_2",
    "dewarp_coeff_aux_3", "dewarp_coeff_aux_4",
    "warp_coeff_aux_0", "warp_coeff_aux_1", "warp_coeff_aux_2", "warp_coeff_aux_3",
    "warp_coeff_aux_4", "fl_dewarping_reference_aux",
    "distortion_adj_fl_ratio_aux_0", "distortion_adj_fl_ratio_aux_1",
    "distortion_adj_fl_ratio_aux_2", "distortion_adj_fl_ratio_aux_3",
    "distortion_adj_fl_ratio_aux_4",
    "distortion_scale_adj_aux_0", "distortion_scale_adj_aux_1",
    "distortion_scale_adj_aux_2", "distortion_scale_adj_aux_3",
    "distortion_scale_adj_aux_4",
    // shared settings
    "calib_square_size_mm", "cam_baseline_mm", "main_aux_position_flag",
    "main_aux_sensor_calib_orientation_flag", "main_aux_rotation_flag",
    "l_chart_distance_mm", "flat_chart_distance_mm", "calib_otp_data_file",
    "residual_vertical_disparity_threshold_pixels", "scale_difference_threshold_percent",
    "l_chart_origin_distance_threshold_percent", "flat_chart_standard_dev_threshold",
    "percentage_fov_for_metric_calculation", "percentile_for_variation_in_disparity",
    "vertical_disparity_max_threshold", "horizontal_disparity_max_threshold",
};

const char* const kCalibOptionalKeys[kCalibOptionalKeyCount] = {
    "process_l_and_flat_config", "calib_otp_interim_data_file", "crop_percent_for_aux",
    "fov_used_for_computation",  "max_hd_variation_allowed",    "max_vd_variation_allowed",
};

namespace {

// Index of each camera field's key inside a camera block of kCalibKeys.
enum camera_key : int {
  k_native_width = 0, k_native_height, k_f_number, k_fovd_degrees, k_pixel_pitch_mm,
  k_focal_length_mm, k_is_af_enabled, k_focal_length_ratio_l, k_focal_length_ratio_flat,
  k_tolerance_l, k_tolerance_flat, k_mirror_flip, k_mono_flag, k_input_width,
  k_input_height, k_l_chart_image, k_flat_chart_image, k_dewarp_0, k_warp_0 = k_dewarp_0 + 5,
  k_fl_dewarping_reference = k_warp_0 + 5,
};

void convert_camera(key_converter& in, const char* const* keys, zorvel_camera_params& cam) {
  in.integer(keys[k_native_width], cam.native_width);
  in.integer(keys[k_native_height], cam.native_height);
  in.real(keys[k_f_number], cam.f_number);
  in.real(keys[k_fovd_degrees], cam.fovd_degrees);
  in.real(keys[k_pixel_pitch_mm], cam.pixel_pitch_mm);
  in.real(keys[k_focal_length_mm], cam.focal_length_mm);
  in.byte(keys[k_is_af_enabled], cam.is_af_enabled);
  in.real(keys[k_focal_length_ratio_l], cam.focal_length_ratio_l);
  in.real(keys[k_focal_length_ratio_flat], cam.focal_length_ratio_flat);
  in.real(keys[k_tolerance_l], cam.fl_ratio_tolerance_in_percent_l);
  in.real(keys[k_tolerance_flat], cam.fl_ratio_tolerance_in_percent_flat);
  in.integer(keys[k_mirror_flip], cam.sensor_calib_mirror_flip_setting);
  in.integer(keys[k_mono_flag], cam.sensor_mono_flag);
  in.integer(keys[k_input_width], cam.calib_input_width);
  in.integer(keys[k_input_height], cam.calib_input_height);
  in.text(keys[k_l_chart_image], cam.calib_l_chart_image, cam.calib_l_chart_image_path);
  in.text(keys[k_flat_chart_image], cam.calib_flat_chart_image,
          cam.calib_flat_chart_image_path);
}

void convert_lens(key_converter& in, const char* const* keys, zorvel_camera_params& cam) {
  for (int i = 0; i < 5; ++i) in.real(keys[k_dewarp_0 + i], cam.dewarp_coeff[i]);
  for (int i = 0; i < 5; ++i) in.real(keys[k_warp_0 + i], cam.warp_coeff[i]);
  in.real(keys[k_fl_dewarping_reference], cam.fl_dewarping_reference);
}

// An optional byte: fallback when absent or rejected.
uint8_t optional_byte(const zorvel_config_reader& reader, const char* key, uint8_t fallback) {
  uint8_t value = fallback;
  if (reader.find(key) && !parse_byte(reader.get(key), value)) value = fallback;
  return value;
}

// A variation limit: 1.0 when absent, rejected or not greater than 0.
float variation_limit(const zorvel_config_reader& reader, const char* key) {
  float value = 1.0f;
  if (reader.find(key) && !parse_float(reader.get(key), value)) value = 1.0f;
  return value > 0.0f ? value : 1.0f;
}

// An optional distortion adjustment: 1.0 when absent or rejected.
float distortion_adjustment(const zorvel_config_reader& reader, const std::string& key) {
  float value = 1.0f;
  if (reader.find(key) && !parse_float(reader.get(key), value)) value = 1.0f;
  return value;
}

}  // namespace

void parse_calib_config(zorvel_config_reader& reader, zorvel_calib_config& config,
                        zorvel_parse_result& result) {
  result.status = 1;
  if (!reader.load(result)) return;
  read_result_outputs(reader, config.result_json_file_path, config.result_report_dir_path);
  if (!reader.require(kCalibKeys, kCalibKeyCount, key_exemption::distortion_keys, result)) {
    return;
  }

  config.optional_keys_present = 0;
  for (const char* key : kCalibOptionalKeys) {
    if (reader.find(key)) {
      config.optional_keys_present = 1;
      break;
    }
  }

  for (zorvel_camera_params* cam : {&config.main, &config.aux}) {
    cam->fl_ratio_tolerance_in_percent_l = 1.0f;
    cam->fl_ratio_tolerance_in_percent_flat = 1.0f;
  }

  key_converter in(reader, result);
  const char* const* main_keys = kCalibKeys;
  const char* const* aux_keys = kCalibKeys + kCalibCameraKeyCount;
  convert_camera(in, main_keys, config.main);
  convert_camera(in, aux_keys, config.aux);

  in.real("calib_square_size_mm", config.calib_square_size_mm);
  in.real("cam_baseline_mm", config.cam_baseline_mm);
  in.byte("main_aux_position_flag", config.main_aux_position_flag);
  in.byte("main_aux_sensor_calib_orientation_flag",
          config.main_aux_sensor_calib_orientation_flag);
  in.byte("main_aux_rotation_flag", config.main_aux_rotation_flag);
  in.real("l_chart_distance_mm", config.l_chart_distance_mm);
  in.real("flat_chart_distance_mm", config.flat_chart_distance_mm);
  in.text("calib_otp_data_file", config.calib_otp_data_file, config.calib_otp_data_file_path);
  in.real("residual_vertical_disparity_threshold_pixels",
          config.residual_vertical_disparity_threshold_pixels);
  in.real("scale_difference_threshold_percent", config.scale_difference_threshold_percent);
  in.real("l_chart_origin_distance_threshold_percent",
          config.l_chart_origin_distance_threshold_percent);
  if (!in.ok()) return;

  for (zorvel_camera_params* cam : {&config.main, &config.aux}) {
    for (int i = 0; i < 5; ++i) {
      cam->dewarp_coeff[i] = 0.0;
      cam->warp_coeff[i] = 0.0;
    }
    cam->fl_dewarping_reference = 320.0f;
  }
  convert_lens(in, main_keys, config.main);
  convert_lens(in, aux_keys, config.aux);
  if (!in.ok()) return;

  // Optional keys never reject the file.
  config.process_l_and_flat_config = optional_byte(reader, "process_l_and_flat_config", 0);
  if (reader.find("calib_otp_interim_data_file")) {
    config.calib_otp_interim_data_file = reader.get("calib_otp_interim_data_file");
    config.calib_otp_interim_data_file_path = reader.get_path("calib_otp_interim_data_file");
  } else {
    config.calib_otp_interim_data_file = "NA";
    config.calib_otp_interim_data_file_path = "NA";
  }
  config.crop_percent_for_aux = optional_byte(reader, "crop_percent_for_aux", 0);
  config.fov_used_for_computation = optional_byte(reader, "fov_used_for_computation", 40);
  if (config.fov_used_for_computation == 0) config.fov_used_for_computation = 40;
  config.max_hd_variation_allowed = variation_limit(reader, "max_hd_variation_allowed");
  config.max_vd_variation_allowed = variation_limit(reader, "max_vd_variation_allowed");

  in.real("flat_chart_standard_dev_threshold", config.flat_chart_standard_dev_threshold);
  in.byte("percentage_fov_for_metric_calculation",
          config.percentage_fov_for_metric_calculation);
  in.byte("percentile_for_variation_in_disparity",
          config.percentile_for_variation_in_disparity);
  in.real("vertical_disparity_max_threshold", config.vertical_disparity_max_threshold);
  in.real("horizontal_disparity_max_threshold", config.horizontal_disparity_max_threshold);
  if (!in.ok()) return;

  // Distortion adjustments: 1.0 unless given; these keys never reject.
  static const char* const kPrefixes[4] = {
      "distortion_adj_fl_ratio_main_", "distortion_scale_adj_main_",
      "distortion_adj_fl_ratio_aux_", "distortion_scale_adj_aux_"};
  for (int i = 0; i < 5; ++i) {
    float* fields[4] = {&config.main.distortion_adj_fl_ratio[i],
                        &config.main.distortion_scale_adj[i],
                        &config.aux.distortion_adj_fl_ratio[i],
                        &config.aux.distortion_scale_adj[i]};
    for (int f = 0; f < 4; ++f) {
      *fields[f] = distortion_adjustment(reader, kPrefixes[f] + std::to_string(i));
    }
  }
}

}  // namespace zorvel
