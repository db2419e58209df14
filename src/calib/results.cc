// Result steps of the two calibration modes that use the flat chart.
#include "calib/results.h"

#include <array>
#include <cmath>
#include <vector>

#include "numerics/checked_convert.h"
#include "detect/debug_output.h"
#include "stereo/disparity_metrics.h"
#include "calib/flat_chart_fit.h"
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

// The aux points of set through P and the fitted correction (extents: the
// flat pair's aux size); the truncated results replace the set's y and x.
projected_points project_through_model(const std::array<double, 9>& P, zorvel_key_points& set,
                                       int32_t n, const zorvel_stereo_model& model,
                                       const zorvel_chart_pair& flat_pair, double f,
                                       double depth) {
  projected_points out;
  const size_t count = static_cast<size_t>(n > 0 ? n : 0);
  out.rows.resize(count);
  out.cols.resize(count);
  project_and_correct_points(P.data(), set.y.data(), set.x.data(), n, out.rows.data(),
                             out.cols.data(), model.geo, flat_pair.aux_height,
                             flat_pair.aux_width, f, depth,
                             static_cast<double>(model.projection_offset_x),
                             static_cast<double>(model.projection_offset_y));
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

float reference_disparity(const zorvel_calibration_setup& setup, const zorvel_stereo_model& m) {
  return static_cast<float>(std::fabs(static_cast<double>(m.main_focal_px) *
                                      static_cast<double>(setup.charts.baseline_mm) /
                                      static_cast<double>(setup.charts.flat_chart_distance_mm)));
}

// What both modes measure on the flat chart once its aux points are
// projected: residual VD, disparity statistics, reference disparity, scale
// difference and the relative angles.
void flat_chart_figures(const zorvel_calibration_setup& setup, const zorvel_chart_pair& flat_pair,
                        const zorvel_chart_pair& flat_work_pair, const projected_points& f_proj,
                        int32_t n_F, zorvel_calibration_result& result) {
  result.flat_residual_vd =
      static_cast<float>(residual_rms(f_proj.rows, flat_pair.main_points.y, n_F));
  result.flat = disparity_metrics(flat_pair, flat_work_pair, f_proj.rows.data(),
                                  f_proj.cols.data(), n_F, setup.metrics);
  note_pair_disparities(result.details, flat_pair.main_points, f_proj.rows.data(),
                        f_proj.cols.data(), n_F, flat_pair.main_width, flat_pair.main_height);
  result.reference_disparity = reference_disparity(setup, result.model);
  result.flat_scale_difference_percent = static_cast<float>(
      scale_difference(flat_pair.main_points, flat_work_pair.aux_points, n_F, kScaleMinCount)
          .percent);
  result.angles = relative_angles(result.model.rot);
}

}  // namespace

