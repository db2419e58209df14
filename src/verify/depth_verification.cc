// Depth verification metrics. Key points are centred integer pixels of the
// working images; distances in mm; disparities in pixels.
#include "verify/depth_verification.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "verify/adjustment.h"
#include "stereo/disparity_metrics.h"
#include "stereo/scale_difference.h"
#include "detect/keypoints.h"
#include "numerics/matrix.h"
#include "verify/unwarp.h"

namespace zorvel {
namespace {

constexpr int32_t kMinColumnPoints = 4;  // a column needs more than this many points

// Releases the three working pairs on every path out of the verification.
struct pairs_release {
  zorvel_chart_pair& p1;
  zorvel_chart_pair& p2;
  zorvel_chart_pair& p3;
  ~pairs_release() {
    release_chart_pair(p1);
    release_chart_pair(p2);
    release_chart_pair(p3);
  }
};

template <typename Byte>
void print_zones(const char* title, const Byte zones[9]) {
  std::printf("%s", title);
  for (int i = 0; i < 9; ++i) {
    if (i % 3 == 0) std::printf("\n");
    std::printf("  %f", static_cast<double>(zones[i]) / 10.0);
  }
}

void print_reference_block(const zorvel_calib_context& v) {
  std::printf("\n ================ Verification Debug Reference Metrics  ==================\n");
  std::printf("Flat CHART: Max Vertical disparity      = %f\n",
              static_cast<double>(v.flat_chart_vd_delta));
  std::printf("Flat CHART: Max Horiz disparity Delta from mean = %f\n",
              static_cast<double>(v.flat_chart_max_hd_delta));
  print_zones("\n \n Flat CHART: RMS Vertical Disparity Zoned", v.vd_rms_zoned);
  print_zones("\n \n Flat CHART: RMS Horizontal Disparity Delta from mean - Zoned",
              v.hd_rms_zoned);
  std::printf("\n");
  std::printf("\n =============================================================== \n");
}

double tenths(uint8_t byte) { return static_cast<double>(static_cast<float>(byte) / 10.0f); }

void print_percentiles(const zorvel_calib_context& v) {
  std::printf("\n Flat CHART: Vertical Disparity 80th Percentile = %f", tenths(v.vd_p80_tenths));
  std::printf("\n Flat CHART: Vertical Disparity 90th Percentile = %f", tenths(v.vd_p90_tenths));
  std::printf("\n Flat CHART: Vertical Disparity 95th Percentile = %f", tenths(v.vd_p95_tenths));
  std::printf("\n Flat CHART: Absolute Horiz Disparity Difference 80th Percentile = %f",
              tenths(v.hd_p80_tenths));
  std::printf("\n Flat CHART: Horiz Disparity Difference 90th Percentile = %f",
              tenths(v.hd_spread_tenths));
  std::printf("\n Flat CHART: Absolute Horiz Disparity Difference 95th Percentile = %f",
              tenths(v.hd_p95_tenths));
  std::printf("\n Flat Chart Mean Distance Percentage is %f",
              static_cast<double>(v.mean_distance_percent));
  std::printf("\n Max vertical disparity = %f", static_cast<double>(v.flat_chart_max_vd));
  std::printf("\n FOV at Max vertical disparity = %f",
              static_cast<double>(v.fov_at_max_vd_percent));
  std::printf("\n \n");
}

// Mean relative difference of the grid column lengths, percent; false when
// no aux column qualifies. The j-th aux column is compared with the j-th main
// column; a missing main column counts as length 0 (an infinite difference).
bool column_scale_difference(const zorvel_key_points& main_points,
                             const zorvel_key_points& aux_points, int32_t n, float& percent) {
  std::vector<double> main_lengths, aux_lengths;
  grid_column_lengths(main_points, n, main_lengths, kMinColumnPoints);
  const int32_t m2 = grid_column_lengths(aux_points, n, aux_lengths, kMinColumnPoints);
  if (m2 < 1) return false;
  double sum = 0.0;
  for (int32_t i = 0; i < m2; ++i) {
    const double main_length = static_cast<size_t>(i) < main_lengths.size() ? main_lengths[i] : 0.0;
    sum += std::fabs(1.0 - aux_lengths[i] / main_length);
  }
  percent = static_cast<float>(sum / static_cast<double>(m2) * 100.0);
  return true;
}

// Step 3: key points of the main capture and of the rectified aux image.
int32_t detect_both(const zorvel_calib_context& pc_cfg, zorvel_chart_pair& p1,
                    zorvel_chart_pair& p2, int32_t& n_main, int32_t& n_aux) {
  n_main = detect_flat_chart_keypoints(p1.main_r.data(), p1.main_g.data(), p1.main_b.data(),
                                       p1.main_height, p1.main_width, p1.main_points,
                                       pc_cfg.main_sensor_mono_flag);
  if (n_main < 1) {
    std::printf("Main Flat chart image key point detection failed\n");
    return -1;
  }
  n_aux = detect_flat_chart_keypoints(p2.aux_r.data(), p2.aux_g.data(), p2.aux_b.data(),
                                      p2.aux_height, p2.aux_width, p2.aux_points,
                                      pc_cfg.aux_sensor_mono_flag);
  if (n_aux < 1) {
    std::printf("Aux Flat chart image key point detection failed\n");
    return -1;
  }
  return 0;
}

}  // namespace

int32_t measure_rectified_pairs(const zorvel_calib_context& pc_cfg, zorvel_chart_pair& p1,
                                zorvel_chart_pair& p2, zorvel_calib_context& v, double fr,
                                int32_t n_main, int32_t n_aux,
                                zorvel_verification_measures& measured) {
  // 4. Pairs by chart label.
  const int32_t n = match_keypoints_by_label(p1.main_points, p2.aux_points, n_main, n_aux);
  if (n < 1) {
    std::printf("Error: no matching key points between main and rectified aux images\n");
    return -1;
  }

  // 5. Centre-relative coordinates.
  zorvel_key_points& mp = p1.main_points;
  zorvel_key_points& ap = p2.aux_points;
  for (int32_t i = 0; i < n; ++i) {
    ap.y[i] -= p2.aux_height / 2;
    ap.x[i] -= p1.aux_width / 2;
    mp.y[i] -= p1.main_height / 2;
    mp.x[i] -= p1.main_width / 2;
  }
  if (v.run_mode == 1) write_rectified_keypoints_debug(p1, p2, n);

  // 7.-9. Distance from the first pair, residual VD, reference disparity.
  const double baseline = static_cast<double>(pc_cfg.cam_baseline_mm);
  const double distance = static_cast<double>(v.flat_chart_distance_mm);
  const double fr_single = static_cast<double>(static_cast<float>(fr));
  const double z0 = std::fabs(fr_single * baseline /
                              (static_cast<double>(ap.x[0]) - static_cast<double>(mp.x[0])));
  v.flat_chart_distance_error_percent = static_cast<float>(std::fabs((1.0 - z0 / distance) * 100.0));
  v.flat_chart_residual_vd = static_cast<float>(rms_of_differences(mp.y.data(), ap.y.data(), n));
  v.reference_disparity = static_cast<float>(std::fabs(baseline * fr / distance));

  // 10.-11. Disparity statistics; the aux points are already in the main frame.
  std::vector<double> rows(static_cast<size_t>(n)), cols(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    rows[i] = static_cast<double>(ap.y[i]);
    cols[i] = static_cast<double>(ap.x[i]);
  }
  store_disparity_metrics(v, disparity_metrics(p1, p2, rows.data(), cols.data(), n, metric_settings_of(v)));
  print_reference_block(v);

  // 12.-14. Mean distance error and the largest vertical disparity.
  v.mean_distance_percent = static_cast<float>(std::fabs(
      (1.0 - std::fabs(baseline * fr / static_cast<double>(v.computed_mean_disparity)) / distance) *
      100.0));
  std::vector<double> dv(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    dv[i] = std::fabs(static_cast<double>(mp.y[i]) - static_cast<double>(ap.y[i]));
  }
  const float half_w = static_cast<float>(p1.main_width) * 0.5f;
  const float half_h = static_cast<float>(p1.main_height) * 0.5f;
  const double rd = std::sqrt(static_cast<double>(half_w * half_w + half_h * half_h));
  const int32_t k = index_of_max(dv.data(), n);
  v.flat_chart_max_vd = static_cast<float>(dv[k]);
  const float my = static_cast<float>(mp.y[k]);
  const float mx = static_cast<float>(mp.x[k]);
  v.fov_at_max_vd_percent =
      static_cast<float>(std::sqrt(static_cast<double>(my * my + mx * mx)) / rd * 100.0);
  if (v.run_mode == 1) print_percentiles(v);
  measured.metrics = true;

  // 16. Scale difference of the grid columns.
  float percent = -1.0f;
  if (column_scale_difference(mp, ap, n, percent)) {
    measured.scale_difference = true;
    v.flat_chart_scale_difference_percent = percent;
  } else {
    std::printf("Warning: could not compute scale difference percent (setting to -1.0)\n");
    v.flat_chart_scale_difference_percent = -1.0f;
  }
  return 0;
}

int32_t depth_verification(const zorvel_capture_pair& capture, const zorvel_calib_context& pc_cfg,
                           zorvel_chart_pair& p1, zorvel_chart_pair& p2,
                           zorvel_calib_context& verify_ctx, zorvel_chart_pair& p3,
                           zorvel_verification_measures& measured) {
  pairs_release release{p1, p2, p3};
  measured = {};
  // 1. Unwarp stage.
  const zorvel_unwarp_result unwarp =
      unwarp_for_verification(capture, pc_cfg, verify_ctx, p1, p2, p3);
  if (unwarp.status != 0) return -1;
  // 2. Diagnostic modes end with their images.
  if (stops_after_images(verify_ctx.run_mode)) return 0;
  // The scratch pair has served the dewarp steps.
  release_chart_pair(p3);
  int32_t n_main = 0, n_aux = 0;
  if (detect_both(pc_cfg, p1, p2, n_main, n_aux) != 0) return -1;
  return measure_rectified_pairs(pc_cfg, p1, p2, verify_ctx, unwarp.fr, n_main, n_aux, measured);
}

}  // namespace zorvel
