// Depth verification metrics. Key points are centred integer pixels of the
// working images; distances in mm; disparities in pixels.
#include "verify/rectified_pair_measures.h"

#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

#include "common/run_messages.h"
#include "detect/keypoints.h"
#include "numerics/matrix.h"
#include "stereo/disparity_metrics.h"
#include "stereo/scale_difference.h"
#include "verify/adjustment.h"

namespace zorvel {
namespace {

constexpr uint8_t kModeDebugInfo = 1;
constexpr int32_t kMinColumnPoints = 4;  // a column needs more than this many points

void print_reference_block(const zorvel_disparity_metrics& m) {
  std::printf("\n ================ Verification Debug Reference Metrics  ==================\n");
  std::printf("Flat CHART: Max Vertical disparity      = %f\n", static_cast<double>(m.vd_delta));
  std::printf("Flat CHART: Max Horiz disparity Delta from mean = %f\n",
              static_cast<double>(m.max_hd_delta));
  print_zone_map(stdout, "\n \n Flat CHART: RMS Vertical Disparity Zoned", m.vd_rms_zoned);
  print_zone_map(stdout, "\n \n Flat CHART: RMS Horizontal Disparity Delta from mean - Zoned",
              m.hd_rms_zoned);
  std::printf("\n");
  std::printf("\n =============================================================== \n");
}

double tenths(uint8_t byte) { return static_cast<double>(static_cast<float>(byte) / 10.0f); }

void print_percentiles(const zorvel_verification_result& r) {
  const zorvel_disparity_metrics& m = r.disparity;
  std::printf("\n Flat CHART: Vertical Disparity 80th Percentile = %f", tenths(m.vd_p80_tenths));
  std::printf("\n Flat CHART: Vertical Disparity 90th Percentile = %f", tenths(m.vd_p90_tenths));
  std::printf("\n Flat CHART: Vertical Disparity 95th Percentile = %f", tenths(m.vd_p95_tenths));
  std::printf("\n Flat CHART: Absolute Horiz Disparity Difference 80th Percentile = %f",
              tenths(m.hd_p80_tenths));
  std::printf("\n Flat CHART: Horiz Disparity Difference 90th Percentile = %f",
              tenths(m.hd_spread_tenths));
  std::printf("\n Flat CHART: Absolute Horiz Disparity Difference 95th Percentile = %f",
              tenths(m.hd_p95_tenths));
  std::printf("\n Flat Chart Mean Distance Percentage is %f",
              static_cast<double>(r.mean_distance_percent));
  std::printf("\n Max vertical disparity = %f", static_cast<double>(r.max_vd_px));
  std::printf("\n FOV at Max vertical disparity = %f",
              static_cast<double>(r.fov_at_max_vd_percent));
  std::printf("\n \n");
}

// Positions relative to each image's centre, as the stereo model has them.
void centre_points(zorvel_chart_pair& dewarped, zorvel_chart_pair& rectified, int32_t n) {
  zorvel_key_points& mp = dewarped.main_points;
  zorvel_key_points& ap = rectified.aux_points;
  for (int32_t i = 0; i < n; ++i) {
    ap.y[i] -= rectified.aux_height / 2;
    ap.x[i] -= rectified.aux_width / 2;
    mp.y[i] -= dewarped.main_height / 2;
    mp.x[i] -= dewarped.main_width / 2;
  }
}

// The aux points are already in the main frame: distance follows from the
// disparity alone. The first pair is the origin corner when both images
// found it; the reference disparity is what the configured distance predicts.
void measure_distance(const zorvel_verification_input& in, double main_focal_px,
                      const zorvel_key_points& mp, const zorvel_key_points& ap, int32_t n,
                      zorvel_verification_result& r) {
  const double baseline = static_cast<double>(in.baseline_mm);
  const double distance = static_cast<double>(in.flat_chart_distance_mm);
  const double focal_single = static_cast<double>(static_cast<float>(main_focal_px));
  const double z0 = std::fabs(focal_single * baseline /
                              (static_cast<double>(ap.x[0]) - static_cast<double>(mp.x[0])));
  r.distance_error_percent = static_cast<float>(std::fabs((1.0 - z0 / distance) * 100.0));
  r.residual_vd_px = static_cast<float>(rms_of_differences(mp.y.data(), ap.y.data(), n));
  r.reference_disparity_px = static_cast<float>(std::fabs(baseline * main_focal_px / distance));
}

// The verification's aux corners are already in the main frame.
void note_pair_disparities_of(zorvel_run_details& d, const zorvel_chart_pair& dewarped,
                              const zorvel_key_points& ap, int32_t n) {
  std::vector<double> rows(static_cast<size_t>(n)), cols(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    rows[i] = static_cast<double>(ap.y[i]);
    cols[i] = static_cast<double>(ap.x[i]);
  }
  note_pair_disparities(d, dewarped.main_points, rows.data(), cols.data(), n,
                        dewarped.main_width, dewarped.main_height);
}

zorvel_disparity_metrics measure_disparities(const zorvel_verification_input& in,
                                             const zorvel_chart_pair& dewarped,
                                             const zorvel_chart_pair& rectified, int32_t n) {
  const zorvel_key_points& ap = rectified.aux_points;
  std::vector<double> rows(static_cast<size_t>(n)), cols(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    rows[i] = static_cast<double>(ap.y[i]);
    cols[i] = static_cast<double>(ap.x[i]);
  }
  return disparity_metrics(dewarped, rectified, rows.data(), cols.data(), n, in.metric_settings);
}

// The largest row difference and how far out it lies: its main point's
// radius over the half diagonal of the main image. The first of equal
// differences wins.
void measure_max_vd(const zorvel_chart_pair& dewarped, const zorvel_key_points& ap, int32_t n,
                    zorvel_verification_result& r) {
  const zorvel_key_points& mp = dewarped.main_points;
  std::vector<double> dv(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    dv[i] = std::fabs(static_cast<double>(mp.y[i]) - static_cast<double>(ap.y[i]));
  }
  const float half_w = static_cast<float>(dewarped.main_width) * 0.5f;
  const float half_h = static_cast<float>(dewarped.main_height) * 0.5f;
  const double half_diagonal = std::sqrt(static_cast<double>(half_w * half_w + half_h * half_h));
  const int32_t k = index_of_max(dv.data(), n);
  r.max_vd_px = static_cast<float>(dv[k]);
  const float my = static_cast<float>(mp.y[k]);
  const float mx = static_cast<float>(mp.x[k]);
  r.fov_at_max_vd_percent =
      static_cast<float>(std::sqrt(static_cast<double>(my * my + mx * mx)) / half_diagonal * 100.0);
}

}  // namespace

zorvel_verification_result measure_rectified_pairs(const zorvel_verification_input& input,
                                                   zorvel_chart_pair dewarped,
                                                   zorvel_chart_pair rectified,
                                                   double main_focal_px, int32_t n_main,
                                                   int32_t n_aux, zorvel_run_details* details) {
  zorvel_verification_result r;
  if (details) r.details = std::move(*details);
  zorvel_key_points& mp = dewarped.main_points;
  zorvel_key_points& ap = rectified.aux_points;
  const int32_t n = match_keypoints_by_label(mp, ap, n_main, n_aux);
  note_paired(r.details, "main flat", n);
  note_paired(r.details, "aux flat", n);
  if (n < 1) {
    report_failure("Error: no matching key points between main and rectified aux images\n");
    return r;
  }
  centre_points(dewarped, rectified, n);
  if (input.run_mode == kModeDebugInfo) write_rectified_keypoints_debug(dewarped, rectified, n);

  measure_distance(input, main_focal_px, mp, ap, n, r);
  r.disparity = measure_disparities(input, dewarped, rectified, n);
  note_pair_disparities_of(r.details, dewarped, ap, n);
  print_reference_block(r.disparity);
  const double baseline = static_cast<double>(input.baseline_mm);
  const double distance = static_cast<double>(input.flat_chart_distance_mm);
  r.mean_distance_percent = static_cast<float>(std::fabs(
      (1.0 - std::fabs(baseline * main_focal_px / static_cast<double>(r.disparity.mean_disparity)) /
                 distance) *
      100.0));
  measure_max_vd(dewarped, ap, n, r);
  if (input.run_mode == kModeDebugInfo) print_percentiles(r);
  r.metrics_measured = true;

  const zorvel_scale_difference scale =
      scale_difference(mp, ap, n, kMinColumnPoints, zorvel_percent_order::of_mean);
  if (scale.aux_columns > 0) {
    r.scale_measured = true;
    r.scale_difference_percent = static_cast<float>(scale.percent);
  } else {
    std::printf("Warning: could not compute scale difference percent (setting to -1.0)\n");
    r.scale_difference_percent = -1.0f;
  }
  r.ok = true;
  return r;
}

}  // namespace zorvel