void l_and_flat_results(const zorvel_calibration_setup& setup, zorvel_chart_pair& l_pair,
                        const zorvel_chart_pair& flat_pair, zorvel_chart_pair& l_rect_pair,
                        zorvel_chart_pair& flat_work_pair, int32_t n_L, int32_t n_F,
                        zorvel_calibration_result& result) {
  const zorvel_stereo_model& model = result.model;
  const std::array<double, 9> P = matrix_invert3(model.rot);
  const zorvel_flat_focal_lengths fl = flat_focal_lengths(setup, model);
  const bool debug = setup.write_debug_files;

  // L-chart aux points (dewarped pair) through the complete model.
  const projected_points l_proj =
      project_through_model(P, l_pair.aux_points, n_L, model, flat_pair,
                            static_cast<double>(model.main_focal_px),
                            static_cast<double>(model.aux_focal_px));
  if (debug) {
    write_int_list(l_pair.aux_points.y.data(), n_L, "aux_flat_kp_Y_L.txt");
    write_int_list(l_pair.aux_points.x.data(), n_L, "aux_flat_kp_X_L.txt");
    write_int_list(l_pair.main_points.y.data(), n_L, "ref_flat_kp_Y_L.txt");
    write_int_list(l_pair.main_points.x.data(), n_L, "ref_flat_kp_X_L.txt");
  }

  const projected_points f_proj =
      project_through_model(P, flat_work_pair.aux_points, n_F, model, flat_pair,
                            static_cast<double>(fl.main_px), static_cast<double>(fl.aux_px));

  // Debug images rectified with the image correction; each image uses its own
  // pair's aux size.
  if (debug) {
    if (rectify_aux(flat_pair, flat_work_pair, fl.main_px, model.rot, fl.aux_px,
                    flat_pair.aux_height, flat_pair.aux_width, model.projection_offset_x,
                    model.projection_offset_y, result.image_correction) == 0) {
      write_debug_image("rectified-aux-flat-proj-geo.bmp", flat_work_pair.aux_r,
                        flat_work_pair.aux_g, flat_work_pair.aux_b, flat_pair.aux_width,
                        flat_pair.aux_height);
    }
    if (rectify_aux(l_pair, l_rect_pair, model.main_focal_px, model.rot, model.aux_focal_px,
                    l_pair.aux_height, l_pair.aux_width, model.projection_offset_x,
                    model.projection_offset_y, result.image_correction) == 0) {
      write_debug_image("rectified-aux-L_Flat_Geo.bmp", l_rect_pair.aux_r, l_rect_pair.aux_g,
                        l_rect_pair.aux_b, l_pair.aux_width, l_pair.aux_height);
    }
  }

  // Distance error from the first pair, rotation-only rectified.
  result.l_distance_error_percent = static_cast<float>(distance_error_percent(
      static_cast<double>(model.main_focal_px), static_cast<double>(setup.charts.baseline_mm),
      static_cast<double>(l_rect_pair.aux_points.x[0]),
      static_cast<double>(l_pair.main_points.x[0]),
      static_cast<double>(setup.charts.l_chart_distance_mm)));

  // Residual VD with the untruncated rows; the largest VD in whole pixels.
  result.l_residual_vd = static_cast<float>(residual_rms(l_proj.rows, l_pair.main_points.y, n_L));
  std::vector<double> abs_vd(static_cast<size_t>(n_F));
  for (int32_t i = 0; i < n_F; ++i) {
    abs_vd[i] = static_cast<double>(
        std::abs(flat_pair.main_points.y[i] - flat_work_pair.aux_points.y[i]));
  }
  result.flat_max_vd = static_cast<float>(abs_vd[index_of_max(abs_vd.data(), n_F)]);

  if (debug) {
    write_double_list(f_proj.rows.data(), n_F, "aux_flat_kp_ymg.txt");
    write_double_list(f_proj.cols.data(), n_F, "aux_flat_kp_xmg.txt");
    write_int_list(flat_pair.main_points.y.data(), n_F, "ref_flat_kp_ymg.txt");
    write_int_list(flat_pair.main_points.x.data(), n_F, "ref_flat_kp_xmg.txt");
  }

  result.l_scale_difference_percent = static_cast<float>(
      scale_difference(l_pair.main_points, l_pair.aux_points, n_L, kScaleMinCount).percent);
  flat_chart_figures(setup, flat_pair, flat_work_pair, f_proj, n_F, result);
}

void flat_only_results(const zorvel_calibration_setup& setup, const zorvel_key_points& stored_main,
                       zorvel_key_points& stored_aux, int32_t k,
                       const zorvel_chart_pair& flat_pair, zorvel_chart_pair& flat_work_pair,
                       int32_t n_F, zorvel_calibration_result& result) {
  const zorvel_stereo_model& model = result.model;
  const std::array<double, 9> P = matrix_invert3(model.rot);
  const zorvel_flat_focal_lengths fl = flat_focal_lengths(setup, model);

  // Stored L-chart points and flat points through the complete model.
  const projected_points l_proj =
      project_through_model(P, stored_aux, k, model, flat_pair,
                            static_cast<double>(model.main_focal_px),
                            static_cast<double>(model.aux_focal_px));
  const projected_points f_proj =
      project_through_model(P, flat_work_pair.aux_points, n_F, model, flat_pair,
                            static_cast<double>(fl.main_px), static_cast<double>(fl.aux_px));

  // k = 0 leaves the L residual without samples: NaN, so its row fails.
  result.l_residual_vd = static_cast<float>(residual_rms(l_proj.rows, stored_main.y, k));

  // Largest VD with the untruncated rows.
  std::vector<double> abs_vd(static_cast<size_t>(n_F));
  for (int32_t i = 0; i < n_F; ++i) {
    abs_vd[i] = std::fabs(static_cast<double>(flat_pair.main_points.y[i]) - f_proj.rows[i]);
  }
  result.flat_max_vd = static_cast<float>(abs_vd[index_of_max(abs_vd.data(), n_F)]);

  result.l_scale_difference_percent = static_cast<float>(
      scale_difference(stored_main, stored_aux, k, kScaleMinCount).percent);
  flat_chart_figures(setup, flat_pair, flat_work_pair, f_proj, n_F, result);
}

}  // namespace zorvel
