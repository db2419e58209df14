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
#include "zorvel_version.h"

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

  zorvel_calib_config config = capture_sizes();
  for (zorvel_camera_params* cam : {&config.main, &config.aux}) {
    for (int i = 0; i < 5; ++i) cam->distortion_adj_fl_ratio[i] = cam->distortion_scale_adj[i] = 1.0f;
  }
  config.max_hd_variation_allowed = 1.9f;  // integer part first: 10, not 19
  config.max_vd_variation_allowed = 30.0f;
  config.flat_chart_distance_mm = 3000.0f;  // 300 cm would wrap to 44
  config.cam_baseline_mm = 20.0f;
  const zorvel_calibration_setup setup;
  zorvel_calibration_result c;
  c.flat_max_vd = 1.25f;
  c.flat.max_hd_delta = 40.0f;
  c.image_correction[17] = 0.5f;
  zorvel_otp_data r;
  EXPECT_EQ(capture_file([&](std::FILE* f) { r = build_otp_record(config, setup, c, f); }), "");
  EXPECT_EQ(r.max_hd_variation_tenths, 10);
  EXPECT_EQ(r.max_vd_variation_tenths, 255);
  EXPECT_EQ(r.flat_chart_distance_cm, 255);
  EXPECT_EQ(r.flat_max_vd_tenths, 12);
  EXPECT_EQ(r.flat_max_hd_delta_tenths, 255);
  EXPECT_EQ(r.main_scaled_height, 960);
  EXPECT_EQ(r.aux_native_width, 3264);
  EXPECT_EQ(r.geo[17], 0.5f);
  EXPECT_EQ(r.version, kLibraryVersion);
  EXPECT_EQ(r.dewarp_version, 4);

  config.flat_chart_distance_mm = 809.0f;
  config.max_hd_variation_allowed = -2.0f;
  r = build_otp_record(config, setup, c, stdout);
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

TEST(CalibrationRecords, InterimRecordKeepsTheFirst200PairsSaturated) {
  const zorvel_calib_config config = capture_sizes();
  zorvel_calibration_result c;
  c.l_main_points = zorvel_key_points(400);
  c.l_aux_points = zorvel_key_points(400);
  for (int32_t i = 0; i < 350; ++i) {
    c.l_main_points.y[i] = i + 1;
    c.l_aux_points.x[i] = i == 3 ? 40000 : 2 * i;
    c.l_main_points.Xw[i] = i == 5 ? 300 : -(i % 5);
    c.l_aux_points.Xw[i] = -i - 1;
  }
  c.l_point_count = 350;
  c.model.rot[0] = 1.0000000001;
  c.model.main_focal_px = 1000.5f;
  c.l_distance_error_percent = 1.5f;
  zorvel_otp_interim_data r = build_interim_record(config, zorvel_calibration_setup{}, c);
  EXPECT_EQ(r.l_chart_point_count, 200u);
  EXPECT_EQ(r.main_l_point_y[199], 200);
  EXPECT_EQ(r.aux_l_point_x[3], 32767);  // clamped, not wrapped
  EXPECT_EQ(r.main_l_label_xw[5], 127);
  EXPECT_EQ(r.aux_l_label_xw[2], -3);
  EXPECT_EQ(r.rot[0], 1.0f);
  EXPECT_EQ(r.main_focal_length_px, 1000.5f);
  EXPECT_EQ(r.l_distance_error_percent, 1.5f);
  EXPECT_EQ(r.main_scaled_width, 1280);
  EXPECT_EQ(r.aux_scaled_height, 960);

  c.l_point_count = 3;  // only the pairs the calibration kept
  r = build_interim_record(config, zorvel_calibration_setup{}, c);
  EXPECT_EQ(r.l_chart_point_count, 3u);
  EXPECT_EQ(r.main_l_point_y[3], 0);
  EXPECT_EQ(r.aux_l_label_xw[3], 0);
}

}  // namespace
}  // namespace zorvel::test
