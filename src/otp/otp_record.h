// The OTP calibration record (470 bytes on file) and the interim record an
// L-chart-only calibration hands to a later flat-chart-only one (2577 bytes).
// In memory these are plain records; on file every field is stored
// little-endian, in declaration order, with no padding.
#pragma once

#include <cstdint>
#include <string>

namespace zorvel {

inline constexpr size_t kOtpFileSize = 470;
inline constexpr size_t kInterimFileSize = 2577;
inline constexpr int32_t kMaxStoredLChartPoints = 200;  // L-chart pairs the interim record holds
inline constexpr uint8_t kDewarpVersion = 4;            // the lens model's format in the records

struct zorvel_otp_data {
  uint32_t version = 0;
  float main_focal_length_px = 0.0f;
  uint16_t main_native_width = 0;
  uint16_t main_native_height = 0;
  uint16_t main_scaled_width = 0;
  uint16_t main_scaled_height = 0;
  float main_focal_length_ratio = 0.0f;
  float aux_focal_length_px = 0.0f;
  uint16_t aux_native_width = 0;
  uint16_t aux_native_height = 0;
  uint16_t aux_scaled_width = 0;
  uint16_t aux_scaled_height = 0;
  float aux_focal_length_ratio = 0.0f;
  float rot[9] = {};
  float geo[32] = {};
  float projection_offset_x = 0.0f;
  float projection_offset_y = 0.0f;
  uint16_t main_aux_position_flag = 0;
  float cam_baseline_mm = 0.0f;
  uint16_t main_mirror_flip_setting = 0;
  uint16_t aux_mirror_flip_setting = 0;
  uint16_t orientation_flag = 0;
  uint16_t rotation_flag = 0;
  float flat_residual_vd = 0.0f;
  uint8_t dewarp_version = 0;
  double aux_dewarp_coeff[5] = {};
  float aux_fl_dewarping_reference = 0.0f;
  uint8_t fov_used_for_computation = 0;
  uint8_t max_hd_variation_tenths = 0;
  uint8_t max_vd_variation_tenths = 0;
  float l_residual_vd = 0.0f;
  float l_scale_error = 0.0f;
  float flat_scale_error = 0.0f;
  float l_distance_error_percent = 0.0f;
  float flat_hd_stdev = 0.0f;
  uint8_t flat_max_vd_tenths = 0;
  uint8_t flat_max_hd_delta_tenths = 0;
  uint8_t flat_chart_distance_cm = 0;
  uint8_t vd_rms_zoned_tenths[9] = {};
  int8_t hd_rms_zoned_tenths[9] = {};
  uint8_t vd_p95_tenths = 0;
  uint8_t vd_p80_tenths = 0;
  uint8_t vd_p90_tenths = 0;
  uint8_t hd_p95_tenths = 0;
  uint8_t hd_p80_tenths = 0;
  uint8_t hd_spread_tenths = 0;
  uint8_t vd_percentile_metric = 0;
  uint8_t hd_percentile_metric = 0;
  uint8_t percentage_fov_for_metric_calculation = 0;
  uint8_t percentile_for_variation_in_disparity = 0;
  uint8_t reserved = 0;
  double main_dewarp_coeff[5] = {};
  float main_fl_dewarping_reference = 0.0f;
  double main_warp_coeff[5] = {};
  double aux_warp_coeff[5] = {};
  uint8_t main_kp_fl_ratio[5] = {};   // (ratio - 1) x 10000
  int8_t main_adjust_ratio[5] = {};
  uint8_t aux_kp_fl_ratio[5] = {};
  int8_t aux_adjust_ratio[5] = {};

  bool operator==(const zorvel_otp_data&) const = default;
};

struct zorvel_otp_interim_data {
  uint32_t version = 0;
  float main_focal_length_px = 0.0f;
  uint16_t main_native_width = 0;
  uint16_t main_native_height = 0;
  uint16_t main_scaled_width = 0;
  uint16_t main_scaled_height = 0;
  float main_focal_length_ratio = 0.0f;
  float aux_focal_length_px = 0.0f;
  uint16_t aux_native_width = 0;
  uint16_t aux_native_height = 0;
  uint16_t aux_scaled_width = 0;
  uint16_t aux_scaled_height = 0;
  float aux_focal_length_ratio = 0.0f;
  float rot[9] = {};
  float projection_offset_x = 0.0f;
  float projection_offset_y = 0.0f;
  uint8_t dewarp_version = 0;
  double aux_dewarp_coeff[5] = {};
  float aux_fl_dewarping_reference = 0.0f;
  float l_distance_error_percent = 0.0f;
  uint32_t l_chart_point_count = 0;
  int16_t main_l_point_y[200] = {};  // centred rows / columns
  int16_t main_l_point_x[200] = {};
  int16_t aux_l_point_y[200] = {};
  int16_t aux_l_point_x[200] = {};
  int8_t main_l_label_yw[200] = {};
  int8_t main_l_label_xw[200] = {};
  int8_t aux_l_label_yw[200] = {};
  int8_t aux_l_label_xw[200] = {};
  double main_dewarp_coeff[5] = {};
  float main_fl_dewarping_reference = 0.0f;

  bool operator==(const zorvel_otp_interim_data&) const = default;
};

// Each returns 1 on success and 0 on failure, printing its one message.
// read_otp_data also prints the summary of the record it read. A read fails
// on a file shorter than the record (longer files are accepted) and leaves
// the record zero-filled; a write refuses non-finite values and replaces the
// file only once every byte is safely on disk.
int read_otp_data(const std::string& path, zorvel_otp_data& out);
int write_otp_data(const std::string& path, const zorvel_otp_data& record);
int read_interim_data(const std::string& path, zorvel_otp_interim_data& out);
int write_interim_data(const std::string& path, const zorvel_otp_interim_data& record);

// The four adjustment-ratio arrays hold (ratio - 1) x 10000 in one byte.
// Decoding: stored / 10000 + 1 in single precision (pass the byte as declared,
// unsigned or signed). The calibration run encodes them, saturating.
float decode_ratio_byte(int stored);

}  // namespace zorvel
