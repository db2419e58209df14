// The good module from captures to verdicts: L and flat calibration, the
// OTP record it leaves, the verification that reads it back, and the split
// L-only / flat-only calibration through the interim record. The figures of
// the reports are pinned: every printed digit is part of the behaviour.
#include <gtest/gtest.h>

#include <string>

#include "e2e/simulated_module.h"
#include "otp/otp_record.h"
#include "sim/geometry.h"

namespace zorvel::test {
namespace {

const std::string kTableHeader = std::string(54, ' ') + "Metric  Value  Threshold Result\n";

const std::string kCalibrationFigures =
    "\n ================ Reference Metrics from Calib ==================\n"
    "FLAT CHART: Residual Vertical Disparity = 0.603343\n"
    "FLAT CHART: Scale Error                 = 0.094837\n"
    "FLAT CHART: STD of Horiz Disparity      = 0.518987\n"
    "L    CHART: Residual Vertical Disparity = 0.612086\n"
    "L    CHART: Scale Error                 = 0.122604\n"
    "L    CHART: Distance Error in Percent   = 1.822966\n";
const std::string kFlatRows =
    "            Flat-chart: Residual vertical disparity [pixels]   0.60       1.00   PASS\n"
    "                   Flat-chart: STDEV of Horizontal Disparity   0.52       2.00   PASS\n"
    "                            Flat-chart: Scale difference [%]   0.09       1.00   PASS\n"
    "Flat-chart: Vertical Disparity [ FOV/Percentile =  80 / 95 ]   1.10       2.00   PASS\n"
    "Flat-chart:Horiz disparity Var [ FOV/Percentile =  80 / 95 ]   2.00       4.00   PASS\n";
const std::string kCalibrationTable =
    "Calibration verification results ...\n\n" + kTableHeader +
    "               L-chart: Residual vertical disparity [pixels]   0.61       1.00   PASS\n"
    "                                 L-chart: Distance error [%]   1.82       5.00   PASS\n"
    "                               L-chart: Scale difference [%]   0.12       1.00   PASS\n" +
    kFlatRows;
const std::string kAngles =
    "relative_pitch_degrees=0.390364\nrelative_yaw_degrees=-0.598756\n"
    "relative_roll_degrees=0.310481\n";
const std::string kVerificationTable =
    "Depth verification results ...\n\n" + kTableHeader +
    "            Flat-chart: Residual vertical disparity [pixels]   0.64       1.00   PASS\n"
    "                   Flat-chart: STDEV of Horizontal Disparity   0.68       2.00   PASS\n"
    "                            Flat-chart: Scale difference [%]   0.16       1.00   PASS\n"
    "Flat-chart: Vertical Disparity [ FOV/Percentile =  80 / 95 ]   1.00       2.00   PASS\n"
    "Flat-chart:Horiz disparity Var [ FOV/Percentile =  80 / 95 ]   2.00       4.00   PASS\n"
    "\n\n===========================\n";

TEST(GoodModule, CalibratesThenVerifiesWithTheRecordedFigures) {
  simulated_module m("good");
  ASSERT_EQ(m.error(), "");
  const run_output cal = m.run("calibration.cfg");
  EXPECT_EQ(cal.result, 1) << cal.text;
  EXPECT_TRUE(in_order(cal.text, {"\n Reading L and Flat", " ==== Debug Info ===== ",
                                  kCalibrationFigures, kCalibrationTable,
                                  "Writing calibration OTP data to " + m.file("calibration.otp") +
                                      " ...\n\n" + kAngles + "===========================\n"}))
      << cal.text;
  // The simulator's truth, independently of the recorded figures.
  const sim::angles_deg truth = sim::library_angles_from_rotation(sim::aux_rotation(m.scenario().module));
  EXPECT_NEAR(printed_value(cal.text, "relative_pitch_degrees"), truth.pitch, 0.1);
  EXPECT_NEAR(printed_value(cal.text, "relative_yaw_degrees"), truth.yaw, 0.1);
  EXPECT_NEAR(printed_value(cal.text, "relative_roll_degrees"), truth.roll, 0.1);
  EXPECT_FALSE(m.exists("calibration_interim.otp"));

  zorvel_otp_data record;
  int read_ok = 0;
  capture_stdout([&] { read_ok = read_otp_data(m.file("calibration.otp"), record); });
  ASSERT_EQ(read_ok, 1);
  EXPECT_EQ(record.main_scaled_width * 10000 + record.main_scaled_height, 1280 * 10000 + 960);
  EXPECT_EQ(record.flat_chart_distance_cm, 80);
  EXPECT_EQ(record.max_hd_variation_tenths, 10);
  for (int i = 18; i < 32; ++i) EXPECT_EQ(record.geo[i], 0.0f);

  const run_output ver = m.run("verification.cfg");
  EXPECT_EQ(ver.result, 1) << ver.text;
  EXPECT_TRUE(in_order(ver.text, {"Parsed calibration OTP data file " + m.file("calibration.otp") +
                                      " ...\n\n" + kAngles,
                                  "\n Unwarp AUX DONE\n Scale Error confined is = 0.198595\n",
                                  kVerificationTable}))
      << ver.text;
  EXPECT_TRUE(ver.text.ends_with(kVerificationTable));
  EXPECT_EQ(ver.text.find("Debug Info"), std::string::npos);
  EXPECT_FALSE(m.exists("orig-main-flat.bmp"));  // mode 0 writes no image
}

TEST(GoodModule, LOnlyThenFlatOnlyCompletesFromTheInterimRecord) {
  simulated_module m("good");
  ASSERT_EQ(m.error(), "");
  const run_output l_only = m.run("calibration_l_only.cfg");
  EXPECT_EQ(l_only.result, 1) << l_only.text;
  EXPECT_EQ(m.size_of("calibration_interim.otp"), kInterimFileSize);
  EXPECT_FALSE(m.exists("calibration.otp"));
  EXPECT_TRUE(in_order(
      l_only.text,
      {"\n Reading L ONLY", "L Chart Calibration result ...\n\n" + std::string(44, ' ') +
                                "Metric  Value  Threshold Result\n" + std::string(23, ' ') +
                                "L-chart: Distance error [%]   1.82       5.00   PASS\n",
       "Calibration TEMP output ...\n\nWriting calibration OTP data to " +
           m.file("calibration_interim.otp") + " ...\n\nrelative_pitch_degrees="}))
      << l_only.text;
  EXPECT_EQ(l_only.text.find("Reference Metrics"), std::string::npos);

  const run_output flat = m.run("calibration_flat_only.cfg");
  EXPECT_EQ(flat.result, 1) << flat.text;
  EXPECT_NE(flat.text.find("\n Reading Flat ONLY"), std::string::npos);
  // The L-chart distance error comes from the interim record; the flat rows
  // are those of the combined run.
  EXPECT_TRUE(in_order(flat.text, {"L-chart: Distance error [%]   1.82       5.00   PASS\n",
                                   kFlatRows}))
      << flat.text;
  EXPECT_EQ(m.size_of("calibration.otp"), kOtpFileSize);
  EXPECT_EQ(m.run("verification.cfg").result, 1);
}

TEST(GoodModule, AFailingRowLeavesNoOtpFileButPrintsTheAngles) {
  simulated_module m("good");
  ASSERT_EQ(m.error(), "");
  m.set("calibration.cfg", "residual_vertical_disparity_threshold_pixels", "0.05");
  const run_output cal = m.run("calibration.cfg");
  EXPECT_EQ(cal.result, 0);
  EXPECT_EQ(count_of(cal.text, "FAIL\n"), 2);  // both residual rows
  EXPECT_FALSE(m.exists("calibration.otp"));
  EXPECT_TRUE(cal.text.ends_with("Calibration output ...\n\n" + kAngles +
                                 "===========================\n"))
      << cal.text;

  // An L-only run writes its interim record whatever its row says.
  m.set("calibration_l_only.cfg", "l_chart_origin_distance_threshold_percent", "0.01");
  const run_output l_only = m.run("calibration_l_only.cfg");
  EXPECT_EQ(l_only.result, 0);
  EXPECT_EQ(count_of(l_only.text, "FAIL\n"), 1);
  EXPECT_EQ(m.size_of("calibration_interim.otp"), kInterimFileSize);
}

}  // namespace
}  // namespace zorvel::test
