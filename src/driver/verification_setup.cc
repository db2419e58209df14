// Verification checks and run records. Ratios dimensionless, lengths in mm.
#include "driver/verification_setup.h"

#include <cstdio>

#include "driver/focus_ratio.h"
#include "otp/otp_record.h"

namespace zorvel {
namespace {

bool focus_check(const char* who, const zorvel_verif_camera_params& cam, float tolerance,
                 float distance_mm, const char* error_format) {
  if (cam.is_af_enabled != 1) return true;
  const float t = theoretical_fl_ratio(distance_mm, cam.focal_length_mm);
  const float p = ratio_deviation_percent(t, cam.verify_focal_length_ratio);
  std::printf("\n diff_%s_Flat = %f", who, static_cast<double>(p));
  if (!(p > tolerance)) return true;
  std::printf("\n diff_%s_Flat = %f v_config.tolerance_of_fl_ratio_in_percent_%s %f", who,
              static_cast<double>(p), who, static_cast<double>(tolerance));
  std::printf(error_format, static_cast<double>(cam.verify_focal_length_ratio),
              static_cast<double>(t));
  return false;
}

bool range_check(int32_t value, uint32_t max, const char* format) {
  if (static_cast<uint32_t>(value) <= max) return true;
  std::printf(format, static_cast<uint32_t>(value));
  return false;
}

bool ratio_check(float ratio, const char* format) {
  if (!(ratio < 1.0f)) return true;
  std::printf(format, static_cast<double>(ratio));
  return false;
}

bool size_match(const char* format, const zorvel_verif_camera_params& cam, uint16_t otp_width,
                uint16_t otp_height) {
  if (cam.verify_input_width == otp_width && cam.verify_input_height == otp_height) return true;
  std::printf(format, static_cast<uint32_t>(cam.verify_input_width),
              static_cast<uint32_t>(cam.verify_input_height), static_cast<uint32_t>(otp_width),
              static_cast<uint32_t>(otp_height));
  return false;
}

bool value_match(const char* format, int64_t configured, uint16_t stored) {
  if (configured == stored) return true;
  std::printf(format, static_cast<uint32_t>(configured), static_cast<uint32_t>(stored));
  return false;
}

}  // namespace

bool check_verification_focus(const zorvel_verif_config& config) {
  const float d = config.flat_chart_distance_mm;
  return focus_check("main", config.main, config.main_focal_length_ratio_tolerance_in_percent, d,
                     "\nError: Main FL Ratio Flat Chart exceeds tolerance: Programmed value = %f "
                     "Theorectical Value = %f") &&
         focus_check("aux", config.aux, config.aux_focal_length_ratio_tolerance_in_percent, d,
                     "\nError: Aux FL Ratio Flat Chart exceeds tolerance: Programmed value = %f "
                     "Theorectical Value = %f");
}

bool check_against_otp(const zorvel_verif_config& config, const zorvel_otp_data& otp) {
  return size_match("Error: Main camera image input dimensions (%ux%u) don't match OTP native "
                    "dimensions (%ux%u) ...\n\n",
                    config.main, otp.main_native_width, otp.main_native_height) &&
         size_match("Error: Aux camera image input dimensions (%ux%u) don't match OTP native "
                    "dimensions (%ux%u) ...\n\n",
                    config.aux, otp.aux_native_width, otp.aux_native_height) &&
         value_match("Error: Main camera mirror flip settings (%u) don't match OTP (%u) ...\n\n",
                     config.main.sensor_verif_mirror_flip_setting, otp.main_mirror_flip_setting) &&
         value_match("Error: Aux camera mirror flip settings (%u) don't match OTP (%u) ...\n\n",
                     config.aux.sensor_verif_mirror_flip_setting, otp.aux_mirror_flip_setting) &&
         value_match("Error: Main/Aux position flag (%u) doesn't match OTP (%u) ...\n\n",
                     static_cast<uint16_t>(config.main_aux_position_flag),
                     otp.main_aux_position_flag) &&
         value_match("Error: Main/Aux orientation flag (%u) doesn't match OTP (%u) ...\n\n",
                     config.main_aux_sensor_verif_orientation_flag, otp.orientation_flag) &&
         range_check(config.main_aux_rotation_flag, 2,
                     "\nError: main_aux_rotation_flag = %u - valid values are 0,1,2\n\n");
}

void fill_stored_geometry(const zorvel_verif_config& config, const zorvel_otp_data& otp,
                          zorvel_calib_context& pc_cfg) {
  if (pc_cfg.swap_dimensions != 0) {
    pc_cfg.main_width = config.main.verify_input_height;
    pc_cfg.main_height = config.main.verify_input_width;
    pc_cfg.aux_width = config.aux.verify_input_height;
    pc_cfg.aux_height = config.aux.verify_input_width;
  } else {
    pc_cfg.main_width = otp.main_native_width;
    pc_cfg.main_height = otp.main_native_height;
    pc_cfg.aux_width = otp.aux_native_width;
    pc_cfg.aux_height = otp.aux_native_height;
  }
  pc_cfg.main_pixel_pitch_mm = config.main.pixel_pitch_mm;
  pc_cfg.aux_pixel_pitch_mm = config.aux.pixel_pitch_mm;
  pc_cfg.main_focal_length = otp.main_focal_length_px;
  pc_cfg.aux_focal_length = otp.aux_focal_length_px;
}

bool check_verification_parameters(const zorvel_verif_config& config,
                                   zorvel_calib_context& pc_cfg,
                                   zorvel_calib_context& verify_ctx) {
  if (!ratio_check(config.main.verify_focal_length_ratio,
                   "\nError: main_verify_focal_length_ratio = %f - this value should always be "
                   ">= 1.0\n\n") ||
      !range_check(config.main.sensor_verif_mirror_flip_setting, 3,
                   "\nError: main_sensor_verif_mirror_flip_setting = %u - valid values are "
                   "0,1,2,3\n\n") ||
      !range_check(config.main.sensor_mono_flag, 1,
                   "\nError: main_sensor_mono_flag = %u - valid values are 0,1\n\n")) {
    return false;
  }
  verify_ctx.aux_focal_length_ratio = config.aux.verify_focal_length_ratio;
  verify_ctx.flat_chart_distance_mm = config.flat_chart_distance_mm;
  verify_ctx.main_focal_length_mm = config.main.focal_length_mm;
  verify_ctx.aux_focal_length_mm = config.aux.focal_length_mm;
  // The configured sizes as written, also for a rotated module.
  pc_cfg.aux_width = config.aux.verify_input_width;
  pc_cfg.aux_height = config.aux.verify_input_height;
  verify_ctx.percentage_fov_for_metric_calculation = config.percentage_fov_for_metric_calculation;
  verify_ctx.percentile_for_variation_in_disparity = config.percentile_for_variation_in_disparity;
  verify_ctx.vertical_disparity_max_threshold = config.vertical_disparity_max_threshold;
  verify_ctx.horizontal_disparity_max_threshold = config.horizontal_disparity_max_threshold;
  return ratio_check(config.aux.verify_focal_length_ratio,
                     "\nError: aux_verify_focal_length_ratio = %f - this value should always be "
                     ">= 1.0\n\n") &&
         range_check(config.aux.sensor_verif_mirror_flip_setting, 3,
                     "\nError: aux_sensor_verif_mirror_flip_setting = %u - valid values are "
                     "0,1,2,3\n\n") &&
         range_check(config.aux.sensor_mono_flag, 1,
                     "\nError: aux_sensor_mono_flag = %u - valid values are 0,1\n\n") &&
         range_check(config.percentile_for_variation_in_disparity, 100,
                     "\nError: percentile_for_variation_in_disparity = %u - valid values are "
                     "0..100\n\n");
}

void fill_stored_calibration(const zorvel_verif_config& config, const zorvel_otp_data& otp,
                             uint8_t mode, zorvel_calib_context& pc_cfg) {
  // 12.
  pc_cfg.residual_vertical_disparity_threshold_pixels =
      config.residual_vertical_disparity_threshold_pixels;
  pc_cfg.scale_difference_threshold_percent = config.scale_difference_threshold_percent;
  pc_cfg.distance_threshold_percent = config.flat_chart_distance_threshold_percent;
  pc_cfg.main_sensor_mono_flag = config.main.sensor_mono_flag;
  pc_cfg.aux_sensor_mono_flag = config.aux.sensor_mono_flag;
  pc_cfg.main_focal_length_ratio = otp.main_focal_length_ratio;
  pc_cfg.aux_focal_length_ratio = otp.aux_focal_length_ratio;
  for (int i = 0; i < 9; ++i) pc_cfg.rot[i] = static_cast<double>(otp.rot[i]);

  // 13. The matrix is announced as unity but the stored rotation stays in use.
  if (mode == 6) {
    std::printf("\n SETTING RECT MATRIX TO UNITY");
    std::printf("\n Printing Error Matrix");
    for (int i = 0; i < 9; ++i) std::printf("\n pc_cfg->rot[%d] = %f", i, pc_cfg.rot[i]);
  }

  // 14.
  const bool clear_geo = mode == 3 || mode == 6 || mode == 7;
  for (int i = 0; i < 32; ++i) {
    if (clear_geo) {
      std::printf("\n SETTING GEO to 0");
      pc_cfg.geo[i] = 0.0f;
    } else {
      pc_cfg.geo[i] = otp.geo[i];
    }
  }

  // 15.
  pc_cfg.projection_offset_x = otp.projection_offset_x;
  pc_cfg.projection_offset_y = otp.projection_offset_y;
  pc_cfg.cam_baseline_mm = otp.cam_baseline_mm;
  for (int i = 0; i < 5; ++i) {
    pc_cfg.dewarp_coeff_aux[i] = otp.aux_dewarp_coeff[i];
    pc_cfg.warp_coeff_aux[i] = otp.aux_warp_coeff[i];
    pc_cfg.dewarp_coeff_main[i] = otp.main_dewarp_coeff[i];
    pc_cfg.warp_coeff_main[i] = otp.main_warp_coeff[i];
    pc_cfg.main_kp_fl_ratio[i] = decode_ratio_byte(otp.main_kp_fl_ratio[i]);
    pc_cfg.main_adjust_ratio[i] = decode_ratio_byte(otp.main_adjust_ratio[i]);
    pc_cfg.aux_kp_fl_ratio[i] = decode_ratio_byte(otp.aux_kp_fl_ratio[i]);
    pc_cfg.aux_adjust_ratio[i] = decode_ratio_byte(otp.aux_adjust_ratio[i]);
  }
  pc_cfg.fl_dewarping_reference_aux = otp.aux_fl_dewarping_reference;
  pc_cfg.fl_dewarping_reference_main = otp.main_fl_dewarping_reference;
  pc_cfg.version = otp.version;
}

}  // namespace zorvel
