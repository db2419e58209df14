// Result tables and the reference-metrics block.
#include "driver/report_tables.h"

namespace zorvel {
namespace {

constexpr const char* kPass = "PASS";
constexpr const char* kFail = "FAIL";

constexpr const char* kCalibrationTitle = "Calibration verification results ...\n\n";
constexpr const char* kLChartTitle = "L Chart Calibration result ...\n\n";

constexpr const char* kHeaderFormat = "%60s %6s %10s %6s\n";
constexpr const char* kRowFormat = "%60s %6.2f %10.2f %6s\n";
constexpr const char* kPercentileRowFormat = "%15s %d %s %d %s %6.2f %10.2f %6s\n";
constexpr const char* kLChartHeaderFormat = "%50s %6s %10s %6s\n";
constexpr const char* kLChartRowFormat = "%50s %6.2f %10.2f %6s\n";

constexpr const char* kLResidualVd = "L-chart: Residual vertical disparity [pixels]";
constexpr const char* kLDistanceError = "L-chart: Distance error [%]";
constexpr const char* kLScaleDifference = "L-chart: Scale difference [%]";
constexpr const char* kFlatResidualVd = "Flat-chart: Residual vertical disparity [pixels]";
constexpr const char* kFlatHdStdev = "Flat-chart: STDEV of Horizontal Disparity";
constexpr const char* kFlatScaleDifference = "Flat-chart: Scale difference [%]";
constexpr const char* kFlatVdPercentile = "Flat-chart: Vertical Disparity [ FOV/Percentile = ";
constexpr const char* kFlatHdPercentile = "Flat-chart:Horiz disparity Var [ FOV/Percentile = ";

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
constexpr const char* kZoneValue = "  %f";
constexpr const char* kReferenceFooter =
    "\n =============================================================== \n";
constexpr const char* kSeparatorLine = "\n===========================\n";

// Collects the verdicts of one table.
struct table_printer {
  std::FILE* out;
  bool any_fail = false;

  const char* verdict(float value, float threshold, bool measured) {
    const bool pass = row_passes(value, threshold, measured);
    if (!pass) any_fail = true;
    return pass ? kPass : kFail;
  }
  void header() { std::fprintf(out, kHeaderFormat, "Metric", "Value", "Threshold", "Result"); }
  void row(const char* name, float value, float threshold, bool measured = true) {
    const char* v = verdict(value, threshold, measured);
    std::fprintf(out, kRowFormat, name, static_cast<double>(value),
                 static_cast<double>(threshold), v);
  }
  // value_tenths is a metric byte in tenths of a pixel.
  void percentile_row(const char* name, int fov_percent, int percentile, uint8_t value_tenths,
                      float threshold, bool measured = true) {
    const float value = static_cast<float>(value_tenths) / 10.0f;
    const char* v = verdict(value, threshold, measured);
    std::fprintf(out, kPercentileRowFormat, name, fov_percent, "/", percentile, "]",
                 static_cast<double>(value), static_cast<double>(threshold), v);
  }
};

template <typename Byte>
void print_zones(std::FILE* out, const char* title, const Byte zones[9]) {
  std::fputs(title, out);
  for (int i = 0; i < 9; ++i) {
    if (i % 3 == 0) std::fputs("\n", out);
    std::fprintf(out, kZoneValue, static_cast<double>(zones[i]) / 10.0);
  }
}

}  // namespace

bool row_passes(float value, float threshold, bool measured) {
  // NaN fails both comparisons, so it can never pass.
  return measured && value <= threshold;
}

bool print_calibration_table(std::FILE* out, const zorvel_calibration_result& result,
                             const zorvel_calib_config& config) {
  table_printer t{out};
  std::fputs(kCalibrationTitle, out);
  t.header();
  t.row(kLResidualVd, result.l_residual_vd,
        config.residual_vertical_disparity_threshold_pixels);
  t.row(kLDistanceError, result.l_distance_error_percent,
        config.l_chart_origin_distance_threshold_percent);
  t.row(kLScaleDifference, result.l_scale_difference_percent,
        config.scale_difference_threshold_percent);
  t.row(kFlatResidualVd, result.flat_residual_vd,
        config.residual_vertical_disparity_threshold_pixels);
  t.row(kFlatHdStdev, result.flat.hd_stdev, config.flat_chart_standard_dev_threshold);
  t.row(kFlatScaleDifference, result.flat_scale_difference_percent,
        config.scale_difference_threshold_percent);
  t.percentile_row(kFlatVdPercentile, config.percentage_fov_for_metric_calculation,
                   config.percentile_for_variation_in_disparity, result.flat.vd_percentile_metric,
                   config.vertical_disparity_max_threshold);
  t.percentile_row(kFlatHdPercentile, config.percentage_fov_for_metric_calculation,
                   config.percentile_for_variation_in_disparity, result.flat.hd_percentile_metric,
                   config.horizontal_disparity_max_threshold);
  std::fputs("\n", out);
  return t.any_fail;
}

bool print_l_chart_table(std::FILE* out, const zorvel_calibration_result& result,
                         const zorvel_calib_config& config) {
  table_printer t{out};
  std::fputs(kLChartTitle, out);
  std::fprintf(out, kLChartHeaderFormat, "Metric", "Value", "Threshold", "Result");
  const float value = result.l_distance_error_percent;
  const float threshold = config.l_chart_origin_distance_threshold_percent;
  const char* v = t.verdict(value, threshold, true);
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
  print_zones(out, kRefVdZoned, record.vd_rms_zoned_tenths);
  print_zones(out, kRefHdZoned, record.hd_rms_zoned_tenths);
  std::fputs("\n", out);
  std::fputs(kReferenceFooter, out);
  std::fputs(kSeparatorLine, out);
}

}  // namespace zorvel
