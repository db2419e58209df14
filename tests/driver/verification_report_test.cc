// The verification table as exact text, the verdicts of unmeasured rows, and
// the mode-1 debug block.
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

std::string table(const zorvel_verification_result& r, bool& any_fail) {
  return capture_file([&](std::FILE* f) { any_fail = print_verification_table(f, r, thresholds()); });
}

TEST(VerificationTable, ExactTextAndFlags) {
  zorvel_verification_result r;
  r.metrics_measured = r.scale_measured = true;
  r.residual_vd_px = 1.0f;           // equal: passes
  r.disparity.hd_stdev = 0.51f;      // 0.01 above: fails
  r.scale_difference_percent = 0.25f;
  r.disparity.vd_percentile_metric = 25;   // 2.5: passes
  r.disparity.hd_percentile_metric = 255;  // 25.5: fails
  bool any_fail = false;
  EXPECT_EQ(table(r, any_fail),
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
  zorvel_verification_result r;
  r.metrics_measured = true;
  r.scale_difference_percent = -1.0f;
  bool any_fail = false;
  std::string text = table(r, any_fail);
  EXPECT_TRUE(any_fail);
  EXPECT_NE(text.find("Flat-chart: Scale difference [%]  -1.00       2.00   FAIL\n"), std::string::npos);
  EXPECT_EQ(text.find("FAIL"), text.rfind("FAIL"));  // the only failing row

  text = table(zorvel_verification_result{}, any_fail);  // the image-only modes
  int fails = 0;
  for (size_t at = text.find("FAIL"); at != std::string::npos; at = text.find("FAIL", at + 1)) ++fails;
  EXPECT_EQ(fails, 5);
}

TEST(VerificationDebugInfo, MeanAndReferenceDisparityAtTheDistance) {
  zorvel_verification_result r;
  r.disparity.mean_disparity = 20.5f;
  r.reference_disparity_px = 20.0f;
  EXPECT_EQ(capture_file([&](std::FILE* f) { print_verification_debug_info(f, thresholds(), r); }),
            "\n ==== Debug Info =====\n"
            "\n Computed Mean Disparity @ distance 500.000000mm is 20.500000"
            "\n Reference Disparity @ distance 500.000000mm is 20.000000"
            "\n =====\n");
}

}  // namespace
}  // namespace zorvel::test
