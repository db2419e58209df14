// The result tables and the reference block as exact text: widths, number
// formats, the verdict rule and the any-FAIL flag.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "driver/report_tables.h"
#include "driver/result_table.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

TEST(Verdict, PassOnlyWhenMeasuredAndNotAboveThreshold) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_TRUE(row_passes(1.0f, 1.0f));
  EXPECT_FALSE(row_passes(1.01f, 1.0f));
  EXPECT_TRUE(row_passes(-1.0f, 0.0f));
  EXPECT_FALSE(row_passes(nan, 1.0f));
  EXPECT_FALSE(row_passes(0.0f, nan));
  EXPECT_FALSE(row_passes(std::numeric_limits<float>::infinity(), 1e30f));
  EXPECT_FALSE(row_passes(0.0f, 1.0f, false));
}

TEST(CalibrationTable, EightRowsInOrderAllPassing) {
  zorvel_calibration_result c;
  c.l_residual_vd = 0.5f;
  c.l_distance_error_percent = 2.25f;
  c.l_scale_difference_percent = 0.125f;
  c.flat_residual_vd = 0.75f;
  c.flat.hd_stdev = 0.3f;
  c.flat_scale_difference_percent = 0.0f;
  c.flat.vd_percentile_metric = 12;
  c.flat.hd_percentile_metric = 0;
  zorvel_calib_config config;
  config.residual_vertical_disparity_threshold_pixels = 1.0f;
  config.l_chart_origin_distance_threshold_percent = 5.0f;
  config.scale_difference_threshold_percent = 1.0f;
  config.flat_chart_standard_dev_threshold = 0.5f;
  config.vertical_disparity_max_threshold = 2.0f;
  config.horizontal_disparity_max_threshold = 3.0f;
  config.percentage_fov_for_metric_calculation = 100;
  config.percentile_for_variation_in_disparity = 0;
  bool any_fail = true;
  const std::string text = capture_file([&](std::FILE* f) { any_fail = print_calibration_table(f, c, config); });
  EXPECT_FALSE(any_fail);
  EXPECT_EQ(text,
            "Calibration verification results ...\n\n"
            "                                                      Metric  Value  Threshold Result\n"
            "               L-chart: Residual vertical disparity [pixels]   0.50       1.00   PASS\n"
            "                                 L-chart: Distance error [%]   2.25       5.00   PASS\n"
            "                               L-chart: Scale difference [%]   0.12       1.00   PASS\n"
            "            Flat-chart: Residual vertical disparity [pixels]   0.75       1.00   PASS\n"
            "                   Flat-chart: STDEV of Horizontal Disparity   0.30       0.50   PASS\n"
            "                            Flat-chart: Scale difference [%]   0.00       1.00   PASS\n"
            "Flat-chart: Vertical Disparity [ FOV/Percentile =  100 / 0 ]   1.20       2.00   PASS\n"
            "Flat-chart:Horiz disparity Var [ FOV/Percentile =  100 / 0 ]   0.00       3.00   PASS\n"
            "\n");
}

TEST(LChartTable, OneRowFiftyColumnsNothingAfter) {
  zorvel_calibration_result c;
  c.l_distance_error_percent = std::numeric_limits<float>::quiet_NaN();
  zorvel_calib_config config;
  config.l_chart_origin_distance_threshold_percent = 3.0f;
  bool any_fail = false;
  const std::string text = capture_file([&](std::FILE* f) { any_fail = print_l_chart_table(f, c, config); });
  EXPECT_TRUE(any_fail);
  EXPECT_EQ(text,
            "L Chart Calibration result ...\n\n"
            "                                            Metric  Value  Threshold Result\n"
            "                       L-chart: Distance error [%]    nan       3.00   FAIL\n");
}

TEST(ReferenceMetrics, TenthsBytesZonesAndDistance) {
  zorvel_otp_data r;
  r.flat_residual_vd = 0.5f;
  r.flat_scale_error = 0.25f;
  r.flat_hd_stdev = 1.5f;
  r.l_residual_vd = 0.75f;
  r.l_scale_error = 0.125f;
  r.l_distance_error_percent = 2.0f;
  r.flat_max_vd_tenths = 255;
  r.flat_max_hd_delta_tenths = 7;
  r.flat_chart_distance_cm = 80;
  for (int i = 0; i < 9; ++i) {
    r.vd_rms_zoned_tenths[i] = static_cast<uint8_t>(i);
    r.hd_rms_zoned_tenths[i] = static_cast<int8_t>(i == 4 ? -12 : i);
  }
  const std::string text = capture_file([&](std::FILE* f) { print_reference_metrics(f, r); });
  EXPECT_EQ(text,
            "\n ================ Reference Metrics from Calib ==================\n"
            "FLAT CHART: Residual Vertical Disparity = 0.500000\n"
            "FLAT CHART: Scale Error                 = 0.250000\n"
            "FLAT CHART: STD of Horiz Disparity      = 1.500000\n"
            "L    CHART: Residual Vertical Disparity = 0.750000\n"
            "L    CHART: Scale Error                 = 0.125000\n"
            "L    CHART: Distance Error in Percent   = 2.000000\n"
            "Flat CHART: Max Vertical disparity      = 25.500000\n"
            "Flat CHART: Max Horiz disparity Delta from mean = 0.700000\n"
            "Flat CHART: Calibration Distance = 80 cm\n"
            "\n \n Flat CHART: RMS Vertical Disparity Zoned"
            "\n  0.000000  0.100000  0.200000"
            "\n  0.300000  0.400000  0.500000"
            "\n  0.600000  0.700000  0.800000"
            "\n \n Flat CHART: RMS Horizontal Disparity Delta from mean - Zoned"
            "\n  0.000000  0.100000  0.200000"
            "\n  0.300000  -1.200000  0.500000"
            "\n  0.600000  0.700000  0.800000"
            "\n"
            "\n =============================================================== \n"
            "\n===========================\n");
}

}  // namespace
}  // namespace zorvel::test
