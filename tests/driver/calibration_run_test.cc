// The calibration run's checks before any chart is detected: their order,
// their exact messages, and the loading of the captures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "driver/run_fixture.h"

namespace zorvel::test {
namespace {

using edits = std::vector<std::pair<std::string, std::string>>;

// The calibration echo ends with the last optional key.
std::string after_echo(const run_result& r) {
  return run_fixture::after(r.text, "crop_percent_for_aux=0\n");
}

run_result run_with(const edits& changes, int32_t process = 0) {
  run_fixture f(run_fixture::kind::calibration, process);
  for (const auto& [k, v] : changes) f.set(k, v);
  return f.run();
}

std::string printed(float v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%f", static_cast<double>(v));
  return buf;
}

TEST(CalibrationRun, AutofocusDeviationIsCheckedFirstAndEqualityPasses) {
  // Main lens 3.75 mm: at 450 mm the thin-lens ratio is 450 / 446.25.
  const float t_l = ((3.75f * 3.75f) / (450.0f - 3.75f) + 3.75f) / 3.75f;
  const float deviation = std::fabs(t_l - 1.2f) / t_l * 100.0f;
  const run_result r = run_with({{"main_focal_length_ratio_l", "1.2"},
                                 {"main_fl_ratio_tolerance_in_percent_l", "1"},
                                 {"aux_focal_length_ratio_l", "0.5"},
                                 {"main_sensor_calib_mirror_flip_setting", "7"}});
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(after_echo(r), "\nmain Error FL L: Programmed value = 1.200000 Theorectical Value = " +
                               printed(t_l) + "\nmain Error FL L: main Reference Percentage Error = " +
                               printed(deviation) + " Estimated Error = 1.000000");

  char exact[32];
  std::snprintf(exact, sizeof exact, "%.9g", static_cast<double>(deviation));
  const run_result equal = run_with({{"main_focal_length_ratio_l", "1.2"},
                                     {"main_fl_ratio_tolerance_in_percent_l", exact},
                                     {"main_sensor_calib_mirror_flip_setting", "7"}});
  EXPECT_EQ(after_echo(equal),
            "\nError: main.sensor_calib_mirror_flip_setting = 7 - valid values are 0,1,2,3\n\n");

  const run_result aux = run_with({{"aux_focal_length_ratio_flat", "1.1"}});
  EXPECT_EQ(after_echo(aux).rfind("\nAux Error FL Flat: Programmed value = 1.100000 Theorectical Value = ", 0), 0u);
  EXPECT_NE(after_echo(aux).find("\nAux Error FL Flat: Aux Reference Percentage Error = "), std::string::npos);

  // Autofocus off (0 or 2): no ratio is checked.
  const run_result off = run_with({{"is_af_enabled_aux", "2"},
                                   {"aux_focal_length_ratio_flat", "1.1"},
                                   {"aux_sensor_mono_flag", "2"}});
  EXPECT_EQ(after_echo(off), "\nError: aux.sensor_mono_flag = 2 - valid values are 0,1\n\n");
}

TEST(CalibrationRun, ValidationChecksRunInOrderFirstFailureWins) {
  // Each case also breaks a later check, which must not be reported.
  const std::vector<std::pair<edits, std::string>> cases = {
      {{{"is_af_enabled_main", "0"}, {"main_focal_length_ratio_l", "0.999"},
        {"is_af_enabled_aux", "0"}, {"aux_focal_length_ratio_l", "0.5"}},
       "\nError: main_focal_length_ratio = 0.999000 - this value should always be >= 1.0\n\n"},
      {{{"is_af_enabled_aux", "0"}, {"aux_focal_length_ratio_l", "0.5"},
        {"main_sensor_calib_mirror_flip_setting", "4"}},
       "\nError: aux_focal_length_ratio = 0.500000 - this value should always be >= 1.0\n\n"},
      {{{"main_sensor_calib_mirror_flip_setting", "4"}, {"aux_sensor_calib_mirror_flip_setting", "5"}},
       "\nError: main.sensor_calib_mirror_flip_setting = 4 - valid values are 0,1,2,3\n\n"},
      {{{"aux_sensor_calib_mirror_flip_setting", "5"}, {"main_sensor_mono_flag", "2"}},
       "\nError: aux.sensor_calib_mirror_flip_setting = 5 - valid values are 0,1,2,3\n\n"},
      {{{"main_sensor_mono_flag", "2"}, {"aux_sensor_mono_flag", "3"}},
       "\nError: main.sensor_mono_flag = 2 - valid values are 0,1\n\n"},
      {{{"aux_sensor_mono_flag", "3"}, {"main_aux_sensor_calib_orientation_flag", "2"}},
       "\nError: aux.sensor_mono_flag = 3 - valid values are 0,1\n\n"},
      {{{"main_aux_sensor_calib_orientation_flag", "2"}, {"main_aux_rotation_flag", "3"}},
       "\nError: main_aux_sensor_calib_orientation_flag = 2 - valid values are 0,1\n\n"},
      {{{"main_aux_rotation_flag", "3"}, {"main_pixel_pitch_mm", "0"}},
       "\nError: main_aux_rotation_flag = 3 - valid values are 0,1,2\n\n"},
      {{{"main_pixel_pitch_mm", "0"}, {"is_af_enabled_main", "0"}, {"main_focal_length_mm", "0"}},
       "\nError: main.pixel_pitch_mm = 0.000000 - value should be > 0\n\n"},
      {{{"is_af_enabled_main", "0"}, {"main_focal_length_mm", "-3"}, {"aux_pixel_pitch_mm", "0"}},
       "\nError: main.focal_length_mm = -3.000000 - value should be > 0\n\n"},
      {{{"aux_pixel_pitch_mm", "-0.001"}, {"main_calib_input_width", "70000"}},
       "\nError: aux.pixel_pitch_mm = -0.001000 - value should be > 0\n\n"},
      {{{"is_af_enabled_aux", "0"}, {"aux_focal_length_mm", "0"}, {"main_calib_input_width", "70000"}},
       "\nError: aux.focal_length_mm = 0.000000 - value should be > 0\n\n"},
      {{{"main_calib_input_width", "70000"}, {"aux_calib_input_height", "0"}},
       "\nError: main.calib_input_width = 70000 - valid values are 1..65535\n\n"},
      {{{"main_calib_input_height", "0"}},
       "\nError: main.calib_input_height = 0 - valid values are 1..65535\n\n"},
      {{{"main_calib_input_width", "65535"}, {"main_calib_input_height", "800"},
        {"percentile_for_variation_in_disparity", "101"}},
       "\nError: main capture size = 65535x800 - working image would be 1280x15, each side "
       "should be 16..65535\n\n"},
      {{{"aux_calib_input_width", "16"}, {"aux_calib_input_height", "4000"},
        {"main_aux_rotation_flag", "1"}},
       "\nError: aux capture size = 16x4000 - working image would be 320000x1280, each side "
       "should be 16..65535\n\n"},
      {{{"aux_calib_input_height", "70000"}},
       "\nError: aux.calib_input_height = 70000 - valid values are 1..65535\n\n"},
      {{{"percentile_for_variation_in_disparity", "101"}},
       "\nError: percentile_for_variation_in_disparity = 101 - valid values are 0..100\n\n"},
  };
  for (const auto& [changes, message] : cases) {
    const run_result r = run_with(changes);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(after_echo(r), message);
  }
}

TEST(CalibrationRun, CapturesLoadInOrderWithTheirMessages) {
  run_fixture f(run_fixture::kind::calibration);
  // Nothing on disk: the main L reader has no planes.
  run_result r = f.run();
  EXPECT_EQ(after_echo(r), "\n Reading L and Flat\nError: Failed to get R,G,B data from BMP file " +
                               f.file("main_l.bmp") + "\n");

  // A file that is not a BMP fails its parse, named by its chart and camera.
  f.write_blank_capture("main_l.bmp", 1280, 960);
  write_file(f.file("aux_l.bmp"), "not a bitmap");
  r = f.run();
  const std::string aux_l = "\nError: Failed to parse aux L " + f.file("aux_l.bmp") + "\n";
  ASSERT_GE(r.text.size(), aux_l.size());
  EXPECT_EQ(r.text.substr(r.text.size() - aux_l.size()), aux_l);

  // Both L captures load before the L sizes are compared, main first.
  f.write_blank_capture("aux_l.bmp", 640, 480);
  r = f.run();
  EXPECT_EQ(after_echo(r), "\n Reading L and Flat\nError: BMP file " + f.file("aux_l.bmp") +
                               " image dimensions (640x480) differs from configured dimensions "
                               "(1044x783)\n\n");

  // An unknown chart combination opens the readers, loads nothing and stops.
  f.set("process_l_and_flat_config", "5");
  r = f.run();
  EXPECT_EQ(run_fixture::after(r.text, "crop_percent_for_aux=0\n"),
            "\n In valid Case\n In-correct Case, returning");
  EXPECT_EQ(r.result, 0);
}

TEST(CalibrationRun, BlankCapturesEndInTheDriversMessages) {
  run_fixture f(run_fixture::kind::calibration);
  for (const char* name : {"main_l.bmp", "main_flat.bmp"}) f.write_blank_capture(name, 1280, 960);
  for (const char* name : {"aux_l.bmp", "aux_flat.bmp"}) f.write_blank_capture(name, 1044, 783);
  run_result r = f.run();
  EXPECT_EQ(r.result, 0);
  EXPECT_TRUE(r.text.find("Aux L chart image key point detection failed\n") != std::string::npos);
  const std::string tail = "\nError in FULL L + Flat calibration\n\n";
  EXPECT_EQ(r.text.substr(r.text.size() - tail.size()), tail);

  // Flat only: the interim record is read before anything is detected.
  f.set("process_l_and_flat_config", "2");
  r = f.run();
  EXPECT_EQ(after_echo(r), "\n Reading Flat ONLY"
                           "Failed to open OTP file " + f.file("calibration_interim.otp") +
                               " for reading\nError parsing OTP file " +
                               f.file("calibration_interim.otp") + " ...\n\n");
  EXPECT_EQ(r.result, 0);
}

}  // namespace
}  // namespace zorvel::test
