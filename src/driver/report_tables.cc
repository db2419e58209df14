// Result tables and the reference-metrics block.
#include "driver/report_tables.h"

#include "driver/result_table.h"

namespace zorvel {
namespace {


constexpr const char* kCalibrationTitle = "Calibration verification results ...\n\n";
constexpr const char* kLChartTitle = "L Chart Calibration result ...\n\n";

constexpr const char* kLChartHeaderFormat = "%50s %6s %10s %6s\n";
constexpr const char* kLChartRowFormat = "%50s %6.2f %10.2f %6s\n";

constexpr const char* kLResidualVd = "L-chart: Residual vertical disparity [pixels]";
constexpr const char* kLDistanceError = "L-chart: Distance error [%]";
constexpr const char* kLScaleDifference = "L-chart: Scale difference [%]";

constexpr const char* kReferenceHeader =
    "\n ================ Reference Metrics from Calib ==================\n";
constexpr const char* kRefFlatResidualVd = "FLAT CHART: Residual Vertical Disparity = %f\n";
constexpr const char* kRefFlatScaleError = "FLAT CHART: Scale Error                 = %f\n";
constexpr const char* kRefFlatHdStdev = "FLAT CHART: STD of Horiz Disparity      = %f\n";
constexpr const char* kRefLResidualVd = "L    CHART: Residual Vertical Disparity = %f\n";
constexpr const char* kRefLScaleError = "L    CHART: Scale Error                 = %f\n";
constexpr const char* kRefLDistanceError = "L    CHART: Distance Error in Percent   = %f\n";
constexpr const char* kRefMaxVd = "Flat CHART: Max Vertical disparity      = %f\n";
constexpr const char* kRefMaxHdDelta = "Flat CHART: Max Horiz disparity Delta from mean = %f\n";
constexpr const char* kRefDistance = "Flat CHART: Calibration Distance = %d cm\n";
constexpr const char* kRefVdZoned = "\n \n Flat CHART: RMS Vertical Disparity Zoned";
constexpr const char* kRefHdZoned = "\n \n Flat CHART: RMS Horizontal Disparity Delta from mean - Zoned";
constexpr const char* kReferenceFooter =
    "\n =============================================================== \n";
constexpr const char* kSeparatorLine = "\n===========================\n";


}  // namespace


bool print_calibration_table(std::FILE* out, const zorvel_calibration_result& result,
                             const zorvel_calib_config& config,
                             std::vector<zorvel_run_row>* rows) {
  zorvel_result_table t{out, rows};
  std::fputs(kCalibrationTitle, out);
  t.header();
  t.row(kLResidualVd, result.l_residual_vd,
        config.residual_vertical_disparity_threshold_pixels);
  t.row(kLDistanceError, result.l_distance_error_percent,
        config.l_chart_origin_distance_threshold_percent);
  t.row(kLScaleDifference, result.l_scale_difference_percent,
        config.scale_difference_threshold_percent);
  t.row(kFlatResidualVdRow, result.flat_residual_vd,
        config.residual_vertical_disparity_threshold_pixels);
  t.row(kFlatHdStdevRow, result.flat.hd_stdev, config.flat_chart_standard_dev_threshold);
  t.row(kFlatScaleDifferenceRow, result.flat_scale_difference_percent,
        config.scale_difference_threshold_percent);
  t.percentile_row(kFlatVdPercentileRow, config.percentage_fov_for_metric_calculation,
                   config.percentile_for_variation_in_disparity, result.flat.vd_percentile_metric,
                   config.vertical_disparity_max_threshold);
  t.percentile_row(kFlatHdPercentileRow, config.percentage_fov_for_metric_calculation,
                   config.percentile_for_variation_in_disparity, result.flat.hd_percentile_metric,
                   config.horizontal_disparity_max_threshold);
  std::fputs("\n", out);
  return t.any_fail;
}

bool print_l_chart_table(std::FILE* out, const zorvel_calibration_result& result,
                         const zorvel_calib_config& config, std::vector<zorvel_run_row>* rows) {
  zorvel_result_table t{out, rows};
  std::fputs(kLChartTitle, out);
  std::fprintf(out, kLChartHeaderFormat, "Metric", "Value", "Threshold", "Result");
  const float value = result.l_distance_error_percent;
  const float threshold = config.l_chart_origin_distance_threshold_percent;
  const char* v = t.judge(kLDistanceError, value, threshold, true);
  std::fprintf(out, kLChartRowFormat, kLDistanceError, static_cast<double>(value),
               static_cast<double>(threshold), v);
  return t.any_fail;
}

void print_disparity_debug_info(std::FILE* out, const char* header, const char* footer,
                                float distance_mm, float mean_disparity,
                                float reference_disparity) {
  std::fputs(header, out);
  std::fprintf(out, "\n Computed Mean Disparity @ distance %fmm is %f",
               static_cast<double>(distance_mm), static_cast<double>(mean_disparity));
  std::fprintf(out, "\n Reference Disparity @ distance %fmm is %f",
               static_cast<double>(distance_mm), static_cast<double>(reference_disparity));
  std::fputs(footer, out);
}

void print_reference_metrics(std::FILE* out, const zorvel_otp_data& record) {
  std::fputs(kReferenceHeader, out);
  std::fprintf(out, kRefFlatResidualVd, static_cast<double>(record.flat_residual_vd));
  std::fprintf(out, kRefFlatScaleError, static_cast<double>(record.flat_scale_error));
  std::fprintf(out, kRefFlatHdStdev, static_cast<double>(record.flat_hd_stdev));
  std::fprintf(out, kRefLResidualVd, static_cast<double>(record.l_residual_vd));
  std::fprintf(out, kRefLScaleError, static_cast<double>(record.l_scale_error));
  std::fprintf(out, kRefLDistanceError, static_cast<double>(record.l_distance_error_percent));
  std::fprintf(out, kRefMaxVd, static_cast<double>(record.flat_max_vd_tenths) / 10.0);
  std::fprintf(out, kRefMaxHdDelta, static_cast<double>(record.flat_max_hd_delta_tenths) / 10.0);
  std::fprintf(out, kRefDistance, static_cast<int>(record.flat_chart_distance_cm));
  print_zone_map(out, kRefVdZoned, record.vd_rms_zoned_tenths);
  print_zone_map(out, kRefHdZoned, record.hd_rms_zoned_tenths);
  std::fputs("\n", out);
  std::fputs(kReferenceFooter, out);
  std::fputs(kSeparatorLine, out);
}

}  // namespace zorvel
