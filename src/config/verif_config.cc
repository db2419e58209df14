#include "config/verif_config.h"

#include "config/key_converter.h"
#include "config/result_outputs.h"

#include <cmath>

namespace zorvel {

const char* const kVerifKeys[kVerifKeyCount] = {
    "main_verify_input_width", "main_verify_input_height", "main_verify_flat_chart_image",
    "is_af_enabled_main", "main_verify_focal_length_ratio",
    "main_focal_length_ratio_tolerance_in_percent", "main_f_number", "main_pixel_pitch_mm",
    "main_focal_length_mm", "main_sensor_verif_mirror_flip_setting", "main_sensor_mono_flag",
    "aux_verify_input_width", "aux_verify_input_height", "aux_verify_flat_chart_image",
    "is_af_enabled_aux", "aux_verify_focal_length_ratio",
    "aux_focal_length_ratio_tolerance_in_percent", "aux_f_number", "aux_pixel_pitch_mm",
    "aux_focal_length_mm", "aux_sensor_verif_mirror_flip_setting", "aux_sensor_mono_flag",
    "main_aux_position_flag", "main_aux_sensor_verif_orientation_flag",
    "main_aux_rotation_flag", "flat_chart_distance_mm", "calib_otp_data_file",
    "residual_vertical_disparity_threshold_pixels", "scale_difference_threshold_percent",
    "flat_chart_distance_threshold_percent", "flat_chart_standard_dev_threshold",
    "percentage_fov_for_metric_calculation", "percentile_for_variation_in_disparity",
    "vertical_disparity_max_threshold", "horizontal_disparity_max_threshold",
};

namespace {

constexpr const char* kAuxFlagKeyFormat = "\n aux flag = %s";
constexpr const char* kAuxFlagValueFormat = "\n aux flag = %d";
constexpr const char* kRotateFlagError = "\n Rotate flag read error";
constexpr const char* kAuxToleranceFormat = "\n %f p_config.tolerance_of_fl_ratio_in_percent_aux";

void convert_camera(key_converter& in, const std::string& side,
                    zorvel_verif_camera_params& cam) {
  in.integer(side + "_verify_input_width", cam.verify_input_width);
  in.integer(side + "_verify_input_height", cam.verify_input_height);
  in.text(side + "_verify_flat_chart_image", cam.verify_flat_chart_image,
          cam.verify_flat_chart_image_path);
  in.byte("is_af_enabled_" + side, cam.is_af_enabled);
  in.real(side + "_verify_focal_length_ratio", cam.verify_focal_length_ratio);
  in.real(side + "_f_number", cam.f_number);
  in.real(side + "_pixel_pitch_mm", cam.pixel_pitch_mm);
  in.real(side + "_focal_length_mm", cam.focal_length_mm);
  in.integer(side + "_sensor_verif_mirror_flip_setting", cam.sensor_verif_mirror_flip_setting);
  in.integer(side + "_sensor_mono_flag", cam.sensor_mono_flag);
}

// A tolerance never rejects the file: 1.0 before reading, the converted value
// after a range error, and 1.0 again for a NaN, which no check could use.
float tolerance(const zorvel_config_reader& reader, const char* key, std::FILE* progress) {
  float value = 1.0f;
  if (!parse_float(reader.get(key), value)) {
    std::fputs("\n", progress);
    if (std::isnan(value)) value = 1.0f;
  }
  return value;
}

}  // namespace

void parse_verif_config(zorvel_config_reader& reader, zorvel_verif_config& config,
                        zorvel_parse_result& result, std::FILE* progress) {
  result.status = 1;
  if (!reader.load(result)) return;
  read_result_outputs(reader, config.result_json_file_path, config.result_report_dir_path);
  if (!reader.require(kVerifKeys, kVerifRequiredKeyCount, key_exemption::none, result)) return;

  key_converter in(reader, result);
  convert_camera(in, "main", config.main);
  convert_camera(in, "aux", config.aux);
  in.byte("main_aux_position_flag", config.main_aux_position_flag);
  in.byte("main_aux_sensor_verif_orientation_flag",
          config.main_aux_sensor_verif_orientation_flag);
  if (!in.ok()) return;

  std::fprintf(progress, kAuxFlagKeyFormat, "main_aux_rotation_flag");
  const std::string rotation = reader.get("main_aux_rotation_flag");
  if (!parse_byte(rotation, config.main_aux_rotation_flag)) {
    report_invalid_value(result, "main_aux_rotation_flag", rotation);
    std::fputs(kRotateFlagError, progress);
    return;
  }
  std::fprintf(progress, kAuxFlagValueFormat, static_cast<int>(config.main_aux_rotation_flag));

  in.real("flat_chart_distance_mm", config.flat_chart_distance_mm);
  in.text("calib_otp_data_file", config.calib_otp_data_file, config.calib_otp_data_file_path);
  in.real("residual_vertical_disparity_threshold_pixels",
          config.residual_vertical_disparity_threshold_pixels);
  in.real("scale_difference_threshold_percent", config.scale_difference_threshold_percent);
  in.real("flat_chart_distance_threshold_percent",
          config.flat_chart_distance_threshold_percent);
  in.real("flat_chart_standard_dev_threshold", config.flat_chart_standard_dev_threshold);
  if (!in.ok()) return;

  config.main_focal_length_ratio_tolerance_in_percent =
      tolerance(reader, "main_focal_length_ratio_tolerance_in_percent", progress);
  config.aux_focal_length_ratio_tolerance_in_percent =
      tolerance(reader, "aux_focal_length_ratio_tolerance_in_percent", progress);
  std::fprintf(progress, kAuxToleranceFormat,
               static_cast<double>(config.aux_focal_length_ratio_tolerance_in_percent));

  config.enable_debug_mode = 0;
  if (!parse_byte(reader.get("enable_debug_mode"), config.enable_debug_mode)) {
    std::fputs("\n", progress);
    config.enable_debug_mode = 0;
  }

  in.byte("percentage_fov_for_metric_calculation",
          config.percentage_fov_for_metric_calculation);
  in.byte("percentile_for_variation_in_disparity",
          config.percentile_for_variation_in_disparity);
  in.real("vertical_disparity_max_threshold", config.vertical_disparity_max_threshold);
  in.real("horizontal_disparity_max_threshold", config.horizontal_disparity_max_threshold);
}

}  // namespace zorvel
