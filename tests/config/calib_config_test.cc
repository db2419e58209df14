// The calibration parser: accepted records, defaults of the optional and
// distortion keys, and the order in which failures are reported.
#include <gtest/gtest.h>

#include <limits>
#include <tuple>

#include "config/calib_config.h"
#include "config/sample_configs.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

class CalibParserTest : public ::testing::Test {
 protected:
  zorvel_parse_result parse(const config_lines& lines) {
    const std::string path = dir_.file("calib.cfg");
    write_file(path, render(lines));
    zorvel_config_reader reader(path);
    config_ = {};
    zorvel_parse_result result;
    parse_calib_config(reader, config_, result);
    return result;
  }
  scratch_dir dir_;
  zorvel_calib_config config_;
};

TEST_F(CalibParserTest, SampleIsAcceptedWithEveryFieldInPlace) {
  const auto result = parse(calib_sample());
  ASSERT_EQ(result.status, 1) << result.messages;
  EXPECT_EQ(result.messages, "");
  EXPECT_EQ(config_.main.native_width, 4000);
  EXPECT_EQ(config_.aux.native_height, 2448);
  EXPECT_EQ(config_.main.pixel_pitch_mm, 0.0008f);
  EXPECT_EQ(config_.aux.focal_length_ratio_flat, 1.02f);
  EXPECT_EQ(config_.main.is_af_enabled, 1);
  EXPECT_EQ(config_.aux.sensor_calib_mirror_flip_setting, 3);
  EXPECT_EQ(config_.aux.fl_ratio_tolerance_in_percent_flat, 2.5f);
  EXPECT_EQ(config_.main.dewarp_coeff[2], 0.1);  // doubles stay doubles
  EXPECT_EQ(config_.aux.warp_coeff[2], -0.1);    // aux warp reaches aux
  EXPECT_EQ(config_.aux.warp_coeff[3], 0.0625);
  EXPECT_EQ(config_.main.fl_dewarping_reference, 330.5f);
  EXPECT_EQ(config_.main_aux_rotation_flag, 2);
  EXPECT_EQ(config_.flat_chart_standard_dev_threshold, 0.5f);
  EXPECT_EQ(config_.percentile_for_variation_in_disparity, 95);
  EXPECT_EQ(config_.horizontal_disparity_max_threshold, 3.0f);
  EXPECT_EQ(config_.main.calib_l_chart_image, "captures/main_l.bmp");
  EXPECT_EQ(config_.main.calib_l_chart_image_path, "Captures/Main_L.bmp");
  EXPECT_EQ(config_.aux.calib_flat_chart_image_path, "Captures/Aux_Flat.bmp");
  EXPECT_EQ(config_.calib_otp_data_file, "out/otp_data.bin");
  EXPECT_EQ(config_.calib_otp_data_file_path, "Out/OTP_Data.bin");
}

TEST_F(CalibParserTest, AbsentOptionalAndDistortionKeysTakeTheirDefaults) {
  ASSERT_EQ(parse(calib_sample()).status, 1);
  EXPECT_EQ(config_.optional_keys_present, 0);
  EXPECT_EQ(config_.process_l_and_flat_config, 0);
  EXPECT_EQ(config_.calib_otp_interim_data_file, "NA");
  EXPECT_EQ(config_.crop_percent_for_aux, 0);
  EXPECT_EQ(config_.fov_used_for_computation, 40);
  EXPECT_EQ(config_.max_hd_variation_allowed, 1.0f);
  EXPECT_EQ(config_.max_vd_variation_allowed, 1.0f);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(config_.main.distortion_adj_fl_ratio[i], 1.0f);
    EXPECT_EQ(config_.main.distortion_scale_adj[i], 1.0f);
    EXPECT_EQ(config_.aux.distortion_adj_fl_ratio[i], 1.0f);
    EXPECT_EQ(config_.aux.distortion_scale_adj[i], 1.0f);
  }
}

TEST_F(CalibParserTest, OptionalKeysFallBackInsteadOfRejecting) {
  auto lines = calib_sample();
  lines = with(lines, "process_l_and_flat_config", "300");
  lines = with(lines, "crop_percent_for_aux", "-4");
  lines = with(lines, "calib_otp_interim_data_file", " Out/Interim.BIN");
  lines = with(lines, "max_vd_variation_allowed", "-2");
  lines = with(lines, "max_hd_variation_allowed", "nan");
  for (const char* fov : {"0", "256"}) {
    ASSERT_EQ(parse(with(lines, "fov_used_for_computation", fov)).status, 1);
    EXPECT_EQ(config_.fov_used_for_computation, 40) << fov;
  }
  EXPECT_EQ(config_.optional_keys_present, 1);
  EXPECT_EQ(config_.process_l_and_flat_config, 0);
  EXPECT_EQ(config_.crop_percent_for_aux, 0);
  EXPECT_EQ(config_.calib_otp_interim_data_file, "out/interim.bin");
  EXPECT_EQ(config_.calib_otp_interim_data_file_path, "Out/Interim.BIN");
  EXPECT_EQ(config_.max_vd_variation_allowed, 1.0f);
  EXPECT_EQ(config_.max_hd_variation_allowed, 1.0f);

  ASSERT_EQ(parse(with(with(calib_sample(), "fov_used_for_computation", "25"),
                       "max_hd_variation_allowed", "0.25")).status, 1);
  EXPECT_EQ(config_.fov_used_for_computation, 25);
  EXPECT_EQ(config_.max_hd_variation_allowed, 0.25f);
  EXPECT_EQ(config_.optional_keys_present, 1);
}

