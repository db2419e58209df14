// Verification checks and the verification input. Ratios dimensionless,
// lengths in mm.
#include "driver/verification_setup.h"

#include <cstdio>

#include "common/run_messages.h"
#include "driver/focus_ratio.h"
#include "driver/value_checks.h"
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
  report_failure(error_format, static_cast<double>(cam.verify_focal_length_ratio),
              static_cast<double>(t));
  return false;
}

bool size_match(const char* format, const zorvel_verif_camera_params& cam, uint16_t otp_width,
                uint16_t otp_height) {
  if (cam.verify_input_width == otp_width && cam.verify_input_height == otp_height) return true;
  report_failure(format, static_cast<uint32_t>(cam.verify_input_width),
              static_cast<uint32_t>(cam.verify_input_height), static_cast<uint32_t>(otp_width),
              static_cast<uint32_t>(otp_height));
  return false;
}

bool value_match(const char* format, int64_t configured, uint16_t stored) {
  if (configured == stored) return true;
  report_failure(format, static_cast<uint32_t>(configured), static_cast<uint32_t>(stored));
  return false;
}

zorvel_stereo_model stored_stereo_model(const zorvel_otp_data& otp, uint8_t mode) {
  zorvel_stereo_model model;
  for (int i = 0; i < 9; ++i) model.rot[i] = static_cast<double>(otp.rot[i]);
  // The matrix is announced as unity but the stored rotation stays in use.
  if (mode == 6) {
    std::printf("\n SETTING RECT MATRIX TO UNITY");
    std::printf("\n Printing Error Matrix");
    for (int i = 0; i < 9; ++i) std::printf("\n pc_cfg->rot[%d] = %f", i, model.rot[i]);
  }
  // These modes judge the rotation alone, without the residual correction.
  const bool clear_geo = mode == 3 || mode == 6 || mode == 7;
  for (int i = 0; i < 32; ++i) {
    if (clear_geo) {
      std::printf("\n SETTING GEO to 0");
      model.geo[i] = 0.0f;
    } else {
      model.geo[i] = otp.geo[i];
    }
  }
  model.main_focal_px = otp.main_focal_length_px;
  model.aux_focal_px = otp.aux_focal_length_px;
  model.projection_offset_x = otp.projection_offset_x;
  model.projection_offset_y = otp.projection_offset_y;
  return model;
}

zorvel_lens_model lens_model(const double dewarp[5], const double warp[5], float reference) {
  zorvel_lens_model lens;
  for (int i = 0; i < 5; ++i) {
    lens.dewarp_coeff[i] = dewarp[i];
    lens.warp_coeff[i] = warp[i];
  }
  lens.fl_dewarping_reference = reference;
  return lens;
}

// A verification never crops: the main camera is compared in full.
zorvel_working_form stored_working_form(const zorvel_otp_data& otp, bool rotated) {
  zorvel_working_form form;
  form.rotated = rotated;
  form.crop_percent_for_aux = 0;
  form.main_lens =
      lens_model(otp.main_dewarp_coeff, otp.main_warp_coeff, otp.main_fl_dewarping_reference);
  form.aux_lens =
      lens_model(otp.aux_dewarp_coeff, otp.aux_warp_coeff, otp.aux_fl_dewarping_reference);
  return form;
}

zorvel_lens_adjustment decoded_adjustment(const uint8_t kp_fl_ratio[5],
                                          const int8_t adjust_ratio[5]) {
  zorvel_lens_adjustment table;
  for (int i = 0; i < 5; ++i) {
    table.kp_fl_ratio[i] = decode_ratio_byte(kp_fl_ratio[i]);
    table.adjust_ratio[i] = decode_ratio_byte(adjust_ratio[i]);
  }
  return table;
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

bool check_verification_parameters(const zorvel_verif_config& config) {
  return ratio_check(config.main.verify_focal_length_ratio,
                     "\nError: main_verify_focal_length_ratio = %f - this value should always be "
                     ">= 1.0\n\n") &&
         range_check(config.main.sensor_verif_mirror_flip_setting, 3,
                     "\nError: main_sensor_verif_mirror_flip_setting = %u - valid values are "
                     "0,1,2,3\n\n") &&
         range_check(config.main.sensor_mono_flag, 1,
                     "\nError: main_sensor_mono_flag = %u - valid values are 0,1\n\n") &&
         ratio_check(config.aux.verify_focal_length_ratio,
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

zorvel_capture_pair oriented_capture_size(const zorvel_verif_config& config) {
  zorvel_capture_pair capture;
  const bool turned = config.main_aux_rotation_flag != 0;
  capture.main_width = turned ? config.main.verify_input_height : config.main.verify_input_width;
  capture.main_height = turned ? config.main.verify_input_width : config.main.verify_input_height;
  capture.aux_width = turned ? config.aux.verify_input_height : config.aux.verify_input_width;
  capture.aux_height = turned ? config.aux.verify_input_width : config.aux.verify_input_height;
  return capture;
}

zorvel_verification_input verification_input_of(const zorvel_verif_config& config,
                                                const zorvel_otp_data& otp, uint8_t mode) {
  zorvel_verification_input in;
  in.model = stored_stereo_model(otp, mode);
  in.form = stored_working_form(otp, config.main_aux_rotation_flag != 0);
  in.l_chart_ratios = {otp.main_focal_length_ratio, otp.aux_focal_length_ratio};
  in.flat_chart_ratios = {config.main.verify_focal_length_ratio, config.aux.verify_focal_length_ratio};
  in.main_adjustment = decoded_adjustment(otp.main_kp_fl_ratio, otp.main_adjust_ratio);
  in.aux_adjustment = decoded_adjustment(otp.aux_kp_fl_ratio, otp.aux_adjust_ratio);
  in.baseline_mm = otp.cam_baseline_mm;
  in.flat_chart_distance_mm = config.flat_chart_distance_mm;
  in.main_mono = config.main.sensor_mono_flag != 0;
  in.aux_mono = config.aux.sensor_mono_flag != 0;
  in.metric_settings = {config.percentage_fov_for_metric_calculation,
                        config.percentile_for_variation_in_disparity};
  in.rotation_flag = config.main_aux_rotation_flag;
  in.run_mode = mode;
  return in;
}

}  // namespace zorvel
