// Modules other than the good one: portrait mounting, lens distortion and
// mono sensors calibrate and verify; an aux camera that moved after
// calibration fails the verification.
#include <gtest/gtest.h>

#include <string>

#include "e2e/simulated_module.h"
#include "otp/otp_record.h"

namespace zorvel::test {
namespace {

// Calibrates and verifies m; returns the verification's output.
run_output expect_calibrates_and_verifies(simulated_module& m) {
  const run_output cal = m.run("calibration.cfg");
  EXPECT_EQ(cal.result, 1) << cal.text;
  EXPECT_EQ(count_of(cal.text, "PASS\n"), 8);
  EXPECT_EQ(m.size_of("calibration.otp"), kOtpFileSize);
  const run_output ver = m.run("verification.cfg");
  EXPECT_EQ(ver.result, 1) << ver.text;
  EXPECT_EQ(count_of(ver.text, "PASS\n"), 5);
  return ver;
}

TEST(Presets, PortraitModuleCalibratesAndVerifies) {
  simulated_module m("portrait");
  ASSERT_EQ(m.error(), "");
  const run_output ver = expect_calibrates_and_verifies(m);
  EXPECT_NE(ver.text.find("SWAP DIMENSIONS\n"), std::string::npos);
}

TEST(Presets, MonoModuleCalibratesAndVerifies) {
  simulated_module m("mono");
  ASSERT_EQ(m.error(), "");
  expect_calibrates_and_verifies(m);
}

TEST(Presets, DistortedModuleCalibratesAndVerifiesOnBothDewarpPaths) {
  simulated_module m("distorted");
  ASSERT_EQ(m.error(), "");
  // The simulator's configuration carries main warp coefficients that undo
  // the main dewarp, which the normal path needs.
  expect_calibrates_and_verifies(m);
  const run_output both_dewarped = m.run("verification.cfg", 4);
  EXPECT_EQ(both_dewarped.result, 1) << both_dewarped.text;
}

TEST(Presets, TiltedAuxFailsVerificationOnVerticalDisparity) {
  simulated_module m("tilted-aux");
  ASSERT_EQ(m.error(), "");
  ASSERT_EQ(m.run("calibration.cfg").result, 1);
  const run_output ver = m.run("verification.cfg");
  EXPECT_EQ(ver.result, 0);
  EXPECT_EQ(row_of(ver.text, "Flat-chart: Residual vertical disparity [pixels]").substr(69), "FAIL");
  EXPECT_NE(ver.text.find("Depth verification results"), std::string::npos);
}

}  // namespace
}  // namespace zorvel::test
