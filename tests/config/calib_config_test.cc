// The calibration parser: accepted records, defaults of the optional and
// distortion keys, and the order in which failures are reported.
#include <gtest/gtest.h>

#include <limits>

#include "config/calib_config.h"
#include "config/sample_configs.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

class CalibParserTest : public ::testing::Test {
 protected:
  zorvel_parse_result parse(const config_lines& lines) {
    write_file(dir_.file("calib.cfg"), render(lines));
    zorvel_config_reader reader(dir_.file("calib.cfg"));
    config_ = {};
    zorvel_parse_result result;
    parse_calib_config(reader, config_, result);
    return result;
  }
  scratch_dir dir_;
  zorvel_calib_config config_;
};

TEST_F(CalibParserTest, SampleFillsEveryFieldAndTheAbsentKeysTakeTheirDefaults) {
  const auto result = parse(calib_sample());
  ASSERT_EQ(result.status, 1) << result.messages;
  EXPECT_EQ(result.messages, "");
  const auto& c = config_;
  EXPECT_EQ(c.main.native_width, 4000);
  EXPECT_EQ(c.aux.native_height, 2448);
  EXPECT_EQ(c.main.pixel_pitch_mm, 0.0008f);
  EXPECT_EQ(c.aux.focal_length_ratio_flat, 1.02f);
  EXPECT_EQ(c.main.is_af_enabled, 1);
  EXPECT_EQ(c.aux.sensor_calib_mirror_flip_setting, 3);
  EXPECT_EQ(c.aux.fl_ratio_tolerance_in_percent_flat, 2.5f);
  EXPECT_EQ(c.main.dewarp_coeff[2], 0.1);  // doubles stay doubles
  EXPECT_EQ(c.aux.warp_coeff[2], -0.1);    // aux warp reaches aux
  EXPECT_EQ(c.aux.warp_coeff[3], 0.0625);
  EXPECT_EQ(c.main.fl_dewarping_reference, 330.5f);
  EXPECT_EQ(c.main_aux_rotation_flag, 2);
  EXPECT_EQ(c.flat_chart_standard_dev_threshold, 0.5f);
  EXPECT_EQ(c.percentile_for_variation_in_disparity, 95);
  EXPECT_EQ(c.horizontal_disparity_max_threshold, 3.0f);
  EXPECT_EQ(c.main.calib_l_chart_image, "captures/main_l.bmp");
  EXPECT_EQ(c.main.calib_l_chart_image_path, "Captures/Main_L.bmp");
  EXPECT_EQ(c.aux.calib_flat_chart_image_path, "Captures/Aux_Flat.bmp");
  EXPECT_EQ(c.calib_otp_data_file, "out/otp_data.bin");
  EXPECT_EQ(c.calib_otp_data_file_path, "Out/OTP_Data.bin");
  // Absent optional and distortion keys.
  EXPECT_EQ(c.optional_keys_present, 0);
  EXPECT_EQ(c.process_l_and_flat_config, 0);
  EXPECT_EQ(c.calib_otp_interim_data_file, "NA");
  EXPECT_EQ(c.crop_percent_for_aux, 0);
  EXPECT_EQ(c.fov_used_for_computation, 40);
  EXPECT_EQ(c.max_hd_variation_allowed, 1.0f);
  EXPECT_EQ(c.max_vd_variation_allowed, 1.0f);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(c.main.distortion_adj_fl_ratio[i] * c.main.distortion_scale_adj[i] *
                  c.aux.distortion_adj_fl_ratio[i] * c.aux.distortion_scale_adj[i],
              1.0f);
  }
}

TEST_F(CalibParserTest, OptionalKeysFallBackInsteadOfRejecting) {
  auto lines = with(calib_sample(), "process_l_and_flat_config", "300");
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

TEST_F(CalibParserTest, PresenceIsCheckedFirstThenTheFirstRejectedValueEndsTheParse) {
  const auto missing = [](const std::string& key) {
    return "Could not find mandatory parameter " + key + " in config file\n";
  };
  const auto invalid = [](const std::string& key, const std::string& shown) {
    return "Invalid value for parameter " + key + " = " + shown + "\n";
  };
  const struct {
    config_lines lines;
    std::string message;
  } cases[] = {
      {without(without(calib_sample(), "l_chart_distance_mm"), "aux_f_number"), missing("aux_f_number")},
      {without(with(calib_sample(), "main_native_width", "-1"), "horizontal_disparity_max_threshold"),
       missing("horizontal_disparity_max_threshold")},
      {verif_sample(), missing("main_native_width")},
      {with(with(calib_sample(), "aux_native_height", "-1"), "cam_baseline_mm", "1e999"),
       invalid("aux_native_height", "-1")},
      {with(calib_sample(), "is_af_enabled_aux", "256"), invalid("is_af_enabled_aux", "256")},
      {with(calib_sample(), "main_f_number", "NaN"), invalid("main_f_number", "nan")},
      {with(calib_sample(), "dewarp_coeff_aux_3", "1e-999"), invalid("dewarp_coeff_aux_3", "1e-999")},
      {with(calib_sample(), "fl_dewarping_reference_aux", "1E999"),
       invalid("fl_dewarping_reference_aux", "1e999")},
      {with(calib_sample(), "percentile_for_variation_in_disparity", "-0 5"),
       invalid("percentile_for_variation_in_disparity", "-05")},
      {with(calib_sample(), "horizontal_disparity_max_threshold", "-1e400"),
       invalid("horizontal_disparity_max_threshold", "-1e400")},
  };
  for (const auto& c : cases) {
    const auto result = parse(c.lines);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.messages, c.message);
  }
  // Fields before the rejected one are filled, those after it untouched.
  ASSERT_EQ(parse(with(calib_sample(), "aux_native_height", "-1")).status, 0);
  EXPECT_EQ(config_.main.calib_input_height, 3000);
  EXPECT_EQ(config_.main.calib_flat_chart_image, "captures/main_flat.bmp");
  EXPECT_EQ(config_.aux.native_width, 3264);
  EXPECT_EQ(config_.aux.f_number, 0.0f);
  // The lens defaults are set just before the lens keys are read.
  ASSERT_EQ(parse(with(calib_sample(), "warp_coeff_main_1", "1e999")).status, 0);
  EXPECT_EQ(config_.main.dewarp_coeff[1], 1.0);
  EXPECT_EQ(config_.main.warp_coeff[0], 0.0);
  EXPECT_EQ(config_.aux.dewarp_coeff[1], 0.0);
  EXPECT_EQ(config_.main.fl_dewarping_reference, 320.0f);
  EXPECT_EQ(config_.aux.fl_dewarping_reference, 320.0f);
}

}  // namespace
}  // namespace zorvel::test
