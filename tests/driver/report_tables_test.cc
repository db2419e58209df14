// What the e2e runs leave out of the printed results: the verdicts of values
// equal to their threshold, NaN or unmeasured, the any-FAIL flag, and the
// reference block after its first figures.
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>

#include "driver/report_tables.h"
#include "driver/verification_report.h"
#include "e2e/simulated_module.h"

namespace zorvel::test {
namespace {

constexpr float kNan = std::numeric_limits<float>::quiet_NaN();

TEST(ResultTables, EqualPassesNanAndUnmeasuredFail) {
  zorvel_calib_config config;
  config.l_chart_origin_distance_threshold_percent = 3.0f;
  zorvel_calibration_result c;
  c.l_distance_error_percent = kNan;
  bool any_fail = false;
  EXPECT_TRUE(capture_file([&](std::FILE* f) { any_fail = print_l_chart_table(f, c, config); })
                  .ends_with("L-chart: Distance error [%]    nan       3.00   FAIL\n"));
  EXPECT_TRUE(any_fail);

  zorvel_verif_config v;
  v.residual_vertical_disparity_threshold_pixels = 1.0f;
  v.vertical_disparity_max_threshold = 2.5f;
  zorvel_verification_result r;
  r.metrics_measured = true;
  r.residual_vd_px = 1.0f;
  r.disparity.hd_stdev = 0.01f;           // above the threshold 0
  r.scale_difference_percent = -1.0f;     // not measured
  r.disparity.vd_percentile_metric = 25;  // 2.5
  r.disparity.hd_percentile_metric = 1;
  const std::string text = capture_file([&](std::FILE* f) { any_fail = print_verification_table(f, r, v); });
  EXPECT_TRUE(any_fail);
  EXPECT_EQ(row_of(text, "Flat-chart: Scale"), "Flat-chart: Scale difference [%]  -1.00       0.00   FAIL");
  EXPECT_TRUE(row_of(text, "Flat-chart:Horiz").ends_with("=  0 / 0 ]   0.10       0.00   FAIL"));
  EXPECT_EQ(count_of(text, "PASS\n"), 2);
}

TEST(ReferenceMetrics, TenthsBytesZonesAndDistance) {
  zorvel_otp_data r;
  r.flat_max_vd_tenths = 255;
  r.flat_max_hd_delta_tenths = 7;
  r.flat_chart_distance_cm = 80;
  for (int i = 0; i < 9; ++i) {
    r.vd_rms_zoned_tenths[i] = static_cast<uint8_t>(i);
    r.hd_rms_zoned_tenths[i] = static_cast<int8_t>(i == 4 ? -12 : i);
  }
  EXPECT_TRUE(in_order(capture_file([&](std::FILE* f) { print_reference_metrics(f, r); }),
                       {"Max Vertical disparity      = 25.500000\n", "Delta from mean = 0.700000\n", "= 80 cm\n",
                        "Zoned\n  0.000000  0.100000  0.200000\n  0.300000  0.400000",
                        "Zoned\n  0.000000  0.100000  0.200000\n  0.300000  -1.200000  0.500000\n  0.600000"}));
}

}  // namespace
}  // namespace zorvel::test
