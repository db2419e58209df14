// The verification table as exact text and the verdicts of unmeasured rows.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "driver/verification_report.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

zorvel_verif_config thresholds() {
  zorvel_verif_config c;
  c.residual_vertical_disparity_threshold_pixels = 1.0f;
  c.flat_chart_standard_dev_threshold = 0.5f;
  c.scale_difference_threshold_percent = 2.0f;
  c.vertical_disparity_max_threshold = 2.5f;
  c.horizontal_disparity_max_threshold = 3.0f;
  c.percentage_fov_for_metric_calculation = 80;
  c.percentile_for_variation_in_disparity = 95;
  c.flat_chart_distance_mm = 500.0f;
  return c;
}

std::string table(const zorvel_calib_context& v, bool measured, bool scale_measured, bool& any_fail) {
  return capture_file(
      [&](std::FILE* f) { any_fail = print_verification_table(f, v, thresholds(), measured, scale_measured); });
}

TEST(VerificationTable, ExactTextAndFlags) {
  zorvel_calib_context v{};
  v.flat_chart_residual_vd = 1.0f;  // equal: passes
  v.flat_chart_hd_stdev = 0.51f;    // 0.01 above: fails
  v.flat_chart_scale_difference_percent = 0.25f;
  v.vd_percentile_metric = 25;   // 2.5: passes
  v.hd_percentile_metric = 255;  // 25.5: fails
  bool any_fail = false;
  EXPECT_EQ(table(v, true, true, any_fail),
            "Depth verification results ...\n\n"
            "                                                      Metric  Value  Threshold Result\n"
            "            Flat-chart: Residual vertical disparity [pixels]   1.00       1.00   PASS\n"
            "                   Flat-chart: STDEV of Horizontal Disparity   0.51       0.50   FAIL\n"
            "                            Flat-chart: Scale difference [%]   0.25       2.00   PASS\n"
            "Flat-chart: Vertical Disparity [ FOV/Percentile =  80 / 95 ]   2.50       2.50   PASS\n"
            "Flat-chart:Horiz disparity Var [ FOV/Percentile =  80 / 95 ]  25.50       3.00   FAIL\n"
            "\n");
  EXPECT_TRUE(any_fail);
}

TEST(VerificationTable, UnmeasuredRowsFail) {
  zorvel_calib_context v{};
  v.flat_chart_scale_difference_percent = -1.0f;
  bool any_fail = false;
  std::string text = table(v, true, false, any_fail);
  EXPECT_TRUE(any_fail);
  EXPECT_NE(text.find("Flat-chart: Scale difference [%]  -1.00       2.00   FAIL\n"), std::string::npos);
  EXPECT_EQ(text.find("FAIL"), text.rfind("FAIL"));  // the only failing row

  text = table(zorvel_calib_context{}, false, false, any_fail);  // the image-only modes
  int fails = 0;
  for (size_t at = text.find("FAIL"); at != std::string::npos; at = text.find("FAIL", at + 1)) ++fails;
  EXPECT_EQ(fails, 5);
}

}  // namespace
}  // namespace zorvel::test
