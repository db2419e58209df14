// Result steps of the two calibration modes that use the flat chart.
#include "calib/results.h"

#include <array>
#include <cmath>
#include <vector>

#include "numerics/checked_convert.h"
#include "detect/debug_output.h"
#include "stereo/disparity_metrics.h"
#include "calib/l_chart.h"
#include "stereo/scale_difference.h"
#include "detect/keypoints.h"
#include "numerics/matrix.h"
#include "stereo/rectify.h"

namespace zorvel {
namespace {

constexpr int32_t kScaleMinCount = 4;  // columns of five or more points

struct projected_points {
  std::vector<double> rows;
  std::vector<double> cols;
};

// The aux points of set through P and geo (extents: the flat pair's aux
// size); the truncated results replace the set's y and x.
projected_points project_through_model(const std::array<double, 9>& P,
                                       zorvel_key_points& set, int32_t n,
                                       const zorvel_calib_context& context,
                                       const zorvel_chart_pair& flat_pair, double f,
                                       double depth) {
  projected_points out;
  const size_t count = static_cast<size_t>(n > 0 ? n : 0);
  out.rows.resize(count);
  out.cols.resize(count);
  project_and_correct_points(P.data(), set.y.data(), set.x.data(), n, out.rows.data(),
                             out.cols.data(), context.geo, flat_pair.aux_height,
                             flat_pair.aux_width, f, depth,
                             static_cast<double>(context.projection_offset_x),
                             static_cast<double>(context.projection_offset_y));
  for (size_t i = 0; i < count; ++i) {
    set.y[i] = coordinate_from(out.rows[i]);
    set.x[i] = coordinate_from(out.cols[i]);
  }
  return out;
}

// sqrt((1 / n) * sum (projected_i - main_i)^2).
double residual_rms(const std::vector<double>& projected, const std::vector<int32_t>& main,
                    int32_t n) {
  double sum = 0.0;
  for (int32_t i = 0; i < n; ++i) {
    const double d = projected[i] - static_cast<double>(main[i]);
    sum += d * d;
  }
  return std::sqrt((1.0 / static_cast<double>(n)) * sum);
}

struct flat_focal_lengths {
  float fm;
  float fa;
};

flat_focal_lengths effective_focal_lengths(const zorvel_calib_context& c) {
  return {(c.main_focal_length_ratio_flat / c.main_focal_length_ratio) * c.main_focal_length,
          (c.aux_focal_length_ratio_flat / c.aux_focal_length_ratio) * c.aux_focal_length};
}

float flat_distance_error(const zorvel_calib_context& c, const zorvel_chart_pair& flat_pair,
                          const zorvel_chart_pair& flat_work_pair) {
  return static_cast<float>(distance_error_percent(
      static_cast<double>(c.main_focal_length), static_cast<double>(c.cam_baseline_mm),
      static_cast<double>(flat_work_pair.aux_points.x[0]),
      static_cast<double>(flat_pair.main_points.x[0]),
      static_cast<double>(c.flat_chart_distance_mm)));
}

float reference_disparity(const zorvel_calib_context& c) {
  return static_cast<float>(std::fabs(static_cast<double>(c.main_focal_length) *
                                      static_cast<double>(c.cam_baseline_mm) /
                                      static_cast<double>(c.flat_chart_distance_mm)));
}

}  // namespace

void l_and_flat_results(zorvel_calib_context& context, zorvel_chart_pair& l_pair,
                        const zorvel_chart_pair& flat_pair, zorvel_chart_pair& l_rect_pair,
                        zorvel_chart_pair& flat_work_pair, int32_t n_L, int32_t n_F) {
  const std::array<double, 9> P = matrix_invert3(context.rot);
  const flat_focal_lengths fl = effective_focal_lengths(context);
  const bool debug = context.run_mode == 4;

  // 1.-3. L-chart aux points (dewarped pair) through the complete model.
  const projected_points l_proj =
      project_through_model(P, l_pair.aux_points, n_L, context, flat_pair,
                            static_cast<double>(context.main_focal_length),
                            static_cast<double>(context.aux_focal_length));
  if (debug) {
    write_int_list(l_pair.aux_points.y.data(), n_L, "aux_flat_kp_Y_L.txt");
    write_int_list(l_pair.aux_points.x.data(), n_L, "aux_flat_kp_X_L.txt");
    write_int_list(l_pair.main_points.y.data(), n_L, "ref_flat_kp_Y_L.txt");
    write_int_list(l_pair.main_points.x.data(), n_L, "ref_flat_kp_X_L.txt");
  }

  // 4. Flat-chart aux points through the complete model.
  const projected_points f_proj =
      project_through_model(P, flat_work_pair.aux_points, n_F, context, flat_pair,
                            static_cast<double>(fl.fm), static_cast<double>(fl.fa));

  // 5. Debug images rectified with the inverse correction; each image uses
  // its own pair's aux size.
  if (debug) {
    if (rectify_aux(flat_pair, flat_work_pair, fl.fm, context.rot, fl.fa, flat_pair.aux_height,
                    flat_pair.aux_width, context.projection_offset_x,
                    context.projection_offset_y, context.geo_out) == 0) {
      write_debug_image("rectified-aux-flat-proj-geo.bmp", flat_work_pair.aux_r,
                        flat_work_pair.aux_g, flat_work_pair.aux_b, flat_pair.aux_width,
                        flat_pair.aux_height);
    }
    if (rectify_aux(l_pair, l_rect_pair, context.main_focal_length, context.rot,
                    context.aux_focal_length, l_pair.aux_height, l_pair.aux_width,
                    context.projection_offset_x, context.projection_offset_y,
                    context.geo_out) == 0) {
      write_debug_image("rectified-aux-L_Flat_Geo.bmp", l_rect_pair.aux_r, l_rect_pair.aux_g,
                        l_rect_pair.aux_b, l_pair.aux_width, l_pair.aux_height);
    }
  }

  // 6.-7. Distance errors from pair 0 of each chart.
  context.l_chart_distance_error_percent = static_cast<float>(distance_error_percent(
      static_cast<double>(context.main_focal_length),
      static_cast<double>(context.cam_baseline_mm),
      static_cast<double>(l_rect_pair.aux_points.x[0]),
      static_cast<double>(l_pair.main_points.x[0]),
      static_cast<double>(context.l_chart_distance_mm)));
  context.flat_chart_distance_error_percent = flat_distance_error(context, flat_pair, flat_work_pair);

  // 8.-9. Residual vertical disparities with the untruncated rows.
  context.l_chart_residual_vd =
      static_cast<float>(residual_rms(l_proj.rows, l_pair.main_points.y, n_L));
  context.flat_chart_residual_vd =
      static_cast<float>(residual_rms(f_proj.rows, flat_pair.main_points.y, n_F));

  // 10. Largest vertical disparity in whole pixels (truncated rows).
  std::vector<double> abs_vd(static_cast<size_t>(n_F));
  for (int32_t i = 0; i < n_F; ++i) {
    abs_vd[i] = static_cast<double>(
        std::abs(flat_pair.main_points.y[i] - flat_work_pair.aux_points.y[i]));
  }
  context.flat_chart_max_vd = static_cast<float>(abs_vd[index_of_max(abs_vd.data(), n_F)]);

  // 11. Debug lists of the flat projection.
  if (debug) {
    write_double_list(f_proj.rows.data(), n_F, "aux_flat_kp_ymg.txt");
    write_double_list(f_proj.cols.data(), n_F, "aux_flat_kp_xmg.txt");
    write_int_list(flat_pair.main_points.y.data(), n_F, "ref_flat_kp_ymg.txt");
    write_int_list(flat_pair.main_points.x.data(), n_F, "ref_flat_kp_xmg.txt");
  }

  // 12.-16. Scale differences, disparity metrics, reference disparity, angles.
  context.l_chart_scale_difference_percent = static_cast<float>(
      scale_difference(l_pair.main_points, l_pair.aux_points, n_L, kScaleMinCount).percent);
  store_disparity_metrics(context, disparity_metrics(flat_pair, flat_work_pair, f_proj.rows.data(), f_proj.cols.data(), n_F, metric_settings_of(context)));
  context.reference_disparity = reference_disparity(context);
  context.flat_chart_scale_difference_percent = static_cast<float>(
      scale_difference(flat_pair.main_points, flat_work_pair.aux_points, n_F, kScaleMinCount)
          .percent);
  store_relative_angles(context);
}

void flat_only_results(zorvel_calib_context& context, zorvel_key_points stored_points[2],
                       const zorvel_chart_pair& flat_pair, zorvel_chart_pair& flat_work_pair,
                       int32_t k, int32_t n_F) {
  const std::array<double, 9> P = matrix_invert3(context.rot);
  const flat_focal_lengths fl = effective_focal_lengths(context);
  zorvel_key_points& stored_main = stored_points[0];
  zorvel_key_points& stored_aux = stored_points[1];

  // 2.-3. Stored L-chart points and flat points through the complete model.
  const projected_points l_proj =
      project_through_model(P, stored_aux, k, context, flat_pair,
                            static_cast<double>(context.main_focal_length),
                            static_cast<double>(context.aux_focal_length));
  const projected_points f_proj =
      project_through_model(P, flat_work_pair.aux_points, n_F, context, flat_pair,
                            static_cast<double>(fl.fm), static_cast<double>(fl.fa));

  // 4.-6. Flat distance error and residual vertical disparities (k = 0
  // leaves the L residual without samples: NaN, so its row fails).
  context.flat_chart_distance_error_percent = flat_distance_error(context, flat_pair, flat_work_pair);
  context.l_chart_residual_vd = static_cast<float>(residual_rms(l_proj.rows, stored_main.y, k));
  context.flat_chart_residual_vd =
      static_cast<float>(residual_rms(f_proj.rows, flat_pair.main_points.y, n_F));

  // 7. Largest vertical disparity with the untruncated rows.
  std::vector<double> abs_vd(static_cast<size_t>(n_F));
  for (int32_t i = 0; i < n_F; ++i) {
    abs_vd[i] = std::fabs(static_cast<double>(flat_pair.main_points.y[i]) - f_proj.rows[i]);
  }
  context.flat_chart_max_vd = static_cast<float>(abs_vd[index_of_max(abs_vd.data(), n_F)]);

  // 8.-12. Metrics, reference disparity, scale differences, angles.
  store_disparity_metrics(context, disparity_metrics(flat_pair, flat_work_pair, f_proj.rows.data(), f_proj.cols.data(), n_F, metric_settings_of(context)));
  context.reference_disparity = reference_disparity(context);
  context.l_chart_scale_difference_percent = static_cast<float>(
      scale_difference(stored_main, stored_aux, k, kScaleMinCount).percent);
  context.flat_chart_scale_difference_percent = static_cast<float>(
      scale_difference(flat_pair.main_points, flat_work_pair.aux_points, n_F, kScaleMinCount)
          .percent);
  store_relative_angles(context);
}

}  // namespace zorvel
