// The verification's printed results.
#include "driver/verification_report.h"

#include "driver/report_tables.h"
#include "driver/result_table.h"

namespace zorvel {
namespace {

constexpr const char* kTitle = "Depth verification results ...\n\n";

}  // namespace

void print_verification_debug_info(std::FILE* out, const zorvel_verif_config& config,
                                   const zorvel_verification_result& result) {
  print_disparity_debug_info(out, "\n ==== Debug Info =====\n", "\n =====\n",
                             config.flat_chart_distance_mm, result.disparity.mean_disparity,
                             result.reference_disparity_px);
}

void print_rectified_frames_notice(std::FILE* out) {
  std::fputs("<=Rectified Frames Available=>\n", out);
  std::fputs("<=orig-aux-flat.bmp= Original Aux Image>\n", out);
  std::fputs("<=rectified-aux-flat.bmp= Rectified Aux Image>\n", out);
  std::fputs("<=orig-main-flat.bmp= Original Main Image>\n", out);
}

bool print_verification_table(std::FILE* out, const zorvel_verification_result& result,
                              const zorvel_verif_config& config,
                              std::vector<zorvel_run_row>* rows) {
  zorvel_result_table t{out, rows};
  const bool m = result.metrics_measured;
  const int fov = config.percentage_fov_for_metric_calculation;
  const int percentile = config.percentile_for_variation_in_disparity;
  std::fputs(kTitle, out);
  t.header();
  t.row(kFlatResidualVdRow, result.residual_vd_px,
        config.residual_vertical_disparity_threshold_pixels, m);
  t.row(kFlatHdStdevRow, result.disparity.hd_stdev, config.flat_chart_standard_dev_threshold, m);
  t.row(kFlatScaleDifferenceRow, result.scale_difference_percent,
        config.scale_difference_threshold_percent, m && result.scale_measured);
  t.percentile_row(kFlatVdPercentileRow, fov, percentile, result.disparity.vd_percentile_metric,
                   config.vertical_disparity_max_threshold, m);
  t.percentile_row(kFlatHdPercentileRow, fov, percentile, result.disparity.hd_percentile_metric,
                   config.horizontal_disparity_max_threshold, m);
  std::fputs("\n", out);
  return t.any_fail;
}

}  // namespace zorvel
