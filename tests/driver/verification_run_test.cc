// The verification run on the simulated good module: its checks in their
// order, each with its message, until the repaired run passes.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "driver/run_helpers.h"
#include "otp/otp_record.h"

namespace zorvel::test {
namespace {

const std::string kConfig = "verification.cfg";

// Every fault present at once; each run reports the first one left (and only
// that one), which is then repaired: the record, autofocus, the match with the
// record, the captures, the parameters (mirror settings matching the record).
TEST(VerificationRun, ChecksRunInOrderAndStopAtTheFirstFault) {
  simulated_module m("good");
  ASSERT_EQ(m.run("calibration.cfg").result, 1);
  const std::string otp = m.file("calibration.otp");
  zorvel_otp_data r;
  capture_stdout([&] { read_otp_data(otp, r); });
  std::filesystem::remove(otp);
  r.main_native_height = 961;
  r.aux_native_width = 1043;
  r.main_mirror_flip_setting = 7;
  r.aux_mirror_flip_setting = 9;
  r.main_aux_position_flag = 256;
  r.orientation_flag = 1;
  edit(m, kConfig, "main_aux_rotation_flag=3; main_verify_focal_length_ratio=0.99; main_sensor_mono_flag=2;"
                   "aux_verify_focal_length_ratio=0.5; aux_sensor_mono_flag=9;"
                   "percentile_for_variation_in_disparity=101");
  const std::string main = m.file("main_verify.bmp"), aux = m.file("aux_verify.bmp");
  std::filesystem::rename(main, main + ".kept");
  std::filesystem::rename(aux, aux + ".kept");
  write_blank_capture(aux, 1044, 784);

  const auto set = [&m](const std::string& edits) { return [&m, edits] { edit(m, kConfig, edits); }; };
  const auto back = [](const std::string& path) { return [path] { std::filesystem::rename(path + ".kept", path); }; };
  const std::vector<std::pair<std::string, std::function<void()>>> steps = {
      {"Failed to open OTP file " + otp + " for reading\nError parsing OTP file " + otp + " ...\n\n", [] {}},
      {" v_config.tolerance_of_fl_ratio_in_percent_main 1.000000\nError: Main FL Ratio Flat Chart exceeds "
       "tolerance: Programmed value = 0.990000 Theorectical Value = ", set("is_af_enabled_main=0")},
      {"\n diff_aux_Flat = ", set("is_af_enabled_aux=0")},
      {"SWAP DIMENSIONS\nError: Main camera image input dimensions (1280x960) don't match OTP native "
       "dimensions (1280x961) ...\n\n", [&] { r.main_native_height = 960; }},
      {"Aux camera image input dimensions (1044x783) don't match OTP native dimensions (1043x783)",
       [&] { r.aux_native_width = 1044; }},
      {"Main camera mirror flip settings (0) don't match OTP (7)", set("main_sensor_verif_mirror_flip_setting=7")},
      {"Aux camera mirror flip settings (0) don't match OTP (9)", set("aux_sensor_verif_mirror_flip_setting=9")},
      {"Main/Aux position flag (0) doesn't match OTP (256)", [&] { r.main_aux_position_flag = 0; }},
      {"Main/Aux orientation flag (0) doesn't match OTP (1)", [&] { r.orientation_flag = 0; }},
      {"SWAP DIMENSIONS\n\nError: main_aux_rotation_flag = 3 - valid values are 0,1,2\n\n",
       set("main_aux_rotation_flag=0")},
      {"\nError: Failed to get R,G,B data from BMP file " + main + "\n", back(main)},
      {"image dimensions (1044x784) differs from configured dimensions (1044x783)", back(aux)},
      {"main_verify_focal_length_ratio = 0.990000 - this value should always be >= 1.0",
       set("main_verify_focal_length_ratio=1.00470958")},
      {"main_sensor_verif_mirror_flip_setting = 7 - valid values are 0,1,2,3",
       [&] { r.main_mirror_flip_setting = 0, set("main_sensor_verif_mirror_flip_setting=0")(); }},
      {"main_sensor_mono_flag = 2 - valid values are 0,1", set("main_sensor_mono_flag=0")},
      {"aux_verify_focal_length_ratio = 0.500000", set("aux_verify_focal_length_ratio=1.00363819")},
      {"aux_sensor_verif_mirror_flip_setting = 9 - valid values are 0,1,2,3",
       [&] { r.aux_mirror_flip_setting = 0, set("aux_sensor_verif_mirror_flip_setting=0")(); }},
      {"aux_sensor_mono_flag = 9 - valid values are 0,1", set("aux_sensor_mono_flag=0")},
      {"percentile_for_variation_in_disparity = 101 - valid values are 0..100",
       set("percentile_for_variation_in_disparity=95")},
  };
  for (const auto& [message, repair] : steps) {
    const run_output out = m.run(kConfig);
    const std::string tail = after(out.text, "Parsed calibration OTP data file ");
    EXPECT_EQ(out.result, 0);
    EXPECT_NE(tail.find(message), std::string::npos) << tail;
    EXPECT_EQ(tail.find("Error"), tail.rfind("Error")) << tail;  // the first fault only
    repair();
    capture_stdout([&] { write_otp_data(otp, r); });
  }
  const run_output repaired = m.run(kConfig);
  EXPECT_EQ(repaired.result, 1) << repaired.text;
  EXPECT_EQ(count_of(repaired.text, "PASS\n"), 5);
}

}  // namespace
}  // namespace zorvel::test
