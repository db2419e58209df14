// The verification run's checks: autofocus before the OTP match, the OTP
// match before any capture is opened, the captures before the parameter
// checks, each with its exact message.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "driver/run_fixture.h"
#include "driver/verification_setup.h"
#include "otp/otp_record.h"

namespace zorvel::test {
namespace {

using edits = std::vector<std::pair<std::string, std::string>>;

// A stored record matching the fixture's verification configuration.
zorvel_otp_data matching_record() {
  zorvel_otp_data r;
  r.version = 0x10607;
  r.dewarp_version = 4;
  r.main_native_width = 1280;
  r.main_native_height = 960;
  r.aux_native_width = 1044;
  r.aux_native_height = 783;
  r.main_focal_length_px = 1000.0f;
  r.aux_focal_length_px = 1000.0f;
  r.main_focal_length_ratio = 1.0f;
  r.aux_focal_length_ratio = 1.0f;
  r.rot[0] = r.rot[4] = r.rot[8] = 1.0f;
  r.cam_baseline_mm = 20.0f;
  return r;
}

class VerificationRun : public ::testing::Test {
 protected:
  VerificationRun() : f_(run_fixture::kind::verification) {}

  void store(const zorvel_otp_data& record) {
    capture_stdout([&] { write_otp_data(f_.file("calibration.otp"), record); });
  }
  void write_captures() {
    f_.write_blank_capture("main_verify.bmp", 1280, 960);
    f_.write_blank_capture("aux_verify.bmp", 1044, 783);
  }
  run_result run_with(const edits& changes, uint8_t mode = 0) {
    for (const auto& [k, v] : changes) f_.set(k, v);
    return f_.run(mode);
  }
  // What follows the summary of the stored record.
  static std::string after_otp(const run_result& r) {
    return run_fixture::after(r.text, "Aux Adjust Ratio [4] = 1.000\n");
  }
  // What follows the two autofocus lines of the fixture (both deviations 0).
  static std::string after_focus(const run_result& r) {
    return run_fixture::after(r.text, "\n diff_main_Flat = 0.000000\n diff_aux_Flat = 0.000000");
  }

