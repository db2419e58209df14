// Flat-chart calibration. Disparities left after the rotation are split into
// a plane (held near the centre mean unless the chart centre is markedly
// worse than the L chart's) and a cubic residual, which is what is stored.
#include "calib/flat_chart.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

#include "calib/debug_output.h"
#include "detect/keypoints.h"
#include "numerics/matrix.h"
#include "verify/rectify.h"

namespace zorvel {

float fl_ratio_at_distance(float distance_mm, float focal_mm) {
  const float d_minus_f = distance_mm - focal_mm;
  if (d_minus_f == 0.0f || focal_mm == 0.0f) return 1.0f;
  const float r = ((focal_mm * focal_mm) / d_minus_f + focal_mm) / focal_mm;
  const double rd = static_cast<double>(r);
  if (!(rd >= 0.95 && rd <= 1.035)) return 1.0f;
  return r;
}

int32_t calibrate_flat_chart(zorvel_calib_context& context, zorvel_chart_pair& flat_pair,
                             zorvel_chart_pair& work_pair) {
  // 1. Thin-lens ratios at the flat-chart distance (printed only).
  std::printf("\n FL ratio ref is %f, aux is %f",
              static_cast<double>(
                  fl_ratio_at_distance(context.flat_chart_distance_mm, context.main_focal_length_mm)),
              static_cast<double>(
                  fl_ratio_at_distance(context.flat_chart_distance_mm, context.aux_focal_length_mm)));

  // 2. Effective focal lengths at the flat chart.
  const float fm = (context.main_focal_length_ratio_flat / context.main_focal_length_ratio) *
                   context.main_focal_length;
  const float fa = (context.aux_focal_length_ratio_flat / context.aux_focal_length_ratio) *
                   context.aux_focal_length;

  // 3.-4. Aux detection also runs on dewarped pixels.
  copy_aux_planes(flat_pair, work_pair, flat_pair.aux_height, flat_pair.aux_width);
  if (context.run_mode == 4) {
    write_debug_image("rectified-aux-flat-proj-only.bmp", work_pair.aux_r, work_pair.aux_g,
                      work_pair.aux_b, work_pair.aux_width, work_pair.aux_height);
    write_debug_image("orig-aux-flat.bmp", flat_pair.aux_r, flat_pair.aux_g, flat_pair.aux_b,
                      flat_pair.aux_width, flat_pair.aux_height);
    write_debug_image("orig-main-flat.bmp", flat_pair.main_r, flat_pair.main_g,
                      flat_pair.main_b, flat_pair.main_width, flat_pair.main_height);
  }

  // 5. Detection, main first.
  zorvel_key_points& main = flat_pair.main_points;
  zorvel_key_points& aux = work_pair.aux_points;
  const int n_main = detect_flat_chart_keypoints(
      flat_pair.main_r.data(), flat_pair.main_g.data(), flat_pair.main_b.data(),
      flat_pair.main_height, flat_pair.main_width, main, context.main_sensor_mono_flag);
  if (n_main < 1) {
    std::printf("Main Flat chart image key point detection failed\n");
    return -1;
  }
  const int n_aux = detect_flat_chart_keypoints(
      work_pair.aux_r.data(), work_pair.aux_g.data(), work_pair.aux_b.data(),
      work_pair.aux_height, work_pair.aux_width, aux, context.aux_sensor_mono_flag);
  if (n_aux < 1) {
    std::printf("Aux Flat chart image key point detection failed\n");
    return -1;
  }

  // 6. Pairing by (Yw, Xw), main points in the outer loop.
  const int32_t n = match_keypoints_by_label(main, aux, n_main, n_aux);
  if (n < 1) return 0;
  if (n < 9) {
    std::printf("%s", kFlatChartTooFewPoints);
    return 0;
  }

  // 7. Centre both sets (integer halves of flat_pair's sizes).
  for (int32_t i = 0; i < n; ++i) {
    aux.y[i] -= flat_pair.aux_height / 2;
    aux.x[i] -= flat_pair.aux_width / 2;
    main.y[i] -= flat_pair.main_height / 2;
    main.x[i] -= flat_pair.main_width / 2;
  }

  // 8. Aux points through the rotation only (geo zeroed first).
  const std::array<double, 9> M = matrix_invert3(context.rot);
  for (float& v : context.geo) v = 0.0f;
  const size_t count = static_cast<size_t>(n);
  std::vector<double> yp(count), xp(count);
  project_and_correct_points(M.data(), aux.y.data(), aux.x.data(), n, yp.data(), xp.data(),
                             context.geo, flat_pair.aux_height, flat_pair.aux_width,
                             static_cast<double>(fm), static_cast<double>(fa),
                             static_cast<double>(context.projection_offset_x),
                             static_cast<double>(context.projection_offset_y));

  // 9. Debug lists of the centred points.
  if (context.run_mode == 4) {
    write_int_list(main.y.data(), n, "ref_flat_kp_ym.txt");
    write_int_list(main.x.data(), n, "ref_flat_kp_xm.txt");
    write_int_list(aux.y.data(), n, "aux_flat_kp_ym.txt");
    write_int_list(aux.x.data(), n, "aux_flat_kp_xm.txt");
    write_int_list(main.Yw.data(), n, "ref_flat_kp_Ywm.txt");
    write_int_list(main.Xw.data(), n, "ref_flat_kp_Xwm.txt");
    write_int_list(aux.Yw.data(), n, "aux_flat_kp_Ywm.txt");
    write_int_list(aux.Xw.data(), n, "aux_flat_kp_Xwm.txt");
  }

  // 10.-11. Disparities; fit block F (9 x 7) and centre block C (5 x 5).
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
    std::printf("%s", kFlatChartTooFewPoints);
    return 0;
  }

