// Calibration run, from the parsed configuration to the focal lengths in
// working pixels. Ratios are dimensionless, lengths in mm, angles in degrees.
#include "driver/calibration_setup.h"

#include <cmath>
#include <cstdio>

#include "common/run_messages.h"
#include "driver/focus_ratio.h"
#include "driver/value_checks.h"

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
    report_failure("\n%s Error FL L: Programmed value = %f Theorectical Value = %f", who,
                static_cast<double>(cam.focal_length_ratio_l), static_cast<double>(t_l));
    report_failure("\n%s Error FL L: %s Reference Percentage Error = %f Estimated Error = %f", who,
                who_ref, static_cast<double>(p_l),
                static_cast<double>(cam.fl_ratio_tolerance_in_percent_l));
    return false;
  }
  if (p_flat > cam.fl_ratio_tolerance_in_percent_flat) {
    report_failure("\n%s Error FL Flat: Programmed value = %f Theorectical Value = %f", who,
                static_cast<double>(cam.focal_length_ratio_flat), static_cast<double>(t_flat));
    report_failure("\n%s Error FL Flat: %s Reference Percentage Error = %f Estimated Error = %f",
                who, who_ref, static_cast<double>(p_flat),
                static_cast<double>(cam.fl_ratio_tolerance_in_percent_flat));
    return false;
  }
  return true;
}

// Capture sizes the record can hold and whose working image is usable.
bool capture_size_check(const char* camera, const zorvel_camera_params& cam, bool swap) {
  const uint32_t w = static_cast<uint32_t>(cam.calib_input_width);
  const uint32_t h = static_cast<uint32_t>(cam.calib_input_height);
  if (w < 1 || w > kMaxCaptureSide) {
    report_failure("\nError: %s.calib_input_width = %u - valid values are 1..65535\n\n", camera, w);
    return false;
  }
  if (h < 1 || h > kMaxCaptureSide) {
    report_failure("\nError: %s.calib_input_height = %u - valid values are 1..65535\n\n", camera, h);
    return false;
  }
  const int64_t other = working_other_side(cam.calib_input_width, cam.calib_input_height);
  if (other >= kMinWorkingSide && other <= kMaxWorkingSide) return true;
  const int64_t work_w = swap ? other : kWorkingSide;
  const int64_t work_h = swap ? kWorkingSide : other;
  report_failure(
      "\nError: %s capture size = %ux%u - working image would be %lldx%lld, each side should "
      "be 16..65535\n\n",
      camera, w, h, static_cast<long long>(work_w), static_cast<long long>(work_h));
  return false;
}

float atan_deg2(float argument) {
  return kTwoDegreesPerRadian * static_cast<float>(std::atan(static_cast<double>(argument)));
}

// Focal lengths in pixels of the 1280-pixel working image and the fields of
// view, in single precision in the order written. Sizes are after the turn.
void fields_of_view(const zorvel_camera_params& main_cfg, const zorvel_camera_params& aux_cfg,
                    bool swap, zorvel_calib_camera& main, zorvel_calib_camera& aux) {
  const float f = main_cfg.focal_length_mm;
  const float p = main_cfg.pixel_pitch_mm;
  const float fa = aux_cfg.focal_length_mm * aux_cfg.focal_length_ratio_l;
  const float pa = aux_cfg.pixel_pitch_mm;
  const float side = static_cast<float>(kWorkingSide);
  const float main_w = static_cast<float>(main.width);
  const float main_h = static_cast<float>(main.height);
  const float aux_w = static_cast<float>(aux.width);
  const float aux_h = static_cast<float>(aux.height);
  if (!swap) {
    main.fov_v_deg = atan_deg2(main_h * p / f * 0.5f);
    main.focal_px = f / (main_w / side * p);
    main.fov_h_deg = atan_deg2(side / main.focal_px * 0.5f);
    aux.focal_px = fa / (aux_w / side * pa);
    aux.fov_h_deg = atan_deg2(side / aux.focal_px * 0.5f);
    aux.fov_v_deg = atan_deg2(aux_h * side / aux_w / aux.focal_px * 0.5f);
  } else {
    main.fov_h_deg = atan_deg2(main_w * p / f * 0.5f);
    main.focal_px = f / (main_h / side * p);
    main.fov_v_deg = atan_deg2(side / main.focal_px * 0.5f);
    aux.focal_px = fa / (aux_h / side * pa);
    aux.fov_v_deg = atan_deg2(side / aux.focal_px * 0.5f);
    aux.fov_h_deg = atan_deg2(aux_w * side / aux_h / aux.focal_px * 0.5f);
  }
}

// The programmed focal-length ratios of both cameras against the thin-lens
// ratios at the two chart distances.
bool autofocus_checks(const zorvel_calib_config& config) {
  const zorvel_camera_params& main = config.main;
  const zorvel_camera_params& aux = config.aux;
  const float t_main_flat = theoretical_fl_ratio(config.flat_chart_distance_mm, main.focal_length_mm);
  const float t_aux_flat = theoretical_fl_ratio(config.flat_chart_distance_mm, aux.focal_length_mm);
  const float t_main_l = theoretical_fl_ratio(config.l_chart_distance_mm, main.focal_length_mm);
  const float t_aux_l = theoretical_fl_ratio(config.l_chart_distance_mm, aux.focal_length_mm);
  return af_check("main", "main", main, t_main_flat, t_main_l) &&
         af_check("Aux", "Aux", aux, t_aux_flat, t_aux_l);
}