  run_fixture f_;
};

TEST_F(VerificationRun, MissingOtpFileEndsTheRun) {
  const run_result r = f_.run();
  EXPECT_EQ(r.result, 0);
  const std::string otp = f_.file("calibration.otp");
  EXPECT_EQ(run_fixture::after(r.text, "Parsed calibration OTP data file " + otp + " ...\n\n"),
            "Failed to open OTP file " + otp + " for reading\nError parsing OTP file " + otp +
                " ...\n\n");
}

TEST_F(VerificationRun, AutofocusIsCheckedBeforeTheOtpMatch) {
  zorvel_otp_data r = matching_record();
  r.main_native_width = 4000;  // would fail the match
  store(r);
  const run_result out = run_with({{"aux_verify_focal_length_ratio", "1.1"}});
  EXPECT_EQ(out.result, 0);
  const std::string tail = after_otp(out);
  EXPECT_EQ(tail.rfind("\n diff_main_Flat = 0.000000\n diff_aux_Flat = ", 0), 0u) << tail;
  EXPECT_NE(tail.find(" v_config.tolerance_of_fl_ratio_in_percent_aux 1.000000"
                      "\nError: Aux FL Ratio Flat Chart exceeds tolerance: Programmed value = "
                      "1.100000 Theorectical Value = "),
            std::string::npos)
      << tail;
  EXPECT_EQ(tail.find("OTP native"), std::string::npos);

  // Autofocus off: no deviation line at all.
  const run_result off = run_with({{"is_af_enabled_main", "0"}, {"is_af_enabled_aux", "0"}});
  EXPECT_EQ(after_otp(off),
            "Error: Main camera image input dimensions (1280x960) don't match OTP native "
            "dimensions (4000x960) ...\n\n");
}

TEST_F(VerificationRun, OtpMismatchesAreReportedBeforeAnyCaptureIsOpened) {
  struct mismatch {
    void (*change)(zorvel_otp_data&);
    std::string message;
  };
  const std::vector<mismatch> cases = {
      {[](zorvel_otp_data& r) { r.main_native_height = 961; },
       "Error: Main camera image input dimensions (1280x960) don't match OTP native dimensions "
       "(1280x961) ...\n\n"},
      {[](zorvel_otp_data& r) { r.aux_native_width = 1043; },
       "Error: Aux camera image input dimensions (1044x783) don't match OTP native dimensions "
       "(1043x783) ...\n\n"},
      {[](zorvel_otp_data& r) { r.main_mirror_flip_setting = 2; },
       "Error: Main camera mirror flip settings (0) don't match OTP (2) ...\n\n"},
      {[](zorvel_otp_data& r) { r.aux_mirror_flip_setting = 1; },
       "Error: Aux camera mirror flip settings (0) don't match OTP (1) ...\n\n"},
      {[](zorvel_otp_data& r) { r.main_aux_position_flag = 256; },
       "Error: Main/Aux position flag (0) doesn't match OTP (256) ...\n\n"},
      {[](zorvel_otp_data& r) { r.orientation_flag = 1; },
       "Error: Main/Aux orientation flag (0) doesn't match OTP (1) ...\n\n"},
  };
  for (const mismatch& m : cases) {
    zorvel_otp_data r = matching_record();
    m.change(r);
    store(r);
    const run_result out = run_with({});  // no captures on disk
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(after_focus(out), m.message);
  }

  // A rotation flag above 2 is refused after the match, before the captures.
  store(matching_record());
  const run_result rotated = run_with({{"main_aux_rotation_flag", "3"}});
  EXPECT_EQ(after_focus(rotated),
            "SWAP DIMENSIONS\n\nError: main_aux_rotation_flag = 3 - valid values are 0,1,2\n\n");
  zorvel_otp_data r = matching_record();
  r.orientation_flag = 1;
  store(r);
  EXPECT_EQ(after_focus(run_with({})),
            "SWAP DIMENSIONS\nError: Main/Aux orientation flag (0) doesn't match OTP (1) ...\n\n");
}

TEST_F(VerificationRun, CapturesComeBeforeTheParameterChecks) {
  zorvel_otp_data r = matching_record();
  r.main_mirror_flip_setting = 7;
  store(r);
  run_result out = run_with({{"main_sensor_verif_mirror_flip_setting", "7"},
                             {"is_af_enabled_main", "0"},
                             {"main_verify_focal_length_ratio", "0.99"}});
  EXPECT_EQ(after_otp(out), "\n diff_aux_Flat = 0.000000\nError: Failed to get R,G,B data from "
                            "BMP file " + f_.file("main_verify.bmp") + "\n");

  f_.write_blank_capture("main_verify.bmp", 1280, 960);
  f_.write_blank_capture("aux_verify.bmp", 1044, 784);
  out = f_.run();
  EXPECT_EQ(run_fixture::after(out.text, "diff_aux_Flat = 0.000000"),
            "\nError: BMP file " + f_.file("aux_verify.bmp") +
                " image dimensions (1044x784) differs from configured dimensions (1044x783)\n\n");

  write_captures();
  const std::vector<std::pair<edits, std::string>> cases = {
      {{}, "\nError: main_verify_focal_length_ratio = 0.990000 - this value should always be >= 1.0\n\n"},
      {{{"main_verify_focal_length_ratio", "1.0"}},
       "\nError: main_sensor_verif_mirror_flip_setting = 7 - valid values are 0,1,2,3\n\n"},
  };
  for (const auto& [changes, message] : cases) {
    EXPECT_EQ(run_fixture::after(run_with(changes).text, "diff_aux_Flat = 0.000000"), message);
  }
  store(matching_record());
  const std::vector<std::pair<edits, std::string>> later = {
      {{{"main_sensor_verif_mirror_flip_setting", "0"}, {"main_sensor_mono_flag", "2"}},
       "\nError: main_sensor_mono_flag = 2 - valid values are 0,1\n\n"},
      {{{"main_sensor_mono_flag", "0"}, {"is_af_enabled_aux", "0"},
        {"aux_verify_focal_length_ratio", "0.5"}, {"aux_sensor_mono_flag", "9"}},
       "\nError: aux_verify_focal_length_ratio = 0.500000 - this value should always be >= 1.0\n\n"},
      {{{"aux_verify_focal_length_ratio", "1.0"}, {"aux_sensor_mono_flag", "9"}},
       "\nError: aux_sensor_mono_flag = 9 - valid values are 0,1\n\n"},
      {{{"aux_sensor_mono_flag", "0"}, {"percentile_for_variation_in_disparity", "101"}},
       "\nError: percentile_for_variation_in_disparity = 101 - valid values are 0..100\n\n"},
  };
  for (const auto& [changes, message] : later) {
    const std::string text = run_with(changes).text;
    const std::string tail = after_otp({0, text});
    ASSERT_GE(tail.size(), message.size());
    EXPECT_EQ(tail.substr(tail.size() - message.size()), message);
    EXPECT_EQ(tail.find("Error"), tail.size() - message.size() + 1);  // the only error
  }
}

TEST_F(VerificationRun, BlankCapturesFailDetectionWithoutTable) {
  store(matching_record());
  write_captures();
  const run_result out = f_.run();
  EXPECT_EQ(out.result, 0);
  const std::string tail = "Main Flat chart image key point detection failed\n";
  ASSERT_GE(out.text.size(), tail.size());
  EXPECT_EQ(out.text.substr(out.text.size() - tail.size()), tail);
  EXPECT_EQ(out.text.find("Depth verification results"), std::string::npos);
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
