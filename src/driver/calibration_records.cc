// Records written by the calibration run.
#include "driver/calibration_records.h"

#include <cmath>

#include "numerics/checked_convert.h"
#include "zorvel_version.h"

namespace zorvel {
namespace {

constexpr const char* kClampWarning = "Warning: %s_%d = %f clamped to %f\n";

// The ratios a byte of each kind decodes to at its ends (stored / 10000 + 1).
constexpr float kUnsignedRatioMin = 1.0f;     // byte 0
constexpr float kUnsignedRatioMax = 1.0255f;  // byte 255
constexpr float kSignedRatioMin = 0.9872f;    // byte -128
constexpr float kSignedRatioMax = 1.0127f;    // byte 127

// Within [lo, hi] the truncated code always fits its byte; outside, the end
// code is stored directly (truncating the float end could land one below it).
int32_t encode_ratio(float r, float lo, float hi, int32_t lo_code, int32_t hi_code,
                     const char* key_prefix, int index, std::FILE* warnings) {
  if (r >= lo && r <= hi) {
    return static_cast<int32_t>(std::trunc((static_cast<double>(r) - 1.0) * 10000.0));
  }
  float bound = 1.0f;
  int32_t code = 0;
  if (r < lo) {
    bound = lo;
    code = lo_code;
  } else if (r > hi) {
    bound = hi;
    code = hi_code;
  }
  std::fprintf(warnings, kClampWarning, key_prefix, index, static_cast<double>(r),
               static_cast<double>(bound));
  return code;
}

uint8_t saturated_byte(double v) { return static_cast<uint8_t>(checked_truncate(v, 0, 255, 0)); }

uint16_t native_side(int32_t v) { return static_cast<uint16_t>(checked_truncate(v, 0, 65535, 0)); }


// The fields both records carry under the same names: versions, the two
// cameras' sizes and focal lengths, the stereo model, the dewarp models and
// the L-chart distance error.
template <typename Record>
void fill_shared_fields(const zorvel_calib_config& config, const zorvel_calibration_setup& setup,
                        const zorvel_calibration_result& result, Record& r) {
  const zorvel_stereo_model& model = result.model;
  r.version = kLibraryVersion;
  r.dewarp_version = kDewarpVersion;
  r.main_focal_length_px = model.main_focal_px;
  r.main_native_width = native_side(config.main.calib_input_width);
  r.main_native_height = native_side(config.main.calib_input_height);
  r.main_scaled_width = static_cast<uint16_t>(kWorkingSide);
  r.main_scaled_height = scaled_height(config.main.calib_input_width, config.main.calib_input_height);
  r.main_focal_length_ratio = setup.main.focal_length_ratio_l;
  r.aux_focal_length_px = model.aux_focal_px;
  r.aux_native_width = native_side(config.aux.calib_input_width);
  r.aux_native_height = native_side(config.aux.calib_input_height);
  r.aux_scaled_width = static_cast<uint16_t>(kWorkingSide);
  r.aux_scaled_height = scaled_height(config.aux.calib_input_width, config.aux.calib_input_height);
  r.aux_focal_length_ratio = setup.aux.focal_length_ratio_l;
  for (int i = 0; i < 9; ++i) r.rot[i] = static_cast<float>(model.rot[i]);
  r.projection_offset_x = model.projection_offset_x;
  r.projection_offset_y = model.projection_offset_y;
  for (int i = 0; i < 5; ++i) {
    r.aux_dewarp_coeff[i] = setup.working.aux_lens.dewarp_coeff[i];
    r.main_dewarp_coeff[i] = setup.working.main_lens.dewarp_coeff[i];
  }
  r.aux_fl_dewarping_reference = setup.working.aux_lens.fl_dewarping_reference;
  r.main_fl_dewarping_reference = setup.working.main_lens.fl_dewarping_reference;
  r.l_distance_error_percent = result.l_distance_error_percent;
}

}  // namespace

uint16_t scaled_height(int32_t width, int32_t height) {
  const float v = 1280.0f / static_cast<float>(width) * static_cast<float>(height);
  return static_cast<uint16_t>(checked_truncate(static_cast<double>(v), 0, 65535, 0));
}

uint8_t saturated_tenths(float v) {
  const float tenths = v * 10.0f;
  if (std::isnan(tenths) || tenths > 255.0f) return 255;
  if (!(tenths > 0.0f)) return 0;
  return static_cast<uint8_t>(tenths);  // truncation toward zero
}

uint8_t encode_unsigned_ratio(float r, const char* key_prefix, int index, std::FILE* warnings) {
  return static_cast<uint8_t>(
      encode_ratio(r, kUnsignedRatioMin, kUnsignedRatioMax, 0, 255, key_prefix, index, warnings));
}

int8_t encode_signed_ratio(float r, const char* key_prefix, int index, std::FILE* warnings) {
  return static_cast<int8_t>(
      encode_ratio(r, kSignedRatioMin, kSignedRatioMax, -128, 127, key_prefix, index, warnings));
}

zorvel_otp_interim_data build_interim_record(const zorvel_calib_config& config,
                                             const zorvel_calibration_setup& setup,
                                             const zorvel_calibration_result& result) {
  zorvel_otp_interim_data r{};
  fill_shared_fields(config, setup, result, r);
  // The record keeps the first 200 pairs, coordinates and labels saturated.
  const int32_t n = result.l_point_count;
  const int32_t k = n < kMaxStoredLChartPoints ? (n > 0 ? n : 0) : kMaxStoredLChartPoints;
  r.l_chart_point_count = static_cast<uint32_t>(k);
  const zorvel_key_points& m = result.l_main_points;
  const zorvel_key_points& a = result.l_aux_points;
  for (int32_t i = 0; i < k; ++i) {
    r.main_l_point_y[i] = saturate_i16(m.y[i]);
    r.main_l_point_x[i] = saturate_i16(m.x[i]);
    r.aux_l_point_y[i] = saturate_i16(a.y[i]);
    r.aux_l_point_x[i] = saturate_i16(a.x[i]);
    r.main_l_label_yw[i] = saturate_i8(m.Yw[i]);
    r.main_l_label_xw[i] = saturate_i8(m.Xw[i]);
    r.aux_l_label_yw[i] = saturate_i8(a.Yw[i]);
    r.aux_l_label_xw[i] = saturate_i8(a.Xw[i]);
  }
  return r;
}

zorvel_otp_data build_otp_record(const zorvel_calib_config& config,
                                 const zorvel_calibration_setup& setup,
                                 const zorvel_calibration_result& result, std::FILE* warnings) {
  zorvel_otp_data r{};
  fill_shared_fields(config, setup, result, r);
  const zorvel_disparity_metrics& flat = result.flat;
  for (int i = 0; i < 18; ++i) r.geo[i] = result.image_correction[i];
  r.main_aux_position_flag = static_cast<uint16_t>(config.main_aux_position_flag);
  r.cam_baseline_mm = config.cam_baseline_mm;
  r.main_mirror_flip_setting = static_cast<uint16_t>(config.main.sensor_calib_mirror_flip_setting);
  r.aux_mirror_flip_setting = static_cast<uint16_t>(config.aux.sensor_calib_mirror_flip_setting);
  r.orientation_flag = config.main_aux_sensor_calib_orientation_flag;
  r.rotation_flag = config.main_aux_rotation_flag;
  r.flat_residual_vd = result.flat_residual_vd;
  r.l_residual_vd = result.l_residual_vd;
  r.l_scale_error = result.l_scale_difference_percent;
  r.flat_scale_error = result.flat_scale_difference_percent;
  r.flat_hd_stdev = flat.hd_stdev;
  for (int i = 0; i < 5; ++i) {
    r.aux_warp_coeff[i] = setup.working.aux_lens.warp_coeff[i];
    r.main_warp_coeff[i] = setup.working.main_lens.warp_coeff[i];
  }
  r.fov_used_for_computation = config.fov_used_for_computation;
  r.vd_p95_tenths = flat.vd_p95_tenths;
  r.vd_p80_tenths = flat.vd_p80_tenths;
  r.vd_p90_tenths = flat.vd_p90_tenths;
  r.hd_p95_tenths = flat.hd_p95_tenths;
  r.hd_p80_tenths = flat.hd_p80_tenths;
  r.hd_spread_tenths = flat.hd_spread_tenths;
  for (int i = 0; i < 9; ++i) {
    r.vd_rms_zoned_tenths[i] = flat.vd_rms_zoned[i];
    r.hd_rms_zoned_tenths[i] = flat.hd_rms_zoned[i];
  }
  r.vd_percentile_metric = flat.vd_percentile_metric;
  r.hd_percentile_metric = flat.hd_percentile_metric;
  r.percentage_fov_for_metric_calculation = config.percentage_fov_for_metric_calculation;
  r.percentile_for_variation_in_disparity = config.percentile_for_variation_in_disparity;

  // Quantised fields: the integer part of each limit first, then tenths; all
  // saturate at the ends of their byte instead of wrapping.
  r.max_hd_variation_tenths =
      saturated_byte(std::trunc(static_cast<double>(config.max_hd_variation_allowed)) * 10.0);
  r.max_vd_variation_tenths =
      saturated_byte(std::trunc(static_cast<double>(config.max_vd_variation_allowed)) * 10.0);
  r.flat_max_vd_tenths = saturated_tenths(result.flat_max_vd);
  r.flat_max_hd_delta_tenths = saturated_tenths(flat.max_hd_delta);
  r.flat_chart_distance_cm =
      saturated_byte(static_cast<double>(config.flat_chart_distance_mm / 10.0f));
  for (int i = 0; i < 5; ++i) {
    r.main_kp_fl_ratio[i] = encode_unsigned_ratio(config.main.distortion_adj_fl_ratio[i],
                                                  "distortion_adj_fl_ratio_main", i, warnings);
    r.main_adjust_ratio[i] = encode_signed_ratio(config.main.distortion_scale_adj[i],
                                                 "distortion_scale_adj_main", i, warnings);
    r.aux_kp_fl_ratio[i] = encode_unsigned_ratio(config.aux.distortion_adj_fl_ratio[i],
                                                 "distortion_adj_fl_ratio_aux", i, warnings);
    r.aux_adjust_ratio[i] = encode_signed_ratio(config.aux.distortion_scale_adj[i],
                                                "distortion_scale_adj_aux", i, warnings);
  }
  return r;
}

}  // namespace zorvel
