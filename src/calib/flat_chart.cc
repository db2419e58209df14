// Flat-chart calibration: thin-lens ratios, detection on dewarped pixels,
// pairing and centring; the correction fit itself is in flat_chart_fit.cc.
#include "calib/flat_chart.h"

#include <cstdio>

#include "detect/debug_output.h"
#include "detect/keypoints.h"
#include "stereo/rectify.h"

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

  // 9. Debug lists of the centred points.
  if (context.run_mode == 4) {
    write_point_lists(main, n,
                      {"ref_flat_kp_ym.txt", "ref_flat_kp_xm.txt", "ref_flat_kp_Ywm.txt",
                       "ref_flat_kp_Xwm.txt"});
    write_point_lists(aux, n,
                      {"aux_flat_kp_ym.txt", "aux_flat_kp_xm.txt", "aux_flat_kp_Ywm.txt",
                       "aux_flat_kp_Xwm.txt"});
  }

  if (!fit_flat_chart_correction(context, main, aux, n, flat_pair.aux_height,
                                 flat_pair.aux_width, fm, fa)) {
    return 0;
  }
  return n;
}

}  // namespace zorvel