TEST_F(CalibParserTest, DistortionKeysOverrideOneIndexAndNeverReject) {
  auto lines = with(calib_sample(), "distortion_adj_fl_ratio_main_2", "1e999");
  lines = with(lines, "distortion_scale_adj_aux_4", "1.25");
  lines = with(lines, "distortion_adj_fl_ratio_aux_0", "nan");
  lines = with(lines, "distortion_scale_adj_main_1", "-inf");
  ASSERT_EQ(parse(lines).status, 1);
  EXPECT_EQ(config_.main.distortion_adj_fl_ratio[2], 1.0f);
  EXPECT_EQ(config_.aux.distortion_scale_adj[4], 1.25f);
  EXPECT_EQ(config_.aux.distortion_scale_adj[3], 1.0f);
  EXPECT_EQ(config_.aux.distortion_adj_fl_ratio[0], 1.0f);
  EXPECT_EQ(config_.main.distortion_scale_adj[1], -std::numeric_limits<float>::infinity());
  EXPECT_EQ(config_.optional_keys_present, 0);  // not among the optional keys
}

TEST_F(CalibParserTest, PresenceIsCheckedBeforeAnyConversion) {
  const auto two_missing =
      parse(without(without(calib_sample(), "l_chart_distance_mm"), "aux_f_number"));
  EXPECT_EQ(two_missing.status, 0);
  EXPECT_EQ(two_missing.messages,
            "Could not find mandatory parameter aux_f_number in config file\n");

  const auto invalid_then_missing = parse(
      without(with(calib_sample(), "main_native_width", "-1"), "horizontal_disparity_max_threshold"));
  EXPECT_EQ(invalid_then_missing.messages,
            "Could not find mandatory parameter horizontal_disparity_max_threshold in config file\n");

  const auto verification_file = parse(verif_sample());
  EXPECT_EQ(verification_file.messages,
            "Could not find mandatory parameter main_native_width in config file\n");
}

TEST_F(CalibParserTest, FirstRejectedValueEndsTheParseWithEarlierFieldsFilled) {
  auto lines = with(calib_sample(), "aux_native_height", "-1");
  lines = with(lines, "cam_baseline_mm", "1e999");
  const auto result = parse(lines);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.messages, "Invalid value for parameter aux_native_height = -1\n");
  EXPECT_EQ(config_.main.calib_input_height, 3000);
  EXPECT_EQ(config_.main.calib_flat_chart_image, "captures/main_flat.bmp");
  EXPECT_EQ(config_.aux.native_width, 3264);
  EXPECT_EQ(config_.aux.f_number, 0.0f);  // after the failure: untouched

  for (const auto& [key, value, shown] :
       {std::tuple<std::string, std::string, std::string>{"is_af_enabled_aux", "256", "256"},
        {"main_f_number", "NaN", "nan"},
        {"dewarp_coeff_aux_3", "1e-999", "1e-999"},
        {"fl_dewarping_reference_aux", "1E999", "1e999"},
        {"percentile_for_variation_in_disparity", "-0 5", "-05"},
        {"horizontal_disparity_max_threshold", "-1e400", "-1e400"}}) {
    EXPECT_EQ(parse(with(calib_sample(), key, value)).messages,
              "Invalid value for parameter " + key + " = " + shown + "\n");
  }
}

TEST_F(CalibParserTest, LensDefaultsApplyBeforeTheLensKeysAreRead) {
  // warp_coeff_main_1 rejected: the dewarp values before it are read, the
  // rest keep the defaults the parser set just before.
  ASSERT_EQ(parse(with(calib_sample(), "warp_coeff_main_1", "1e999")).status, 0);
  EXPECT_EQ(config_.main.dewarp_coeff[1], 1.0);
  EXPECT_EQ(config_.main.warp_coeff[0], 0.0);
  EXPECT_EQ(config_.aux.dewarp_coeff[1], 0.0);
  EXPECT_EQ(config_.main.fl_dewarping_reference, 320.0f);
  EXPECT_EQ(config_.aux.fl_dewarping_reference, 320.0f);
}

}  // namespace
}  // namespace zorvel::test
