// The verification's printed results.
#include "driver/verification_report.h"

#include "driver/report_tables.h"

namespace zorvel {
namespace {

constexpr const char* kTitle = "Depth verification results ...\n\n";
constexpr const char* kHeaderFormat = "%60s %6s %10s %6s\n";
constexpr const char* kRowFormat = "%60s %6.2f %10.2f %6s\n";
constexpr const char* kPercentileRowFormat = "%15s %d %s %d %s %6.2f %10.2f %6s\n";

constexpr const char* kResidualVd = "Flat-chart: Residual vertical disparity [pixels]";
constexpr const char* kHdStdev = "Flat-chart: STDEV of Horizontal Disparity";
constexpr const char* kScaleDifference = "Flat-chart: Scale difference [%]";
constexpr const char* kVdPercentile = "Flat-chart: Vertical Disparity [ FOV/Percentile = ";
constexpr const char* kHdPercentile = "Flat-chart:Horiz disparity Var [ FOV/Percentile = ";

// Collects the verdicts of the table.
struct table_printer {
  std::FILE* out;
  const zorvel_verif_config& config;
  bool any_fail = false;

  const char* verdict(float value, float threshold, bool measured) {
    const bool pass = row_passes(value, threshold, measured);
    if (!pass) any_fail = true;
    return pass ? "PASS" : "FAIL";
  }
  void row(const char* name, float value, float threshold, bool measured) {
    const char* v = verdict(value, threshold, measured);
    std::fprintf(out, kRowFormat, name, static_cast<double>(value),
                 static_cast<double>(threshold), v);
  }
  // value_tenths is a metric byte in tenths of a pixel.
  void percentile_row(const char* name, uint8_t value_tenths, float threshold, bool measured) {
    const float value = static_cast<float>(value_tenths) / 10.0f;
    const char* v = verdict(value, threshold, measured);
    std::fprintf(out, kPercentileRowFormat, name,
                 static_cast<int>(config.percentage_fov_for_metric_calculation), "/",
                 static_cast<int>(config.percentile_for_variation_in_disparity), "]",
                 static_cast<double>(value), static_cast<double>(threshold), v);
  }
};

}  // namespace

void print_verification_debug_info(std::FILE* out, const zorvel_verif_config& config,
                                   const zorvel_verification_result& result) {
  const double distance = static_cast<double>(config.flat_chart_distance_mm);
  std::fprintf(out, "\n ==== Debug Info =====\n");
  std::fprintf(out, "\n Computed Mean Disparity @ distance %fmm is %f", distance,
               static_cast<double>(result.disparity.mean_disparity));
  std::fprintf(out, "\n Reference Disparity @ distance %fmm is %f", distance,
               static_cast<double>(result.reference_disparity_px));
  std::fprintf(out, "\n =====\n");
}

void print_rectified_frames_notice(std::FILE* out) {
  std::fputs("<=Rectified Frames Available=>\n", out);
  std::fputs("<=orig-aux-flat.bmp= Original Aux Image>\n", out);
  std::fputs("<=rectified-aux-flat.bmp= Rectified Aux Image>\n", out);
  std::fputs("<=orig-main-flat.bmp= Original Main Image>\n", out);
}

bool print_verification_table(std::FILE* out, const zorvel_verification_result& result,
                              const zorvel_verif_config& config) {
  table_printer t{out, config};
  const bool m = result.metrics_measured;
  std::fputs(kTitle, out);
  std::fprintf(out, kHeaderFormat, "Metric", "Value", "Threshold", "Result");
  t.row(kResidualVd, result.residual_vd_px, config.residual_vertical_disparity_threshold_pixels, m);
  t.row(kHdStdev, result.disparity.hd_stdev, config.flat_chart_standard_dev_threshold, m);
  t.row(kScaleDifference, result.scale_difference_percent,
        config.scale_difference_threshold_percent, m && result.scale_measured);
  t.percentile_row(kVdPercentile, result.disparity.vd_percentile_metric,
                   config.vertical_disparity_max_threshold, m);
  t.percentile_row(kHdPercentile, result.disparity.hd_percentile_metric,
                   config.horizontal_disparity_max_threshold, m);
  std::fputs("\n", out);
  return t.any_fail;
}

}  // namespace zorvel
