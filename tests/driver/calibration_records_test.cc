// The records a calibration writes: sizes, copies and the OTP quantisation,
// which saturates at the ends of each byte instead of wrapping.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "driver/calibration_records.h"
#include "driver/calibration_setup.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

// A 4000 x 3000 main and a 3264 x 2448 aux capture.
zorvel_calib_config capture_sizes() {
  zorvel_calib_config config;
  config.main.calib_input_width = 4000;
  config.main.calib_input_height = 3000;
  config.aux.calib_input_width = 3264;
  config.aux.calib_input_height = 2448;
  return config;
}

TEST(CalibrationRecords, AngleConstantAndScaledSizes) {
  EXPECT_EQ(std::bit_cast<uint32_t>(kTwoDegreesPerRadian), 0x42E52EE0u);
  EXPECT_EQ(scaled_height(4000, 3000), 960);
  EXPECT_EQ(scaled_height(3264, 2448), 960);
  EXPECT_EQ(scaled_height(3000, 4000), 1706);
  EXPECT_EQ(working_other_side(4000, 3000), 960);
  EXPECT_EQ(working_other_side(65535, 800), 15);
  EXPECT_EQ(working_other_side(0, 800), -1);
}

TEST(CalibrationRecords, TenthsAndLimitsSaturateInsteadOfWrapping) {
  EXPECT_EQ(saturated_tenths(2.0f), 20);
  EXPECT_EQ(saturated_tenths(25.5f), 255);
  EXPECT_EQ(saturated_tenths(25.6f), 255);
  EXPECT_EQ(saturated_tenths(300.0f), 255);
  EXPECT_EQ(saturated_tenths(std::numeric_limits<float>::quiet_NaN()), 255);
  EXPECT_EQ(saturated_tenths(-1.0f), 0);
  // 0.7f x 10 rounds to 7.0f in single precision (6.99... in double).
  EXPECT_EQ(saturated_tenths(0.7f), 7);

  const zorvel_calib_config config = capture_sizes();
  zorvel_calib_context c{};
  for (int i = 0; i < 5; ++i) {
    c.main_kp_fl_ratio[i] = c.main_adjust_ratio[i] = 1.0f;
    c.aux_kp_fl_ratio[i] = c.aux_adjust_ratio[i] = 1.0f;
  }
  c.max_hd_variation_allowed = 1.9f;  // integer part first: 10, not 19
  c.max_vd_variation_allowed = 30.0f;
  c.flat_chart_distance_mm = 3000.0f;  // 300 cm would wrap to 44
  c.flat_chart_max_vd = 1.25f;
  c.flat_chart_max_hd_delta = 40.0f;
  c.cam_baseline_mm = 20.0f;
  c.geo_out[17] = 0.5f;
  zorvel_otp_data r;
  EXPECT_EQ(capture_file([&](std::FILE* f) { r = build_otp_record(config, c, f); }), "");
  EXPECT_EQ(r.max_hd_variation_tenths, 10);
  EXPECT_EQ(r.max_vd_variation_tenths, 255);
  EXPECT_EQ(r.flat_chart_distance_cm, 255);
  EXPECT_EQ(r.flat_max_vd_tenths, 12);
  EXPECT_EQ(r.flat_max_hd_delta_tenths, 255);
  EXPECT_EQ(r.main_scaled_height, 960);
  EXPECT_EQ(r.aux_native_width, 3264);
  EXPECT_EQ(r.geo[17], 0.5f);
  EXPECT_EQ(r.version, 0x10607u);
  EXPECT_EQ(r.dewarp_version, 4);

  c.flat_chart_distance_mm = 809.0f;
  c.max_hd_variation_allowed = -2.0f;
  r = build_otp_record(config, c, stdout);
  EXPECT_EQ(r.flat_chart_distance_cm, 80);
  EXPECT_EQ(r.max_hd_variation_tenths, 0);
}

TEST(CalibrationRecords, AdjustmentRatiosTruncateInRangeAndClampOutsideWithWarning) {
  std::string warnings = capture_file([](std::FILE* f) {
    EXPECT_EQ(encode_unsigned_ratio(1.003f, "k", 0, f), 30);
    EXPECT_EQ(encode_unsigned_ratio(1.0255f, "k", 0, f), 255);
    EXPECT_EQ(encode_unsigned_ratio(1.0f, "k", 0, f), 0);
    EXPECT_EQ(encode_signed_ratio(0.995f, "k", 0, f), -49);  // -49.99995 truncated
    EXPECT_EQ(encode_signed_ratio(1.0127f, "k", 0, f), 126);  // truncation of 126.99...
  });
  EXPECT_EQ(warnings, "");

  warnings = capture_file([](std::FILE* f) {
    EXPECT_EQ(encode_unsigned_ratio(1.03f, "distortion_adj_fl_ratio_main", 2, f), 255);
    EXPECT_EQ(encode_unsigned_ratio(0.99f, "distortion_adj_fl_ratio_aux", 0, f), 0);
    EXPECT_EQ(encode_signed_ratio(0.98f, "distortion_scale_adj_main", 4, f), -128);
    EXPECT_EQ(encode_signed_ratio(1.02f, "distortion_scale_adj_aux", 1, f), 127);
    EXPECT_EQ(encode_signed_ratio(std::numeric_limits<float>::quiet_NaN(), "distortion_scale_adj_aux", 3, f), 0);
  });
  EXPECT_EQ(warnings,
            "Warning: distortion_adj_fl_ratio_main_2 = 1.030000 clamped to 1.025500\n"
            "Warning: distortion_adj_fl_ratio_aux_0 = 0.990000 clamped to 1.000000\n"
            "Warning: distortion_scale_adj_main_4 = 0.980000 clamped to 0.987200\n"
            "Warning: distortion_scale_adj_aux_1 = 1.020000 clamped to 1.012700\n"
            "Warning: distortion_scale_adj_aux_3 = nan clamped to 1.000000\n");
}

TEST(CalibrationRecords, InterimRecordCopiesTheStoredPointsOnly) {
  const zorvel_calib_config config = capture_sizes();
  zorvel_calib_context c{};
  c.l_chart_point_count = 3;
  for (int i = 0; i < 200; ++i) {
    c.main_l_point_y[i] = static_cast<int16_t>(i + 1);
    c.aux_l_label_xw[i] = static_cast<int8_t>(-i - 1);
  }
  c.rot[0] = 1.0000000001;
  c.main_focal_length = 1000.5f;
  c.l_chart_distance_error_percent = 1.5f;
  const zorvel_otp_interim_data r = build_interim_record(config, c);
  EXPECT_EQ(r.l_chart_point_count, 3u);
  EXPECT_EQ(r.main_l_point_y[2], 3);
  EXPECT_EQ(r.main_l_point_y[3], 0);
  EXPECT_EQ(r.aux_l_label_xw[2], -3);
  EXPECT_EQ(r.aux_l_label_xw[3], 0);
  EXPECT_EQ(r.rot[0], 1.0f);
  EXPECT_EQ(r.main_focal_length_px, 1000.5f);
  EXPECT_EQ(r.l_distance_error_percent, 1.5f);
  EXPECT_EQ(r.main_scaled_width, 1280);
  EXPECT_EQ(r.aux_scaled_height, 960);
}

}  // namespace
}  // namespace zorvel::test
