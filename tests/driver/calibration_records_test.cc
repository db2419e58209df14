// The records a calibration writes: sizes, copies and the OTP quantisation,
// which truncates and saturates at the ends of each byte instead of wrapping,
// and what the verification reads back of it.
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "driver/calibration_records.h"
#include "driver/verification_setup.h"
#include "support/test_support.h"
#include "verify/adjustment.h"

namespace zorvel::test {
namespace {

constexpr float kNan = std::numeric_limits<float>::quiet_NaN();

// The aux size scales to 959.99994 in single precision, 960 in double.
zorvel_calib_config capture_sizes() {
  zorvel_calib_config config;
  config.main.calib_input_width = 4000;
  config.main.calib_input_height = 3000;
  config.aux.calib_input_width = 1028;
  config.aux.calib_input_height = 771;
  return config;
}

TEST(CalibrationRecords, OtpRecordQuantisesLimitsAndFiguresIntoSaturatedBytes) {
  for (const auto& [v, tenths] :
       {std::tuple{2.0f, 20}, {0.7f, 7}, {25.5f, 255}, {25.6f, 255}, {300.0f, 255}, {kNan, 255}, {-1.0f, 0}}) {
    EXPECT_EQ(saturated_tenths(v), tenths) << v;
  }
  zorvel_calib_config config = capture_sizes();
  config.max_hd_variation_allowed = 1.9f;   // integer part first: 10, not 19
  config.max_vd_variation_allowed = 30.0f;
  config.flat_chart_distance_mm = 3000.0f;  // 300 cm would wrap to 44
  zorvel_calibration_result c;
  c.flat_max_vd = 1.25f;
  c.flat.max_hd_delta = 40.0f;
  zorvel_otp_data r;
  const auto build = [&] { capture_file([&](std::FILE* f) { r = build_otp_record(config, {}, c, f); }); };
  build();
  EXPECT_EQ(std::vector<int>({r.max_hd_variation_tenths, r.max_vd_variation_tenths, r.flat_chart_distance_cm,
                              r.flat_max_vd_tenths, r.flat_max_hd_delta_tenths, r.main_scaled_height,
                              r.aux_scaled_height, r.aux_native_width}),
            std::vector<int>({10, 255, 255, 12, 255, 960, 959, 1028}));
  config.flat_chart_distance_mm = 809.0f;
  config.max_hd_variation_allowed = -2.0f;
  build();
  EXPECT_EQ(r.flat_chart_distance_cm * 1000 + r.max_hd_variation_tenths, 80 * 1000 + 0);
}

TEST(CalibrationRecords, AdjustmentRatiosTruncateInRangeAndClampOutsideWithWarning) {
  // ratio, signed byte?, stored code, the bound a clamp warning names
  for (const auto& [r, is_signed, code, bound] :
       {std::tuple{1.003f, false, 30, ""}, {1.0255f, false, 255, ""}, {1.0f, false, 0, ""},
        {0.995f, true, -49, ""} /* -49.99995 */, {1.0127f, true, 126, ""} /* 126.99... */,
        {1.03f, false, 255, "1.025500"}, {0.99f, false, 0, "1.000000"}, {0.98f, true, -128, "0.987200"},
        {1.02f, true, 127, "1.012700"}, {kNan, true, 0, "1.000000"}}) {
    int got = 0;
    const float ratio = r;  // a structured binding cannot be captured by clang 14
    const bool signed_byte = is_signed;
    const std::string warning = capture_file([&](std::FILE* f) {
      got = signed_byte ? encode_signed_ratio(ratio, "key", 3, f)
                        : encode_unsigned_ratio(ratio, "key", 3, f);
    });
    char expected[96] = "";
    if (*bound) std::snprintf(expected, sizeof expected, "Warning: key_3 = %f clamped to %s\n", static_cast<double>(r), bound);
    EXPECT_EQ(got, code) << r;
    EXPECT_EQ(warning, expected) << r;
  }
}

// The verification decodes the stored tables (each ratio truncated to 1e-4)
// and looks them up: a ratio on a breakpoint takes the adjustment stored with it.
TEST(CalibrationRecords, AdjustmentTablesReachTheVerification) {
  zorvel_calib_config config = capture_sizes();
  const float kp[5] = {1.0f, 1.005f, 1.01f, 1.015f, 1.02f}, adjust[5] = {0.995f, 1.002f, 0.997f, 1.004f, 1.0127f};
  for (int i = 0; i < 5; ++i) {
    config.main.distortion_adj_fl_ratio[i] = kp[i];
    config.main.distortion_scale_adj[i] = adjust[i];
    config.aux.distortion_adj_fl_ratio[i] = config.aux.distortion_scale_adj[i] = 1.0f;
  }
  config.aux.distortion_scale_adj[1] = 1.02f;
  zorvel_otp_data r;
  EXPECT_EQ(capture_file([&](std::FILE* f) { r = build_otp_record(config, {}, {}, f); }),
            "Warning: distortion_scale_adj_aux_1 = 1.020000 clamped to 1.012700\n");
  const zorvel_lens_adjustment a = verification_input_of({}, r, 0).main_adjustment;
  for (int i = 0; i < 5; ++i) {
    EXPECT_NEAR(a.kp_fl_ratio[i], kp[i], 2e-4);
    EXPECT_NEAR(a.adjust_ratio[i], adjust[i], 2e-4);
    EXPECT_EQ(interpolate_adjustment(a.kp_fl_ratio[i], a.kp_fl_ratio, a.adjust_ratio), a.adjust_ratio[i]);
  }
}

TEST(CalibrationRecords, InterimRecordKeepsTheFirst200PairsSaturated) {
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
  zorvel_otp_interim_data r = build_interim_record(capture_sizes(), {}, c);
  // count, last pair kept, saturated coordinate and label, a plain label, the scaled aux height
  EXPECT_EQ(std::vector<int>({static_cast<int>(r.l_chart_point_count), r.main_l_point_y[199], r.aux_l_point_x[3],
                              r.main_l_label_xw[5], r.aux_l_label_xw[2], r.aux_scaled_height}),
            std::vector<int>({200, 200, 32767, 127, -3, 959}));
  c.l_point_count = 3;  // only the pairs the calibration kept
  r = build_interim_record(capture_sizes(), {}, c);
  EXPECT_EQ(std::vector<int>({static_cast<int>(r.l_chart_point_count), r.main_l_point_y[3], r.aux_l_label_xw[3]}),
            std::vector<int>({3, 0, 0}));
}

}  // namespace
}  // namespace zorvel::test
