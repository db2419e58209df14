// The verification run's checks in their order, each with its message, and
// the input the run builds from the configuration and the record.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "driver/run_fixture.h"
#include "driver/verification_setup.h"
#include "otp/otp_record.h"

namespace zorvel::test {
namespace {

// A stored record matching the fixture's verification configuration.
zorvel_otp_data matching_record() {
  zorvel_otp_data r;
  r.main_native_width = 1280;
  r.main_native_height = 960;
  r.aux_native_width = 1044;
  r.aux_native_height = 783;
  r.main_focal_length_px = r.aux_focal_length_px = 1000.0f;
  r.main_focal_length_ratio = r.aux_focal_length_ratio = 1.0f;
  r.rot[0] = r.rot[4] = r.rot[8] = 1.0f;
  r.cam_baseline_mm = 20.0f;
  return r;
}

// Every fault present at once; each run reports the first one left (and only
// that one), which is then repaired. Autofocus comes before the match with the
// stored record, which comes before any capture is opened, and the captures
// before the parameters. Mirror settings must match the record to reach their
// range check.
TEST(VerificationRun, ChecksRunInOrderAndStopAtTheFirstFault) {
  run_fixture f(run_fixture::kind::verification);
  zorvel_otp_data r = matching_record();
  r.main_native_height = 961;
  r.aux_native_width = 1043;
  r.main_mirror_flip_setting = 7;
  r.aux_mirror_flip_setting = 9;
  r.main_aux_position_flag = 256;
  r.orientation_flag = 1;
  for (const auto& [key, bad] : std::vector<std::pair<std::string, std::string>>{
           {"main_aux_rotation_flag", "3"}, {"main_verify_focal_length_ratio", "0.99"},
           {"main_sensor_mono_flag", "2"}, {"aux_verify_focal_length_ratio", "0.5"},
           {"aux_sensor_mono_flag", "9"}, {"percentile_for_variation_in_disparity", "101"}}) {
    f.set(key, bad);
  }
  const auto set = [&f](const char* key, const char* value) { return [=, &f] { f.set(key, value); }; };
  const auto mirror = [&](uint16_t zorvel_otp_data::*stored, const char* key) {
    return [&r, &f, stored, key] {
      r.*stored = 0;
      f.set(key, "0");
    };
  };
  const std::string otp = f.file("calibration.otp");
  const std::vector<std::pair<std::string, std::function<void()>>> steps = {
      {"Failed to open OTP file " + otp + " for reading\nError parsing OTP file " + otp + " ...\n\n", [] {}},
      {" v_config.tolerance_of_fl_ratio_in_percent_main 1.000000\nError: Main FL Ratio Flat Chart exceeds "
       "tolerance: Programmed value = 0.990000 Theorectical Value = ", set("is_af_enabled_main", "0")},
      {"\n diff_aux_Flat = ", set("is_af_enabled_aux", "0")},
      {"SWAP DIMENSIONS\nError: Main camera image input dimensions (1280x960) don't match OTP native "
       "dimensions (1280x961) ...\n\n", [&] { r.main_native_height = 960; }},
      {"Aux camera image input dimensions (1044x783) don't match OTP native dimensions (1043x783)",
       [&] { r.aux_native_width = 1044; }},
      {"Main camera mirror flip settings (0) don't match OTP (7)", set("main_sensor_verif_mirror_flip_setting", "7")},
      {"Aux camera mirror flip settings (0) don't match OTP (9)", set("aux_sensor_verif_mirror_flip_setting", "9")},
      {"Main/Aux position flag (0) doesn't match OTP (256)", [&] { r.main_aux_position_flag = 0; }},
      {"Main/Aux orientation flag (0) doesn't match OTP (1)", [&] { r.orientation_flag = 0; }},
      {"SWAP DIMENSIONS\n\nError: main_aux_rotation_flag = 3 - valid values are 0,1,2\n\n",
       set("main_aux_rotation_flag", "0")},
      {"\nError: Failed to get R,G,B data from BMP file " + f.file("main_verify.bmp") + "\n",
       [&] {
         f.write_blank_capture("main_verify.bmp", 1280, 960);
         f.write_blank_capture("aux_verify.bmp", 1044, 784);
       }},
      {"image dimensions (1044x784) differs from configured dimensions (1044x783)",
       [&] { f.write_blank_capture("aux_verify.bmp", 1044, 783); }},
      {"main_verify_focal_length_ratio = 0.990000 - this value should always be >= 1.0",
       set("main_verify_focal_length_ratio", "1.0")},
      {"main_sensor_verif_mirror_flip_setting = 7 - valid values are 0,1,2,3",
       mirror(&zorvel_otp_data::main_mirror_flip_setting, "main_sensor_verif_mirror_flip_setting")},
      {"main_sensor_mono_flag = 2 - valid values are 0,1", set("main_sensor_mono_flag", "0")},
      {"aux_verify_focal_length_ratio = 0.500000", set("aux_verify_focal_length_ratio", "1.0")},
      {"aux_sensor_verif_mirror_flip_setting = 9 - valid values are 0,1,2,3",
       mirror(&zorvel_otp_data::aux_mirror_flip_setting, "aux_sensor_verif_mirror_flip_setting")},
      {"aux_sensor_mono_flag = 9 - valid values are 0,1", set("aux_sensor_mono_flag", "0")},
      {"percentile_for_variation_in_disparity = 101 - valid values are 0..100",
       set("percentile_for_variation_in_disparity", "95")},
      // Blank captures pass every check but show no chart: no table.
      {"Main Flat chart image key point detection failed\n", [] {}},
  };
  for (const auto& [message, repair] : steps) {
    const run_result out = f.run();
    const std::string tail = run_fixture::after(out.text, "Parsed calibration OTP data file ");
    EXPECT_EQ(out.result, 0);
    EXPECT_NE(tail.find(message), std::string::npos) << tail;
    EXPECT_EQ(tail.find("Error"), tail.rfind("Error")) << tail;  // the first fault only
    repair();
    capture_stdout([&] { write_otp_data(otp, r); });
  }
}

TEST(VerificationInput, CarriesTheStoredCalibrationAndTheSettings) {
  zorvel_verif_config config;
  config.main = {100, 200, "", "", 1.01f, 0, 0, 0, 0, 1, 0};
  config.aux = {300, 400, "", "", 1.02f, 0, 0, 0, 0, 0, 0};
  config.flat_chart_distance_mm = 600.0f;
  config.main_aux_rotation_flag = 1;
  config.percentile_for_variation_in_disparity = 90;
  zorvel_otp_data otp = matching_record();
  otp.main_focal_length_px = 1100.0f;
  otp.aux_focal_length_ratio = 1.5f;
  otp.rot[1] = 0.25f;
  otp.geo[17] = 3.0f;
  otp.projection_offset_y = -2.0f;
  otp.main_warp_coeff[2] = 0.5;
  otp.aux_dewarp_coeff[0] = 0.75;
  otp.main_kp_fl_ratio[4] = 100;  // (ratio - 1) x 10000
  otp.aux_adjust_ratio[0] = -50;
  const zorvel_verification_input in = verification_input_of(config, otp, 0);
  const zorvel_stereo_model& m = in.model;
  EXPECT_EQ(std::vector<float>({m.main_focal_px, m.aux_focal_px, m.projection_offset_y, m.geo[17],
                                in.l_chart_ratios.main, in.l_chart_ratios.aux, in.flat_chart_ratios.main,
                                in.flat_chart_ratios.aux, in.baseline_mm, in.flat_chart_distance_mm}),
            std::vector<float>({1100, 1000, -2, 3, 1, 1.5f, 1.01f, 1.02f, 20, 600}));
  EXPECT_EQ(std::vector<double>({m.rot[1], in.form.main_lens.warp_coeff[2], in.form.aux_lens.dewarp_coeff[0],
                                 in.form.aux_lens.warp_coeff[2]}),
            std::vector<double>({0.25, 0.5, 0.75, 0}));
  EXPECT_FLOAT_EQ(in.main_adjustment.kp_fl_ratio[4], 1.01f);
  EXPECT_FLOAT_EQ(in.aux_adjustment.adjust_ratio[0], 0.995f);
  EXPECT_TRUE(in.form.rotated && in.main_mono && !in.aux_mono);
  EXPECT_EQ(in.metric_settings.percentile_for_variation_in_disparity, 90);
  const zorvel_capture_pair size = oriented_capture_size(config);  // turned: transposed
  EXPECT_EQ(std::vector<int32_t>({size.main_width, size.main_height, size.aux_width, size.aux_height}),
            std::vector<int32_t>({200, 100, 400, 300}));

  // Modes 3, 6 and 7 verify without the correction, announcing each cleared value.
  for (const uint8_t mode : {3, 6, 7}) {
    zorvel_verification_input cleared;
    const std::string text = capture_stdout([&] { cleared = verification_input_of(config, otp, mode); });
    EXPECT_EQ(cleared.model.geo[17], 0.0f);
    EXPECT_EQ(cleared.model.rot[1], 0.25);  // mode 6 announces unity but keeps the rotation
    size_t notices = 0;
    for (size_t at = text.find("GEO"); at != std::string::npos; at = text.find("GEO", at + 1)) ++notices;
    EXPECT_EQ(notices, 32u);
    EXPECT_EQ(text.find("\n SETTING RECT MATRIX TO UNITY") != std::string::npos, mode == 6);
  }
}

}  // namespace
}  // namespace zorvel::test
