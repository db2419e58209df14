// The key=value echoes: optional lines, and numbers printed from the
// precision they are stored in (floats widened, not re-read as doubles).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "driver/config_dump.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

template <typename Config>
std::string dump(void (*fn)(std::FILE*, const Config&), const Config& config) {
  return capture_file([&](std::FILE* sink) { fn(sink, config); });
}

bool has_line(const std::string& text, const std::string& line) {
  return text.find("\n" + line + "\n") != std::string::npos || text.rfind(line + "\n", 0) == 0;
}

TEST(CalibDumpTest, OptionalLinesOnlyWhenAnOptionalKeyWasPresent) {
  zorvel_calib_config config;
  config.process_l_and_flat_config = 2;
  config.calib_otp_interim_data_file = "na";
  config.crop_percent_for_aux = 15;
  config.flat_chart_standard_dev_threshold = 0.5f;
  const std::string without = dump(dump_calib_config, config);
  EXPECT_TRUE(without.ends_with("\nflat_chart_standard_dev_threshold=0.50\n"));
  EXPECT_EQ(without.find("process_l_and_flat_config"), std::string::npos);

  config.optional_keys_present = 1;
  EXPECT_EQ(dump(dump_calib_config, config),
            without +
                "process_l_and_flat_config=2\n"
                "calib_otp_interim_data_file=na\n"
                "crop_percent_for_aux=15\n");
}

TEST(CalibDumpTest, FloatsAreWidenedAndTheKeysFollowTheTable) {
  zorvel_calib_config config;
  config.main.distortion_adj_fl_ratio[1] = 1.01f;
  config.aux.fl_dewarping_reference = 330.3f;
  config.aux.dewarp_coeff[4] = 1.01;
  config.main.f_number = 0.1f;
  config.aux.is_af_enabled = 1;
  config.main_aux_rotation_flag = 255;
  const std::string text = dump(dump_calib_config, config);
  EXPECT_TRUE(has_line(text, "distortion_adj_fl_ratio_main_1=1.00999999046326"));
  EXPECT_TRUE(has_line(text, "fl_dewarping_reference_aux=330.29998779296875"));
  EXPECT_TRUE(has_line(text, "dewarp_coeff_aux_4=1.01000000000000"));
  EXPECT_TRUE(has_line(text, "main_f_number=0.100000"));
  EXPECT_TRUE(has_line(text, "is_af_enabled_aux=1"));
  EXPECT_TRUE(has_line(text, "main_aux_rotation_flag=255"));
  EXPECT_TRUE(text.starts_with("main_native_width=0\nmain_native_height=0\n"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 76 + 12);  // four threshold keys are not echoed
}

TEST(VerifDumpTest, DebugModeLineOnlyForTheValueOne) {
  zorvel_verif_config config;
  config.flat_chart_standard_dev_threshold = 0.5f;
  config.enable_debug_mode = 2;
  const std::string plain = dump(dump_verif_config, config);
  EXPECT_TRUE(plain.ends_with("\nflat_chart_standard_dev_threshold=0.500000\n"));
  EXPECT_EQ(std::count(plain.begin(), plain.end(), '\n'), 31);
  config.enable_debug_mode = 1;
  EXPECT_EQ(dump(dump_verif_config, config), plain + "enable_debug_mode=1\n");
}

}  // namespace
}  // namespace zorvel::test
