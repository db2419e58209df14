// Calibration run, from the parsed configuration to the focal lengths in
// working pixels. Ratios are dimensionless, lengths in mm, angles in degrees.
#include "driver/calibration_setup.h"

#include <cmath>
#include <cstdio>

#include "driver/focus_ratio.h"

namespace zorvel {
namespace {

constexpr uint32_t kMaxCaptureSide = 65535;  // the record stores sizes in 16 bits
constexpr int64_t kMinWorkingSide = 16;
constexpr int64_t kMaxWorkingSide = 65535;

bool af_check(const char* who, const char* who_ref, const zorvel_camera_params& cam,
              float t_flat, float t_l) {
  if (cam.is_af_enabled != 1) return true;
  const float p_flat = ratio_deviation_percent(t_flat, cam.focal_length_ratio_flat);
  const float p_l = ratio_deviation_percent(t_l, cam.focal_length_ratio_l);
  if (p_l > cam.fl_ratio_tolerance_in_percent_l) {
    std::printf("\n%s Error FL L: Programmed value = %f Theorectical Value = %f", who,
                static_cast<double>(cam.focal_length_ratio_l), static_cast<double>(t_l));
    std::printf("\n%s Error FL L: %s Reference Percentage Error = %f Estimated Error = %f", who,
                who_ref, static_cast<double>(p_l),
                static_cast<double>(cam.fl_ratio_tolerance_in_percent_l));
    return false;
  }
  if (p_flat > cam.fl_ratio_tolerance_in_percent_flat) {
    std::printf("\n%s Error FL Flat: Programmed value = %f Theorectical Value = %f", who,
                static_cast<double>(cam.focal_length_ratio_flat), static_cast<double>(t_flat));
    std::printf("\n%s Error FL Flat: %s Reference Percentage Error = %f Estimated Error = %f",
                who, who_ref, static_cast<double>(p_flat),
                static_cast<double>(cam.fl_ratio_tolerance_in_percent_flat));
    return false;
  }
  return true;
}

bool range_check(int32_t value, uint32_t max, const char* format) {
  if (static_cast<uint32_t>(value) <= max) return true;
  std::printf(format, static_cast<uint32_t>(value));
  return false;
}

bool positive_check(float value, const char* format) {
  if (value > 0.0f) return true;  // NaN fails too
  std::printf(format, static_cast<double>(value));
  return false;
}

// Capture sizes the record can hold and whose working image is usable.
bool capture_size_check(const char* camera, const zorvel_camera_params& cam, bool swap) {
  const uint32_t w = static_cast<uint32_t>(cam.calib_input_width);
  const uint32_t h = static_cast<uint32_t>(cam.calib_input_height);
  if (w < 1 || w > kMaxCaptureSide) {
    std::printf("\nError: %s.calib_input_width = %u - valid values are 1..65535\n\n", camera, w);
    return false;
  }
  if (h < 1 || h > kMaxCaptureSide) {
    std::printf("\nError: %s.calib_input_height = %u - valid values are 1..65535\n\n", camera, h);
    return false;
  }
  const int64_t other = working_other_side(cam.calib_input_width, cam.calib_input_height);
  if (other >= kMinWorkingSide && other <= kMaxWorkingSide) return true;
  const int64_t work_w = swap ? other : kWorkingSide;
  const int64_t work_h = swap ? kWorkingSide : other;
  std::printf(
      "\nError: %s capture size = %ux%u - working image would be %lldx%lld, each side should "
      "be 16..65535\n\n",
      camera, w, h, static_cast<long long>(work_w), static_cast<long long>(work_h));
  return false;
}

float atan_deg2(float argument) {
  return kTwoDegreesPerRadian * static_cast<float>(std::atan(static_cast<double>(argument)));
}

// Focal lengths in pixels of the 1280-pixel working image and the fields of
// view, in single precision in the order written.
void fields_of_view(zorvel_calib_context& c, bool swap) {
  const float f = c.main_focal_length;
  const float p = c.main_pixel_pitch_mm;
  const float fa = c.aux_focal_length;
  const float pa = c.aux_pixel_pitch_mm;
  const float side = static_cast<float>(kWorkingSide);
  const float main_w = static_cast<float>(c.main_width);
  const float main_h = static_cast<float>(c.main_height);
  const float aux_w = static_cast<float>(c.aux_width);
  const float aux_h = static_cast<float>(c.aux_height);
  if (!swap) {
    c.main_fov_v_deg = atan_deg2(main_h * p / f * 0.5f);
    c.main_focal_length = f / (main_w / side * p);
    c.main_fov_h_deg = atan_deg2(side / c.main_focal_length * 0.5f);
    c.aux_focal_length = fa / (aux_w / side * pa);
    c.aux_fov_h_deg = atan_deg2(side / c.aux_focal_length * 0.5f);
    c.aux_fov_v_deg = atan_deg2(aux_h * side / aux_w / c.aux_focal_length * 0.5f);
  } else {
    c.main_fov_h_deg = atan_deg2(main_w * p / f * 0.5f);
    c.main_focal_length = f / (main_h / side * p);
    c.main_fov_v_deg = atan_deg2(side / c.main_focal_length * 0.5f);
    c.aux_focal_length = fa / (aux_h / side * pa);
    c.aux_fov_v_deg = atan_deg2(side / c.aux_focal_length * 0.5f);
    c.aux_fov_h_deg = atan_deg2(aux_w * side / aux_h / c.aux_focal_length * 0.5f);
  }
}

}  // namespace

int64_t working_other_side(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return -1;
  const double w = static_cast<double>(static_cast<uint32_t>(width));
  const double h = static_cast<double>(static_cast<uint32_t>(height));
  return static_cast<int64_t>(std::trunc(h * kWorkingSide / w));
}

bool prepare_calibration_context(const zorvel_calib_config& config,
                                 zorvel_calib_context& c) {
  const zorvel_camera_params& main = config.main;
  const zorvel_camera_params& aux = config.aux;

  // 2. Configuration copies.
  for (int i = 0; i < 5; ++i) {
    c.dewarp_coeff_aux[i] = aux.dewarp_coeff[i];
    c.warp_coeff_aux[i] = aux.warp_coeff[i];
    c.dewarp_coeff_main[i] = main.dewarp_coeff[i];
    c.warp_coeff_main[i] = main.warp_coeff[i];
    c.main_kp_fl_ratio[i] = main.distortion_adj_fl_ratio[i];
    c.main_adjust_ratio[i] = main.distortion_scale_adj[i];
    c.aux_kp_fl_ratio[i] = aux.distortion_adj_fl_ratio[i];
    c.aux_adjust_ratio[i] = aux.distortion_scale_adj[i];
  }
  c.fl_dewarping_reference_aux = aux.fl_dewarping_reference;
  c.fl_dewarping_reference_main = main.fl_dewarping_reference;
  c.version = kLibraryVersion;
  c.fov_used_for_computation = config.fov_used_for_computation;
  c.max_hd_variation_allowed = config.max_hd_variation_allowed;
  c.max_vd_variation_allowed = config.max_vd_variation_allowed;
  c.crop_percent_for_aux = config.crop_percent_for_aux;
  c.main_focal_length = main.focal_length_mm;
  c.main_pixel_pitch_mm = main.pixel_pitch_mm;
  c.main_focal_length_ratio = main.focal_length_ratio_l;
  c.main_focal_length_ratio_flat = main.focal_length_ratio_flat;
  c.aux_focal_length_ratio_flat = aux.focal_length_ratio_flat;

  // 3.-5. Autofocus: programmed ratios against the thin-lens ratios.
  const float t_main_flat = theoretical_fl_ratio(config.flat_chart_distance_mm, main.focal_length_mm);
  const float t_aux_flat = theoretical_fl_ratio(config.flat_chart_distance_mm, aux.focal_length_mm);
  const float t_main_l = theoretical_fl_ratio(config.l_chart_distance_mm, main.focal_length_mm);
  const float t_aux_l = theoretical_fl_ratio(config.l_chart_distance_mm, aux.focal_length_mm);
  if (!af_check("main", "main", main, t_main_flat, t_main_l)) return false;
  if (!af_check("Aux", "Aux", aux, t_aux_flat, t_aux_l)) return false;

  // 6. Orientation: a rotated module exchanges width and height.
  const bool swap = config.main_aux_rotation_flag != 0;
  c.swap_dimensions = swap ? 1 : 0;
  c.main_width = swap ? main.calib_input_height : main.calib_input_width;
  c.main_height = swap ? main.calib_input_width : main.calib_input_height;

  // 7.-9.
  if (main.focal_length_ratio_l < 1.0f) {
    std::printf("\nError: main_focal_length_ratio = %f - this value should always be >= 1.0\n\n",
                static_cast<double>(main.focal_length_ratio_l));
    return false;
  }
  c.aux_focal_length = aux.focal_length_mm;
  c.aux_pixel_pitch_mm = aux.pixel_pitch_mm;
  c.aux_focal_length_ratio = aux.focal_length_ratio_l;
  c.main_focal_length_mm = main.focal_length_mm;
  c.aux_focal_length_mm = aux.focal_length_mm;
  c.aux_focal_length = aux.focal_length_mm * aux.focal_length_ratio_l;
  c.aux_width = swap ? aux.calib_input_height : aux.calib_input_width;
  c.aux_height = swap ? aux.calib_input_width : aux.calib_input_height;
  if (aux.focal_length_ratio_l < 1.0f) {
    std::printf("\nError: aux_focal_length_ratio = %f - this value should always be >= 1.0\n\n",
                static_cast<double>(aux.focal_length_ratio_l));
    return false;
  }

  // 10. Range checks, then the values every later division relies on.
  if (!range_check(main.sensor_calib_mirror_flip_setting, 3,
                   "\nError: main.sensor_calib_mirror_flip_setting = %u - valid values are "
                   "0,1,2,3\n\n") ||
      !range_check(aux.sensor_calib_mirror_flip_setting, 3,
                   "\nError: aux.sensor_calib_mirror_flip_setting = %u - valid values are "
                   "0,1,2,3\n\n") ||
      !range_check(main.sensor_mono_flag, 1,
                   "\nError: main.sensor_mono_flag = %u - valid values are 0,1\n\n") ||
      !range_check(aux.sensor_mono_flag, 1,
                   "\nError: aux.sensor_mono_flag = %u - valid values are 0,1\n\n") ||
      !range_check(config.main_aux_sensor_calib_orientation_flag, 1,
                   "\nError: main_aux_sensor_calib_orientation_flag = %u - valid values are "
                   "0,1\n\n") ||
      !range_check(config.main_aux_rotation_flag, 2,
                   "\nError: main_aux_rotation_flag = %u - valid values are 0,1,2\n\n")) {
    return false;
  }
  if (!positive_check(main.pixel_pitch_mm,
                      "\nError: main.pixel_pitch_mm = %f - value should be > 0\n\n") ||
      !positive_check(main.focal_length_mm,
                      "\nError: main.focal_length_mm = %f - value should be > 0\n\n") ||
      !positive_check(aux.pixel_pitch_mm,
                      "\nError: aux.pixel_pitch_mm = %f - value should be > 0\n\n") ||
      !positive_check(aux.focal_length_mm,
                      "\nError: aux.focal_length_mm = %f - value should be > 0\n\n") ||
      !capture_size_check("main", main, swap) || !capture_size_check("aux", aux, swap) ||
      !range_check(config.percentile_for_variation_in_disparity, 100,
                   "\nError: percentile_for_variation_in_disparity = %u - valid values are "
                   "0..100\n\n")) {
    return false;
  }

  // 11. Chart, threshold and metric settings.
  c.calib_square_size_mm = config.calib_square_size_mm;
  c.cam_baseline_mm = config.cam_baseline_mm;
  c.l_chart_distance_mm = config.l_chart_distance_mm;
  c.flat_chart_distance_mm = config.flat_chart_distance_mm;
  c.main_aux_position_flag = config.main_aux_position_flag;
  c.residual_vertical_disparity_threshold_pixels =
      config.residual_vertical_disparity_threshold_pixels;
  c.scale_difference_threshold_percent = config.scale_difference_threshold_percent;
  c.distance_threshold_percent = config.l_chart_origin_distance_threshold_percent;
  c.percentage_fov_for_metric_calculation = config.percentage_fov_for_metric_calculation;
  c.percentile_for_variation_in_disparity = config.percentile_for_variation_in_disparity;
  c.vertical_disparity_max_threshold = config.vertical_disparity_max_threshold;
  c.horizontal_disparity_max_threshold = config.horizontal_disparity_max_threshold;
  c.working_width = kWorkingSide;
  c.projection_offset_x = 0.0f;
  c.projection_offset_y = 0.0f;
  c.main_sensor_mono_flag = main.sensor_mono_flag;
  c.aux_sensor_mono_flag = aux.sensor_mono_flag;

  // 12.
  fields_of_view(c, swap);
  return true;
}

}  // namespace zorvel
