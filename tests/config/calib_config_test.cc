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

TEST_F(CalibParserTest, DistortionKeysOverrideOneIndexAndNeverReject) {
  const auto result = parse(with(calib_sample(), "distortion_adj_fl_ratio_main_2=1e999;distortion_scale_adj_aux_4="
                                 "1.25;distortion_adj_fl_ratio_aux_0=nan;distortion_scale_adj_main_1=-inf"));
  ASSERT_EQ(result.status, 1) << result.messages;
  EXPECT_EQ(result.messages, "");
  const auto& c = config_;
  EXPECT_EQ(c.main.distortion_adj_fl_ratio[2] * c.aux.distortion_adj_fl_ratio[0] * c.aux.distortion_scale_adj[3], 1);
  EXPECT_EQ(c.aux.distortion_scale_adj[4], 1.25f);
  EXPECT_EQ(c.main.distortion_scale_adj[1], -std::numeric_limits<float>::infinity());
  EXPECT_EQ(c.optional_keys_present, 0);  // not among the optional keys
  // The driver's configuration echo shows the other fields, but not this path as written.
  EXPECT_EQ(c.aux.calib_flat_chart_image_path, "Captures/Aux_Flat.bmp");
}

TEST_F(CalibParserTest, OptionalKeysFallBackInsteadOfRejecting) {
  const struct {
    const char* edits;
    std::tuple<int, float, float, int, int, std::string> read;
  } cases[] = {
      {"", {40, 1.0f, 1.0f, 0, 0, "NA"}},
      {"fov_used_for_computation=256;max_vd_variation_allowed=-2", {40, 1.0f, 1.0f, 0, 0, "NA"}},
      {"fov_used_for_computation=25;max_hd_variation_allowed=0.25;max_vd_variation_allowed=3;"
       "process_l_and_flat_config=2;crop_percent_for_aux=7", {25, 0.25f, 3.0f, 2, 7, "NA"}},
      {"fov_used_for_computation=0;max_hd_variation_allowed=nan;max_vd_variation_allowed=0;"
       "process_l_and_flat_config=300;crop_percent_for_aux=-4;calib_otp_interim_data_file= Out/Interim.BIN",
       {40, 1.0f, 1.0f, 0, 0, "out/interim.bin"}},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(parse(with(calib_sample(), c.edits)).status, 1);
    const auto& r = config_;
    EXPECT_EQ(std::make_tuple(int{r.fov_used_for_computation}, r.max_hd_variation_allowed,
                              r.max_vd_variation_allowed, int{r.process_l_and_flat_config},
                              int{r.crop_percent_for_aux}, r.calib_otp_interim_data_file), c.read) << c.edits;
    EXPECT_EQ(r.optional_keys_present, *c.edits ? 1 : 0) << c.edits;
  }
  EXPECT_EQ(config_.calib_otp_interim_data_file_path, "Out/Interim.BIN");
}

TEST_F(CalibParserTest, PresenceIsCheckedFirstThenTheFirstRejectedValueEndsTheParse) {
  const auto refusal = [&](const config_lines& lines) {
    const auto result = parse(lines);
    EXPECT_EQ(result.status, 0);
    return result.messages;
  };
  const std::string missing = "Could not find mandatory parameter ";
  EXPECT_EQ(refusal(without(without(calib_sample(), "l_chart_distance_mm"), "aux_f_number")),
            missing + "aux_f_number in config file\n");
  EXPECT_EQ(refusal(without(with(calib_sample(), "main_native_width", "-1"), "horizontal_disparity_max_threshold")),
            missing + "horizontal_disparity_max_threshold in config file\n");
  EXPECT_EQ(refusal(verif_sample()), missing + "main_native_width in config file\n");
  const char* const invalid[][3] = {  // key, value, the value as reported
      {"aux_native_height", "-1", "-1"}, {"is_af_enabled_aux", "256", "256"},
      {"main_f_number", "NaN", "nan"}, {"dewarp_coeff_aux_3", "1e-999", "1e-999"},
      {"fl_dewarping_reference_aux", "1E999", "1e999"},
      {"percentile_for_variation_in_disparity", "-0 5", "-05"},
      {"horizontal_disparity_max_threshold", "-1e400", "-1e400"}};
  for (const auto& [key, value, shown] : invalid) {
    EXPECT_EQ(refusal(with(calib_sample(), key, value)),
              "Invalid value for parameter " + std::string(key) + " = " + shown + "\n");
  }
  // A later rejected value is not reported (a refused configuration is
  // discarded whole, so the fields it filled do not matter).
  EXPECT_EQ(refusal(with(with(calib_sample(), "aux_native_height", "-1"), "cam_baseline_mm", "1e999")),
            "Invalid value for parameter aux_native_height = -1\n");
}

}  // namespace
}  // namespace zorvel::test
