// Flat-chart calibration: thin-lens ratios, detection on dewarped pixels,
// pairing and centring; the correction fit itself is in flat_chart_fit.cc.
#include "calib/flat_chart.h"

#include <cstdio>

#include "common/run_messages.h"
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

int32_t calibrate_flat_chart(const zorvel_calibration_setup& setup, zorvel_chart_pair& flat_pair,
                             zorvel_chart_pair& work_pair, zorvel_calibration_result& result) {
  // The thin-lens ratios are printed for the station's log only.
  const float distance = setup.charts.flat_chart_distance_mm;
  std::printf("\n FL ratio ref is %f, aux is %f",
              static_cast<double>(fl_ratio_at_distance(distance, setup.main.focal_length_mm)),
              static_cast<double>(fl_ratio_at_distance(distance, setup.aux.focal_length_mm)));

  // Aux detection also runs on dewarped pixels.
  copy_aux_planes(flat_pair, work_pair, flat_pair.aux_height, flat_pair.aux_width);
  if (setup.write_debug_files) {
    write_debug_image("rectified-aux-flat-proj-only.bmp", work_pair.aux_r, work_pair.aux_g,
                      work_pair.aux_b, work_pair.aux_width, work_pair.aux_height);
    write_debug_image("orig-aux-flat.bmp", flat_pair.aux_r, flat_pair.aux_g, flat_pair.aux_b,
                      flat_pair.aux_width, flat_pair.aux_height);
    write_debug_image("orig-main-flat.bmp", flat_pair.main_r, flat_pair.main_g,
                      flat_pair.main_b, flat_pair.main_width, flat_pair.main_height);
  }

  zorvel_run_details& details = result.details;
  note_image(details, "main flat", flat_pair.main_r, flat_pair.main_g, flat_pair.main_b,
             flat_pair.main_width, flat_pair.main_height);
  note_image(details, "aux flat", work_pair.aux_r, work_pair.aux_g, work_pair.aux_b,
             work_pair.aux_width, work_pair.aux_height);

  // Detection, main first.
  zorvel_key_points& main = flat_pair.main_points;
  zorvel_key_points& aux = work_pair.aux_points;
  const int n_main = detect_flat_chart_keypoints(
      flat_pair.main_r.data(), flat_pair.main_g.data(), flat_pair.main_b.data(),
      flat_pair.main_height, flat_pair.main_width, main, setup.main.mono ? 1 : 0);
  note_detection(details, "main flat", flat_pair.main_width, flat_pair.main_height, n_main, main);
  if (n_main < 1) {
    report_failure("Main Flat chart image key point detection failed\n");
    return 0;
  }
  const int n_aux = detect_flat_chart_keypoints(
      work_pair.aux_r.data(), work_pair.aux_g.data(), work_pair.aux_b.data(),
      work_pair.aux_height, work_pair.aux_width, aux, setup.aux.mono ? 1 : 0);
  note_detection(details, "aux flat", work_pair.aux_width, work_pair.aux_height, n_aux, aux);
  if (n_aux < 1) {
    report_failure("Aux Flat chart image key point detection failed\n");
    return 0;
  }

  // Pairing by (Yw, Xw), main points in the outer loop.
  const int32_t n = match_keypoints_by_label(main, aux, n_main, n_aux);
  note_paired(details, "main flat", n);
  note_paired(details, "aux flat", n);
  if (n < 9) {
    report_failure("%s", kFlatChartTooFewPoints);
    return 0;
  }

  // Centre both sets (integer halves of flat_pair's sizes).
  for (int32_t i = 0; i < n; ++i) {
    aux.y[i] -= flat_pair.aux_height / 2;
    aux.x[i] -= flat_pair.aux_width / 2;
    main.y[i] -= flat_pair.main_height / 2;
    main.x[i] -= flat_pair.main_width / 2;
  }

  if (setup.write_debug_files) {
    write_point_lists(main, n,
                      {"ref_flat_kp_ym.txt", "ref_flat_kp_xm.txt", "ref_flat_kp_Ywm.txt",
                       "ref_flat_kp_Xwm.txt"});
    write_point_lists(aux, n,
                      {"aux_flat_kp_ym.txt", "aux_flat_kp_xm.txt", "aux_flat_kp_Ywm.txt",
                       "aux_flat_kp_Xwm.txt"});
  }

  if (!fit_flat_chart_correction(setup, main, aux, n, flat_pair.aux_height, flat_pair.aux_width,
                                 result)) {
    return 0;
  }
  return n;
}

}  // namespace zorvel
