// The calibration run on the simulated good module: the checks before any
// capture is read (their order and exact messages), the loading of the
// captures, and records that cannot be written.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <tuple>
#include <utility>

#include "driver/run_helpers.h"

namespace zorvel::test {
namespace {

const std::string kConfig = "calibration.cfg";
const std::string kEchoEnd = "crop_percent_for_aux=0\n";

// The autofocus message of a ratio programmed against the thin-lens ratio of
// the lens (mm) at the chart distance (mm); the tolerance is 1 %.
std::string focus_error(const char* who, const char* chart, float programmed, float focal, float distance) {
  const float t = ((focal * focal) / (distance - focal) + focal) / focal;
  const double deviation = static_cast<double>(std::fabs(t - programmed) / t * 100.0f);
  char text[300];
  std::snprintf(text, sizeof text,
                "\n%s Error FL %s: Programmed value = %f Theorectical Value = %f\n%s Error FL %s: %s Reference "
                "Percentage Error = %f Estimated Error = 1.000000",
                who, chart, static_cast<double>(programmed), static_cast<double>(t), who, chart, who, deviation);
  return text;
}

std::string error(const std::string& what) { return "\nError: " + what + "\n\n"; }

// Every fault present at once; each run reports the first one left (and only
// that one), which is then repaired.
TEST(CalibrationRun, ChecksRunInOrderAndOnlyTheFirstFailureIsReported) {
  simulated_module m("good");
  edit(m, kConfig, "main_focal_length_ratio_l=1.2; aux_focal_length_ratio_flat=1.1; main_sensor_mono_flag=2;"
                   "main_sensor_calib_mirror_flip_setting=4; aux_sensor_calib_mirror_flip_setting=5;"
                   "aux_sensor_mono_flag=3; main_aux_sensor_calib_orientation_flag=2; main_aux_rotation_flag=3;"
                   "main_pixel_pitch_mm=0; aux_pixel_pitch_mm=-0.001; main_calib_input_width=70000;"
                   "main_calib_input_height=0; percentile_for_variation_in_disparity=101");
  // The main lens programmed 1.2 at the L chart; a tolerance equal to its deviation passes.
  const float t_l = ((3.75f * 3.75f) / (450.0f - 3.75f) + 3.75f) / 3.75f;
  char equal[64];
  std::snprintf(equal, sizeof equal, "main_fl_ratio_tolerance_in_percent_l=%.9g", static_cast<double>(std::fabs(t_l - 1.2f) / t_l) * 100.0);
  const std::string size = " - valid values are 1..65535", ratio = " - this value should always be >= 1.0";
  const std::string positive = " - value should be > 0";
  const std::string working = " - working image would be ", sides = ", each side should be 16..65535";
  const std::pair<std::string, std::string> steps[] = {
      {focus_error("main", "L", 1.2f, 3.75f, 450), equal},
      // Autofocus off (0 or 2): no ratio is checked.
      {focus_error("Aux", "Flat", 1.1f, 2.9f, 800),
       "is_af_enabled_aux=2; aux_focal_length_ratio_l=0.5; is_af_enabled_main=0; main_focal_length_ratio_l=0.999"},
      {error("main_focal_length_ratio = 0.999000" + ratio), "main_focal_length_ratio_l=1"},
      {error("aux_focal_length_ratio = 0.500000" + ratio), "aux_focal_length_ratio_l=1"},
      {error("main.sensor_calib_mirror_flip_setting = 4 - valid values are 0,1,2,3"),
       "main_sensor_calib_mirror_flip_setting=0"},
      {error("aux.sensor_calib_mirror_flip_setting = 5 - valid values are 0,1,2,3"),
       "aux_sensor_calib_mirror_flip_setting=0"},
      {error("main.sensor_mono_flag = 2 - valid values are 0,1"), "main_sensor_mono_flag=0"},
      {error("aux.sensor_mono_flag = 3 - valid values are 0,1"), "aux_sensor_mono_flag=0"},
      {error("main_aux_sensor_calib_orientation_flag = 2 - valid values are 0,1"),
       "main_aux_sensor_calib_orientation_flag=0"},
      {error("main_aux_rotation_flag = 3 - valid values are 0,1,2"), "main_aux_rotation_flag=0"},
      {error("main.pixel_pitch_mm = 0.000000" + positive), "main_pixel_pitch_mm=0.00375; main_focal_length_mm=-3"},
      {error("main.focal_length_mm = -3.000000" + positive), "main_focal_length_mm=3.75"},
      {error("aux.pixel_pitch_mm = -0.001000" + positive), "aux_pixel_pitch_mm=0.0035; aux_focal_length_mm=0"},
      {error("aux.focal_length_mm = 0.000000" + positive), "aux_focal_length_mm=2.9"},
      {error("main.calib_input_width = 70000" + size), "main_calib_input_width=65535"},
      {error("main.calib_input_height = 0" + size), "main_calib_input_height=800"},
      {error("main capture size = 65535x800" + working + "1280x15" + sides),
       "main_calib_input_width=1280; main_calib_input_height=960; main_aux_rotation_flag=1; aux_calib_input_width=16;"
       "aux_calib_input_height=4000"},
      {error("aux capture size = 16x4000" + working + "320000x1280" + sides),
       "main_aux_rotation_flag=0; aux_calib_input_width=1044; aux_calib_input_height=70000"},
      {error("aux.calib_input_height = 70000" + size), "aux_calib_input_height=783"},
      {error("percentile_for_variation_in_disparity = 101 - valid values are 0..100"),
       "percentile_for_variation_in_disparity=95; process_l_and_flat_config=5"},
      // An unknown chart combination loads nothing and stops.
      {"\n In valid Case\n In-correct Case, returning", ""},
  };
  for (const auto& [message, repair] : steps) {
    const run_output out = m.run(kConfig);
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(after(out.text, kEchoEnd), message);
    edit(m, kConfig, repair);
  }
}

// Records are named as written, and no angles follow a failed write. A
// flat-only run reads the interim record before anything is detected. Both L
// captures are parsed before their sizes are compared.
TEST(CalibrationRun, UnwritableRecordsAndUnusableInputsAreReported) {
  simulated_module m("good");
  const std::string aux_l = m.file("aux_l.bmp"), interim = m.file("calibration_interim.otp");
  const auto write_error = [](const std::string& path) {
    return "Writing calibration OTP data to " + path + " ...\n\nFailed to open OTP file " + path +
           " for writing\nError writing OTP file " + path + " ...\n\n";
  };
  const std::tuple<std::function<void()>, std::string, std::string> steps[] = {
      {[&] { m.set(kConfig, "calib_otp_data_file", "No_Such_Dir/Module.otp"); }, kConfig,
       "Calibration output ...\n\n" + write_error("No_Such_Dir/Module.otp")},
      {[&] { m.set("calibration_l_only.cfg", "calib_otp_interim_data_file", "."); }, "calibration_l_only.cfg",
       "Calibration TEMP output ...\n\n" + write_error(".")},
      {[] {}, "calibration_flat_only.cfg",
       "\n Reading Flat ONLYFailed to open OTP file " + interim + " for reading\nError parsing OTP file " +
           interim + " ...\n\n"},
      {[&] { write_file(aux_l, "not a bitmap"); }, kConfig, "\nError: Failed to parse aux L " + aux_l + "\n"},
      {[&] { write_blank_capture(aux_l, 640, 480); }, kConfig,
       "\nError: BMP file " + aux_l + " image dimensions (640x480) differs from configured dimensions (1044x783)\n\n"},
      {[&] { write_blank_capture(aux_l, 1044, 783); }, kConfig,
       "Aux L chart image key point detection failed\n\nError in FULL L + Flat calibration\n\n"},
  };
  for (const auto& [change, config, ending] : steps) {
    change();
    const run_output out = m.run(config);
    EXPECT_EQ(out.result, 0);
    EXPECT_TRUE(out.text.ends_with(ending)) << out.text;
  }
}

}  // namespace
}  // namespace zorvel::test
