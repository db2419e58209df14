// Flat-chart correction fit on paired, centred key points: disparities left
// after the rotation are split into a plane (held near the centre mean unless
// the chart centre is markedly worse than the L chart's) and a cubic residual,
// which is what rectification later corrects.
#include "calib/flat_chart_fit.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

#include "common/run_messages.h"
#include "numerics/matrix.h"
#include "stereo/rectify.h"

namespace zorvel {

zorvel_flat_focal_lengths flat_focal_lengths(const zorvel_calibration_setup& setup,
                                             const zorvel_stereo_model& model) {
  return {(setup.main.focal_length_ratio_flat / setup.main.focal_length_ratio_l) *
              model.main_focal_px,
          (setup.aux.focal_length_ratio_flat / setup.aux.focal_length_ratio_l) *
              model.aux_focal_px};
}

bool fit_flat_chart_correction(const zorvel_calibration_setup& setup,
                               const zorvel_key_points& main, const zorvel_key_points& aux,
                               int32_t n, int32_t aux_height, int32_t aux_width,
                               zorvel_calibration_result& result) {
  zorvel_stereo_model& model = result.model;
  const zorvel_flat_focal_lengths focal = flat_focal_lengths(setup, model);
  const float fm = focal.main_px, fa = focal.aux_px;
  // The aux points through the rotation only: the correction starts at zero.
  const std::array<double, 9> M = matrix_invert3(model.rot);
  for (float& v : model.geo) v = 0.0f;
  const size_t count = static_cast<size_t>(n);
  std::vector<double> yp(count), xp(count);
  project_and_correct_points(M.data(), aux.y.data(), aux.x.data(), n, yp.data(), xp.data(),
                             model.geo, aux_height, aux_width,
                             static_cast<double>(fm), static_cast<double>(fa),
                             static_cast<double>(model.projection_offset_x),
                             static_cast<double>(model.projection_offset_y));

  // Disparities; fit block F (9 x 7) and centre block C (5 x 5).
  std::vector<double> hd(count), vd(count);
  std::vector<double> fx, fy, fhd, fvd;
  int32_t c = 0;
  double sum_vd = 0.0, sum_vd_sq = 0.0;
  for (size_t i = 0; i < count; ++i) {
    hd[i] = xp[i] - static_cast<double>(main.x[i]);
    vd[i] = yp[i] - static_cast<double>(main.y[i]);
    const double abs_xw = std::fabs(static_cast<double>(aux.Xw[i]));
    const double abs_yw = std::fabs(static_cast<double>(aux.Yw[i]));
    if (abs_xw <= 4.0 && abs_yw <= 3.0) {
      fx.push_back(xp[i]);
      fy.push_back(yp[i]);
      fhd.push_back(hd[i]);
      fvd.push_back(vd[i]);
    }
    if (abs_xw <= 2.0 && abs_yw <= 2.0) {
      ++c;
      sum_vd += vd[i];
      sum_vd_sq += vd[i] * vd[i];
    }
  }
  const int32_t m = static_cast<int32_t>(fx.size());
  if (m < 3) {
    report_failure("%s", kFlatChartTooFewPoints);
    return false;
  }

  // Centre metrics.
  double sum_hd_f = 0.0;
  for (const double v : fhd) sum_hd_f += v;
  const double mean_hd_f = sum_hd_f / static_cast<double>(m);
  double mean_vd_c = 0.0;
  double rms_vd_center_flat = 0.0;
  if (c > 0) {
    rms_vd_center_flat = std::sqrt(sum_vd_sq / static_cast<double>(c));
    mean_vd_c = sum_vd / static_cast<double>(c);
  }
  std::printf("\n RMS_VD_Center_Flat_Chart = %f", rms_vd_center_flat);
  std::printf("\n RMS_VD_Center_Flat_Chart_END");

  // Plane fits, clamped near the centre means unless the flat centre
  // is markedly worse than the L chart's.
  const std::array<double, 3> plane_h = fit_plane(fx.data(), fy.data(), fhd.data(), m);
  const std::array<double, 3> plane_v = fit_plane(fx.data(), fy.data(), fvd.data(), m);
  const double d = rms_vd_center_flat - result.rms_vd_center_l;
  if (d > 1.5) std::printf("\n Plane_Fitting_Geo");
  const double max_hd = static_cast<double>(setup.max_hd_variation_allowed);
  const double max_vd = static_cast<double>(setup.max_vd_variation_allowed);
  std::vector<double> res_h(count), res_v(count);
  for (size_t i = 0; i < count; ++i) {
    double ph = plane_h[0] * xp[i] + plane_h[1] * yp[i] + plane_h[2];
    double pv = plane_v[0] * xp[i] + plane_v[1] * yp[i] + plane_v[2];
    if (d < 1.5) {
      if (ph < mean_hd_f - max_hd) ph = mean_hd_f - max_hd;
      if (ph > mean_hd_f + max_hd) ph = mean_hd_f + max_hd;
      if (pv < mean_vd_c - max_vd) pv = mean_vd_c - max_vd;
      if (pv > mean_vd_c + max_vd) pv = mean_vd_c + max_vd;
    }
    // Residuals after the plane.
    res_h[i] = hd[i] - ph;
    res_v[i] = vd[i] - pv;
  }

  // Cubic fits of the residuals: column correction, then row correction.
  const std::array<double, 9> coef_h = fit_cubic_surface(
      xp.data(), yp.data(), res_h.data(), aux_height, aux_width, n);
  const std::array<double, 9> coef_v = fit_cubic_surface(
      xp.data(), yp.data(), res_v.data(), aux_height, aux_width, n);
  for (int32_t j = 0; j < 9; ++j) {
    model.geo[j] = static_cast<float>(coef_h[j]);
    model.geo[9 + j] = static_cast<float>(coef_v[j]);
  }

  // The image form of the correction, which the record stores. The offsets
  // reach it x first, as rectification reads them back; a calibration always
  // has both at 0.
  fit_inverse_correction(model.rot, model.geo, result.image_correction, aux_width, aux_height,
                         fm, fa, model.projection_offset_x, model.projection_offset_y);
  return true;
}

}  // namespace zorvel
