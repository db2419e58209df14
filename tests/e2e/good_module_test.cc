// The good module from captures to verdicts: L and flat calibration, the
// OTP record it leaves, the verification that reads it back, and the split
// L-only / flat-only calibration through the interim record.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "e2e/simulated_module.h"
#include "otp/otp_record.h"
#include "sim/geometry.h"

namespace zorvel::test {
namespace {

// "%60s %6s %10s %6s\n" and "%50s ..." with the column titles.
const std::string kTableHeader = std::string(54, ' ') + "Metric  Value  Threshold Result\n";
const std::string kLTableHeader = std::string(44, ' ') + "Metric  Value  Threshold Result\n";

double printed_angle(const std::string& text, const std::string& key) {
  const size_t at = text.rfind(key + "=");
  if (at == std::string::npos) return NAN;
  return std::strtod(text.c_str() + at + key.size() + 1, nullptr);
}

TEST(GoodModule, CalibratesWithEveryRowPassingThenVerifies) {
  simulated_module m("good");
  ASSERT_EQ(m.error(), "");

  const run_output cal = m.run("calibration.cfg");
  EXPECT_EQ(cal.result, 1) << cal.text;
  EXPECT_EQ(count_of(cal.text, "PASS\n"), 8);
  EXPECT_EQ(count_of(cal.text, "FAIL\n"), 0);
  EXPECT_EQ(m.size_of("calibration.otp"), kOtpFileSize);
  EXPECT_FALSE(m.exists("calibration_interim.otp"));
  EXPECT_TRUE(in_order(
      cal.text,
      {"\n Reading L and Flat", "\n ==== Debug Info ===== \n",
       "\n Computed Mean Disparity @ distance 800.000000mm is ",
       "\n Reference Disparity @ distance 800.000000mm is ", "\n ===== \n",
       "\n ================ Reference Metrics from Calib ==================\n"
       "FLAT CHART: Residual Vertical Disparity = ",
       "Flat CHART: Calibration Distance = 80 cm\n\n \n Flat CHART: RMS Vertical Disparity Zoned\n",
       "\n =============================================================== \n"
       "\n===========================\n"
       "Calibration verification results ...\n\n" + kTableHeader +
           std::string(15, ' ') + "L-chart: Residual vertical disparity [pixels]",
       "Flat-chart: Vertical Disparity [ FOV/Percentile =  80 / 95 ]",
       "Flat-chart:Horiz disparity Var [ FOV/Percentile =  80 / 95 ]",
       " PASS\n\n\n===========================\nCalibration output ...\n\n"
       "Writing calibration OTP data to " + m.file("calibration.otp") + " ...\n\n"
       "relative_pitch_degrees=",
       "\nrelative_yaw_degrees=", "\nrelative_roll_degrees=", "\n===========================\n"}))
      << cal.text;

  // The angles printed by the calibration are those of the module.
  const sim::angles_deg truth = sim::library_angles_from_rotation(sim::aux_rotation(m.scenario().module));
  EXPECT_NEAR(printed_angle(cal.text, "relative_pitch_degrees"), truth.pitch, 0.1);
  EXPECT_NEAR(printed_angle(cal.text, "relative_yaw_degrees"), truth.yaw, 0.1);
  EXPECT_NEAR(printed_angle(cal.text, "relative_roll_degrees"), truth.roll, 0.1);

  zorvel_otp_data record;
  int read_ok = 0;
  capture_stdout([&] { read_ok = read_otp_data(m.file("calibration.otp"), record); });
  ASSERT_EQ(read_ok, 1);
  EXPECT_EQ(record.version, 0x10607u);
  EXPECT_EQ(record.dewarp_version, 4);
  EXPECT_EQ(record.main_native_width, 1280);
  EXPECT_EQ(record.main_scaled_width, 1280);
  EXPECT_EQ(record.main_scaled_height, 960);
  EXPECT_EQ(record.flat_chart_distance_cm, 80);
  EXPECT_EQ(record.max_hd_variation_tenths, 10);
  for (int i = 18; i < 32; ++i) EXPECT_EQ(record.geo[i], 0.0f);

  const run_output ver = m.run("verification.cfg");
  EXPECT_EQ(ver.result, 1) << ver.text;
  EXPECT_EQ(count_of(ver.text, "PASS\n"), 5);
  EXPECT_EQ(count_of(ver.text, "FAIL\n"), 0);
  EXPECT_TRUE(in_order(
      ver.text,
      {"Parsed calibration OTP data file " + m.file("calibration.otp") + " ...\n\n"
       "relative_pitch_degrees=",
       "Aux Adjust Ratio [4] = 1.000\n", "\n diff_main_Flat = ", "\n diff_aux_Flat = ",
       "FL Ref = ", "\n Unwarp AUX Init Sum coeff ", "\n FLRatioRef = ", "\n Adjust Factor Main = ",
       "\n Adjust Factor Aux = ", "\n Unwarp AUX DONE",
       "\n ================ Verification Debug Reference Metrics  ==================\n",
       "\n =============================================================== \n"
       "===========================\nDepth verification results ...\n\n" + kTableHeader +
           std::string(12, ' ') + "Flat-chart: Residual vertical disparity [pixels]",
       "Flat-chart:Horiz disparity Var [ FOV/Percentile =  80 / 95 ]",
       " PASS\n\n\n===========================\n"}))
      << ver.text;
  EXPECT_EQ(ver.text.find("Debug Info"), std::string::npos);
  EXPECT_FALSE(m.exists("orig-main-flat.bmp"));  // mode 0 writes no image
}

TEST(GoodModule, LOnlyWritesTheInterimRecordAndFlatOnlyCompletesFromIt) {
  simulated_module m("good");
  ASSERT_EQ(m.error(), "");

  const run_output l_only = m.run("calibration_l_only.cfg");
  EXPECT_EQ(l_only.result, 1) << l_only.text;
  EXPECT_EQ(m.size_of("calibration_interim.otp"), kInterimFileSize);
  EXPECT_FALSE(m.exists("calibration.otp"));
  const std::string l_row = row_of(l_only.text, "L-chart: Distance error [%]");
  ASSERT_EQ(l_row.size(), std::string("L-chart: Distance error [%]").size() + 25);
  EXPECT_EQ(l_row.substr(l_row.size() - 4), "PASS");
  EXPECT_TRUE(in_order(
      l_only.text,
      {"\n Reading L ONLY",
       "===========================\nL Chart Calibration result ...\n\n" + kLTableHeader +
           std::string(23, ' ') + "L-chart: Distance error [%]",
       "PASS\nCalibration TEMP output ...\n\nWriting calibration OTP data to " +
           m.file("calibration_interim.otp") + " ...\n\nrelative_pitch_degrees=",
       "\nrelative_roll_degrees=", "\n===========================\n"}))
      << l_only.text;
  EXPECT_EQ(l_only.text.find("Reference Metrics"), std::string::npos);

  zorvel_otp_interim_data interim;
  ASSERT_EQ(read_interim_data(m.file("calibration_interim.otp"), interim), 1);
  EXPECT_GT(interim.l_chart_point_count, 20u);
  EXPECT_LE(interim.l_chart_point_count, 200u);

  const run_output flat = m.run("calibration_flat_only.cfg");
  EXPECT_EQ(flat.result, 1) << flat.text;
  EXPECT_EQ(count_of(flat.text, "PASS\n"), 8);
  EXPECT_EQ(m.size_of("calibration.otp"), kOtpFileSize);
  EXPECT_NE(flat.text.find("\n Reading Flat ONLY"), std::string::npos);
  // The L-chart distance error of the table is the one the interim record carried.
  const std::string l_value = l_row.substr(l_row.size() - 25, 7);
  EXPECT_EQ(row_of(flat.text, "L-chart: Distance error [%]").substr(l_row.size() - 25, 7), l_value);

  const run_output ver = m.run("verification.cfg");
  EXPECT_EQ(ver.result, 1) << ver.text;
}

TEST(GoodModule, AFailingRowLeavesNoOtpFileButPrintsTheAngles) {
  simulated_module m("good");
  ASSERT_EQ(m.error(), "");
  m.set("calibration.cfg", "residual_vertical_disparity_threshold_pixels", "0.05");
  const run_output cal = m.run("calibration.cfg");
  EXPECT_EQ(cal.result, 0);
  EXPECT_EQ(count_of(cal.text, "FAIL\n"), 2);  // both residual rows
  EXPECT_FALSE(m.exists("calibration.otp"));
  EXPECT_EQ(cal.text.find("Writing calibration OTP data"), std::string::npos);
  EXPECT_TRUE(in_order(cal.text, {"Calibration output ...\n\nrelative_pitch_degrees=",
                                  "\nrelative_yaw_degrees=", "\nrelative_roll_degrees=",
                                  "\n===========================\n"}));

  // An L-only run writes its interim record whatever its row says.
  m.set("calibration_l_only.cfg", "l_chart_origin_distance_threshold_percent", "0.01");
  const run_output l_only = m.run("calibration_l_only.cfg");
  EXPECT_EQ(l_only.result, 0);
  EXPECT_EQ(count_of(l_only.text, "FAIL\n"), 1);
  EXPECT_EQ(m.size_of("calibration_interim.otp"), kInterimFileSize);
}

}  // namespace
}  // namespace zorvel::test
