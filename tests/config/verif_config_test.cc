// The verification parser: accepted records, its progress prints, and the
// keys that print "\n" instead of rejecting the file.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "config/sample_configs.h"
#include "config/verif_config.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

struct verif_parse {
  zorvel_parse_result result;
  zorvel_verif_config config;
  std::string progress;
};

verif_parse parse(const config_lines& lines) {
  scratch_dir dir;
  const std::string path = dir.file("verif.cfg");
  write_file(path, render(lines));
  zorvel_config_reader reader(path);
  verif_parse out;
  out.progress = capture_stdout([&] { parse_verif_config(reader, out.config, out.result); });
  return out;
}

const std::string kAuxFlagLines = "\n aux flag = main_aux_rotation_flag\n aux flag = 1";

TEST(VerifParserTest, SampleIsAcceptedWithThreeProgressLines) {
  const auto out = parse(verif_sample());
  ASSERT_EQ(out.result.status, 1) << out.result.messages;
  EXPECT_EQ(out.result.messages, "");
  EXPECT_EQ(out.progress,
            kAuxFlagLines + "\n 3.500000 p_config.tolerance_of_fl_ratio_in_percent_aux");
  const auto& c = out.config;
  EXPECT_EQ(c.main.verify_input_width, 4000);
  EXPECT_EQ(c.aux.verify_input_height, 2448);
  EXPECT_EQ(c.main.verify_flat_chart_image, "verify/mainflat.bmp");
  EXPECT_EQ(c.main.verify_flat_chart_image_path, "Verify/Main Flat.bmp");
  EXPECT_EQ(c.aux.verify_focal_length_ratio, 1.02f);
  EXPECT_EQ(c.aux.sensor_verif_mirror_flip_setting, 3);
  EXPECT_EQ(c.main_aux_rotation_flag, 1);
  EXPECT_EQ(c.calib_otp_data_file_path, "Out/OTP_Data.bin");
  EXPECT_EQ(c.flat_chart_standard_dev_threshold, 0.75f);
  EXPECT_EQ(c.main_focal_length_ratio_tolerance_in_percent, 2.0f);
  EXPECT_EQ(c.enable_debug_mode, 0);
  EXPECT_EQ(c.percentage_fov_for_metric_calculation, 80);
  EXPECT_EQ(c.horizontal_disparity_max_threshold, 3.0f);
}

TEST(VerifParserTest, OnlyTheLastThresholdIsOutsideThePresenceCheck) {
  const auto no_horizontal = parse(without(verif_sample(), "horizontal_disparity_max_threshold"));
  EXPECT_EQ(no_horizontal.result.status, 1);
  EXPECT_EQ(no_horizontal.config.horizontal_disparity_max_threshold, 0.0f);

  const auto no_vertical = parse(without(verif_sample(), "vertical_disparity_max_threshold"));
  EXPECT_EQ(no_vertical.result.messages,
            "Could not find mandatory parameter vertical_disparity_max_threshold in config file\n");
  EXPECT_EQ(no_vertical.progress, "");

  const auto calibration_file = parse(calib_sample());
  EXPECT_EQ(calibration_file.result.messages,
            "Could not find mandatory parameter main_verify_input_width in config file\n");
}

TEST(VerifParserTest, ToleranceAndDebugModePrintANewlineInsteadOfRejecting) {
  auto lines = with(verif_sample(), "main_focal_length_ratio_tolerance_in_percent", "1e999");
  lines = with(lines, "aux_focal_length_ratio_tolerance_in_percent", "nan");
  lines = with(lines, "enable_debug_mode", "999");
  const auto out = parse(lines);
  ASSERT_EQ(out.result.status, 1);
  EXPECT_EQ(out.progress,
            kAuxFlagLines + "\n\n\n 1.000000 p_config.tolerance_of_fl_ratio_in_percent_aux\n");
  EXPECT_TRUE(std::isinf(out.config.main_focal_length_ratio_tolerance_in_percent));
  EXPECT_EQ(out.config.aux_focal_length_ratio_tolerance_in_percent, 1.0f);
  EXPECT_EQ(out.config.enable_debug_mode, 0);

  EXPECT_EQ(parse(with(verif_sample(), "enable_debug_mode", "1")).config.enable_debug_mode, 1);
}

TEST(VerifParserTest, RejectedValuesEndTheParseAtTheirPlace) {
  const std::string tolerance = "\n 3.500000 p_config.tolerance_of_fl_ratio_in_percent_aux";
  const struct {
    std::string key, value, progress;  // printed before the rejection
  } cases[] = {
      {"aux_sensor_mono_flag", "-1", ""},
      {"main_aux_rotation_flag", "300", "\n aux flag = main_aux_rotation_flag\n Rotate flag read error"},
      {"percentile_for_variation_in_disparity", "256", kAuxFlagLines + tolerance},
      {"flat_chart_distance_mm", "nan", kAuxFlagLines},
  };
  for (const auto& c : cases) {
    const auto out = parse(with(verif_sample(), c.key, c.value));
    EXPECT_EQ(out.result.status, 0);
    EXPECT_EQ(out.result.messages, "Invalid value for parameter " + c.key + " = " + c.value + "\n");
    EXPECT_EQ(out.progress, c.progress) << c.key;
  }
  // Fields before the rejected one are filled.
  EXPECT_EQ(parse(with(verif_sample(), "aux_sensor_mono_flag", "-1")).config.aux.pixel_pitch_mm, 0.00112f);
}

}  // namespace
}  // namespace zorvel::test