// Flags within their ranges, and the values every later division relies on.
bool value_checks(const zorvel_calib_config& config, bool swap) {
  const zorvel_camera_params& main = config.main;
  const zorvel_camera_params& aux = config.aux;
  return range_check(main.sensor_calib_mirror_flip_setting, 3,
                     "\nError: main.sensor_calib_mirror_flip_setting = %u - valid values are "
                     "0,1,2,3\n\n") &&
         range_check(aux.sensor_calib_mirror_flip_setting, 3,
                     "\nError: aux.sensor_calib_mirror_flip_setting = %u - valid values are "
                     "0,1,2,3\n\n") &&
         range_check(main.sensor_mono_flag, 1,
                     "\nError: main.sensor_mono_flag = %u - valid values are 0,1\n\n") &&
         range_check(aux.sensor_mono_flag, 1,
                     "\nError: aux.sensor_mono_flag = %u - valid values are 0,1\n\n") &&
         range_check(config.main_aux_sensor_calib_orientation_flag, 1,
                     "\nError: main_aux_sensor_calib_orientation_flag = %u - valid values are "
                     "0,1\n\n") &&
         range_check(config.main_aux_rotation_flag, 2,
                     "\nError: main_aux_rotation_flag = %u - valid values are 0,1,2\n\n") &&
         positive_check(main.pixel_pitch_mm,
                        "\nError: main.pixel_pitch_mm = %f - value should be > 0\n\n") &&
         positive_check(main.focal_length_mm,
                        "\nError: main.focal_length_mm = %f - value should be > 0\n\n") &&
         positive_check(aux.pixel_pitch_mm,
                        "\nError: aux.pixel_pitch_mm = %f - value should be > 0\n\n") &&
         positive_check(aux.focal_length_mm,
                        "\nError: aux.focal_length_mm = %f - value should be > 0\n\n") &&
         capture_size_check("main", main, swap) && capture_size_check("aux", aux, swap) &&
         range_check(config.percentile_for_variation_in_disparity, 100,
                     "\nError: percentile_for_variation_in_disparity = %u - valid values are "
                     "0..100\n\n");
}

zorvel_lens_model lens_of(const zorvel_camera_params& cam) {
  zorvel_lens_model lens;
  for (int i = 0; i < 5; ++i) {
    lens.dewarp_coeff[i] = cam.dewarp_coeff[i];
    lens.warp_coeff[i] = cam.warp_coeff[i];
  }
  lens.fl_dewarping_reference = cam.fl_dewarping_reference;
  return lens;
}

zorvel_calib_camera camera_of(const zorvel_camera_params& cam, bool swap) {
  zorvel_calib_camera c;
  c.width = swap ? cam.calib_input_height : cam.calib_input_width;
  c.height = swap ? cam.calib_input_width : cam.calib_input_height;
  c.focal_length_mm = cam.focal_length_mm;
  c.focal_length_ratio_l = cam.focal_length_ratio_l;
  c.focal_length_ratio_flat = cam.focal_length_ratio_flat;
  c.mono = cam.sensor_mono_flag != 0;
  return c;
}

}  // namespace

int64_t working_other_side(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return -1;
  const double w = static_cast<double>(static_cast<uint32_t>(width));
  const double h = static_cast<double>(static_cast<uint32_t>(height));
  return static_cast<int64_t>(std::trunc(h * kWorkingSide / w));
}

bool prepare_calibration_setup(const zorvel_calib_config& config, uint8_t mode,
                               zorvel_calibration_setup& setup) {
  // The checks run in the order the stations know their messages in.
  if (!autofocus_checks(config)) return false;
  const bool swap = config.main_aux_rotation_flag != 0;
  if (!ratio_check(config.main.focal_length_ratio_l,
                   "\nError: main_focal_length_ratio = %f - this value should always be >= "
                   "1.0\n\n") ||
      !ratio_check(config.aux.focal_length_ratio_l,
                   "\nError: aux_focal_length_ratio = %f - this value should always be >= "
                   "1.0\n\n") ||
      !value_checks(config, swap)) {
    return false;
  }

  setup.main = camera_of(config.main, swap);
  setup.aux = camera_of(config.aux, swap);
  fields_of_view(config.main, config.aux, swap, setup.main, setup.aux);
  setup.working.rotated = swap;
  setup.working.crop_percent_for_aux = config.crop_percent_for_aux;
  setup.working.main_lens = lens_of(config.main);
  setup.working.aux_lens = lens_of(config.aux);
  setup.charts.square_size_mm = config.calib_square_size_mm;
  setup.charts.baseline_mm = config.cam_baseline_mm;
  setup.charts.l_chart_distance_mm = config.l_chart_distance_mm;
  setup.charts.flat_chart_distance_mm = config.flat_chart_distance_mm;
  setup.charts.main_aux_position_flag = config.main_aux_position_flag;
  setup.charts.fov_used_for_computation = config.fov_used_for_computation;
  setup.metrics.percentage_fov_for_metric_calculation = config.percentage_fov_for_metric_calculation;
  setup.metrics.percentile_for_variation_in_disparity = config.percentile_for_variation_in_disparity;
  setup.max_hd_variation_allowed = config.max_hd_variation_allowed;
  setup.max_vd_variation_allowed = config.max_vd_variation_allowed;
  setup.write_debug_files = mode == 4;
  return true;
}

}  // namespace zorvel
