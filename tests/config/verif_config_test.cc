// The verification parser: accepted and refused files, its progress prints,
// and the keys that print "\n" instead of rejecting the file.
#include <gtest/gtest.h>

#include <cmath>

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

TEST(VerifParserTest, OutcomesAndTheProgressPrintedOnTheWay) {
  const std::string flags = "\n aux flag = main_aux_rotation_flag\n aux flag = 1";
  const std::string tolerance = "\n 3.500000 p_config.tolerance_of_fl_ratio_in_percent_aux";
  const auto missing = [](const std::string& key) {
    return "Could not find mandatory parameter " + key + " in config file\n";
  };
  const auto invalid = [](const std::string& key, const std::string& value) {
    return "Invalid value for parameter " + key + " = " + value + "\n";
  };
  const auto odd = with(verif_sample(), "main_focal_length_ratio_tolerance_in_percent=1e999;"
                        "aux_focal_length_ratio_tolerance_in_percent=nan;enable_debug_mode=999");
  const struct {
    config_lines lines;
    std::string messages, progress;
  } cases[] = {
      {verif_sample(), "", flags + tolerance},
      // Tolerances and the debug mode print a newline instead of rejecting.
      {odd, "", flags + "\n\n\n 1.000000 p_config.tolerance_of_fl_ratio_in_percent_aux\n"},
      // Only the last threshold is outside the presence check.
      {without(verif_sample(), "horizontal_disparity_max_threshold"), "", flags + tolerance},
      {without(verif_sample(), "vertical_disparity_max_threshold"), missing("vertical_disparity_max_threshold"), ""},
      {calib_sample(), missing("main_verify_input_width"), ""},
      // A rejected value ends the parse at its place.
      {with(verif_sample(), "aux_sensor_mono_flag", "-1"), invalid("aux_sensor_mono_flag", "-1"), ""},
      {with(verif_sample(), "main_aux_rotation_flag", "300"), invalid("main_aux_rotation_flag", "300"),
       "\n aux flag = main_aux_rotation_flag\n Rotate flag read error"},
      {with(verif_sample(), "flat_chart_distance_mm", "nan"), invalid("flat_chart_distance_mm", "nan"), flags},
      {with(verif_sample(), "percentile_for_variation_in_disparity", "256"),
       invalid("percentile_for_variation_in_disparity", "256"), flags + tolerance},
  };
  for (const auto& c : cases) {
    const auto out = parse(c.lines);
    EXPECT_EQ(out.result.status, c.messages.empty() ? 1 : 0);
    EXPECT_EQ(out.result.messages, c.messages);
    EXPECT_EQ(out.progress, c.progress) << c.messages;
  }

  // The fields the driver's configuration echo does not show.
  EXPECT_EQ(parse(verif_sample()).config.main.verify_flat_chart_image_path, "Verify/Main Flat.bmp");
  const zorvel_verif_config fallbacks = parse(odd).config;
  EXPECT_TRUE(std::isinf(fallbacks.main_focal_length_ratio_tolerance_in_percent));
  EXPECT_EQ(fallbacks.enable_debug_mode, 0);
  EXPECT_EQ(parse(with(verif_sample(), "enable_debug_mode", "1")).config.enable_debug_mode, 1);
}

}  // namespace
}  // namespace zorvel::test