  // 12. Centre metrics.
  double sum_hd_f = 0.0;
  for (const double v : fhd) sum_hd_f += v;
  const double mean_hd_f = sum_hd_f / static_cast<double>(m);
  double mean_vd_c = 0.0;
  context.rms_vd_center_flat = 0.0;
  if (c > 0) {
    context.rms_vd_center_flat = std::sqrt(sum_vd_sq / static_cast<double>(c));
    mean_vd_c = sum_vd / static_cast<double>(c);
  }
  std::printf("\n RMS_VD_Center_Flat_Chart = %f", context.rms_vd_center_flat);
  std::printf("\n RMS_VD_Center_Flat_Chart_END");

  // 13.-15. Plane fits, clamped near the centre means unless the flat centre
  // is markedly worse than the L chart's.
  const std::array<double, 3> plane_h = fit_plane(fx.data(), fy.data(), fhd.data(), m);
  const std::array<double, 3> plane_v = fit_plane(fx.data(), fy.data(), fvd.data(), m);
  const double d = context.rms_vd_center_flat - context.rms_vd_center_l;
  if (d > 1.5) std::printf("\n Plane_Fitting_Geo");
  const double max_hd = static_cast<double>(context.max_hd_variation_allowed);
  const double max_vd = static_cast<double>(context.max_vd_variation_allowed);
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
    // 16. Residuals after the plane.
    res_h[i] = hd[i] - ph;
    res_v[i] = vd[i] - pv;
  }

  // 17.-18. Cubic fits of the residuals: column correction, then row correction.
  const std::array<double, 9> coef_h = fit_cubic_surface(
      xp.data(), yp.data(), res_h.data(), flat_pair.aux_height, flat_pair.aux_width, n);
  const std::array<double, 9> coef_v = fit_cubic_surface(
      xp.data(), yp.data(), res_v.data(), flat_pair.aux_height, flat_pair.aux_width, n);
  for (int32_t j = 0; j < 9; ++j) {
    context.geo[j] = static_cast<float>(coef_h[j]);
    context.geo[9 + j] = static_cast<float>(coef_v[j]);
  }

  // 19. Inverse correction for the stored record.
  fit_inverse_correction(context.rot, context.geo, context.geo_out, flat_pair.aux_width,
                         flat_pair.aux_height, fm, fa, context.projection_offset_x,
                         context.projection_offset_y);
  return n;
}

}  // namespace zorvel
