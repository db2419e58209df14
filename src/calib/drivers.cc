// Calibration drivers: working pairs, detection, pairing, the chart
// calibrations and the result steps, in the order each chart combination needs.
#include "calib/drivers.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "common/run_messages.h"
#include "detect/debug_output.h"
#include "calib/flat_chart.h"
#include "calib/l_chart.h"
#include "calib/l_chart_pairing.h"
#include "calib/results.h"
#include "detect/keypoints.h"
#include "detect/preprocess.h"

namespace zorvel {
namespace {

// L-chart key points of l_pair, aux first. False after printing the failing
// camera's message.
bool detect_l_chart(zorvel_chart_pair& l_pair, const zorvel_calibration_setup& setup,
                    int& n_main, int& n_aux, zorvel_run_details& details) {
  note_image(details, "main L", l_pair.main_r, l_pair.main_g, l_pair.main_b, l_pair.main_width,
             l_pair.main_height);
  note_image(details, "aux L", l_pair.aux_r, l_pair.aux_g, l_pair.aux_b, l_pair.aux_width,
             l_pair.aux_height);
  n_aux = detect_l_chart_keypoints(l_pair.aux_r.data(), l_pair.aux_g.data(), l_pair.aux_b.data(),
                                   l_pair.aux_height, l_pair.aux_width, l_pair.aux_points,
                                   setup.aux.mono ? 1 : 0);
  note_detection(details, "aux L", l_pair.aux_width, l_pair.aux_height, n_aux, l_pair.aux_points);
  if (n_aux < 1) {
    report_failure("Aux L chart image key point detection failed\n");
    return false;
  }
  n_main = detect_l_chart_keypoints(l_pair.main_r.data(), l_pair.main_g.data(),
                                    l_pair.main_b.data(), l_pair.main_height, l_pair.main_width,
                                    l_pair.main_points, setup.main.mono ? 1 : 0);
  note_detection(details, "main L", l_pair.main_width, l_pair.main_height, n_main,
                 l_pair.main_points);
  if (n_main < 1) {
    report_failure("Main L chart image key point detection failed\n");
    return false;
  }
  return true;
}

// Pairing on all three labels, then the field-of-view window; returns the
// number of pairs kept.
int32_t pair_and_filter(zorvel_chart_pair& l_pair, const zorvel_calibration_setup& setup,
                        int n_main, int n_aux) {
  const int32_t n = pair_l_chart_points(l_pair.main_points, l_pair.aux_points, n_main, n_aux);
  return filter_points_by_fov(l_pair.main_points, l_pair.aux_points, n, l_pair.main_height,
                              l_pair.main_width, static_cast<double>(setup.main.fov_h_deg),
                              static_cast<double>(setup.main.fov_v_deg),
                              static_cast<double>(setup.charts.fov_used_for_computation));
}

// A chart's captures at working size with both lenses' distortion removed.
zorvel_chart_pair dewarped_pair(const zorvel_capture_pair& capture,
                                const zorvel_calibration_setup& setup) {
  zorvel_chart_pair pair, scratch;
  dewarped_working_pair(capture, setup.working, true, pair, scratch);
  return pair;
}

// The L chart's working pairs: l_pair dewarped for detection; l_rect_pair
// (sizes only; the debug rectification fills its aux planes) receives the
// rotation-only rectified aux points.
struct l_chart_pairs {
  zorvel_chart_pair l_pair, l_rect_pair;
};

l_chart_pairs prepare_l_chart(const zorvel_capture_pair& capture,
                              const zorvel_calibration_setup& setup) {
  l_chart_pairs p;
  p.l_pair = dewarped_pair(capture, setup);
  return p;
}

// The flat chart's working pairs: flat_pair dewarped for detection;
// flat_work_pair (sizes here, a copy of the dewarped aux planes for the aux
// detection later) receives the aux points to project.
struct flat_chart_pairs {
  zorvel_chart_pair flat_pair, flat_work_pair;
};

flat_chart_pairs prepare_flat_chart(const zorvel_capture_pair& capture,
                                    const zorvel_calibration_setup& setup) {
  flat_chart_pairs p;
  p.flat_pair = dewarped_pair(capture, setup);
  size_working_pair(capture, setup.working.rotated, p.flat_work_pair);
  return p;
}

void start_model(const zorvel_calibration_setup& setup, zorvel_calibration_result& result) {
  result.model.main_focal_px = setup.main.focal_px;
  result.model.aux_focal_px = setup.aux.focal_px;
}

bool flat_chart_or_fail(const zorvel_calibration_setup& setup, flat_chart_pairs& flat,
                        zorvel_calibration_result& result, int32_t& n_F) {
  n_F = calibrate_flat_chart(setup, flat.flat_pair, flat.flat_work_pair, result);
  if (n_F < 1) report_failure("Error in Flat chart image key point detection!\n");
  return n_F >= 1;
}

void write_detected_l_points(const zorvel_chart_pair& l_pair, int n_main, int n_aux) {
  write_point_lists(l_pair.main_points, n_main,
                    {"ref_kp_y.txt", "ref_kp_x.txt", "ref_kp_Yw.txt", "ref_kp_Xw.txt",
                     "ref_kp_Zw.txt"});
  write_point_lists(l_pair.aux_points, n_aux,
                    {"aux_kp_y.txt", "aux_kp_x.txt", "aux_kp_Yw.txt", "aux_kp_Xw.txt",
                     "aux_kp_Zw.txt"});
}

void write_paired_l_points(const zorvel_chart_pair& l_pair, int32_t n_L) {
  write_point_lists(l_pair.main_points, n_L,
                    {"ref_kp_ym.txt", "ref_kp_xm.txt", "ref_kp_Yw_m.txt", "ref_kp_Xw_m.txt",
                     "ref_kp_Zw_m.txt"});
  write_point_lists(l_pair.aux_points, n_L,
                    {"aux_kp_ym.txt", "aux_kp_xm.txt", "aux_kp_Yw_m.txt", "aux_kp_Xw_m.txt",
                     "aux_kp_Zw_m.txt"});
}

}  // namespace

bool calibrate_l_and_flat(const zorvel_capture_pair& l_capture,
                          const zorvel_capture_pair& flat_capture,
                          const zorvel_calibration_setup& setup, zorvel_calibration_result& result) {
  const bool debug = setup.write_debug_files;
  start_model(setup, result);
  l_chart_pairs l = prepare_l_chart(l_capture, setup);
  flat_chart_pairs flat = prepare_flat_chart(flat_capture, setup);
  size_working_pair(l_capture, setup.working.rotated, l.l_rect_pair);
  if (debug) {
    const zorvel_chart_pair& lp = l.l_pair;
    const zorvel_chart_pair& fp = flat.flat_pair;
    write_debug_image("orig-main-L.bmp", lp.main_r, lp.main_g, lp.main_b, lp.main_width,
                      lp.main_height);
    write_debug_image("orig-aux-L.bmp", lp.aux_r, lp.aux_g, lp.aux_b, lp.aux_width,
                      lp.aux_height);
    write_debug_image("orig-main-Flat.bmp", fp.main_r, fp.main_g, fp.main_b, fp.main_width,
                      fp.main_height);
    write_debug_image("orig-aux-Flat.bmp", fp.aux_r, fp.aux_g, fp.aux_b, fp.aux_width,
                      fp.aux_height);
  }

  int n_main = 0, n_aux = 0;
  if (!detect_l_chart(l.l_pair, setup, n_main, n_aux, result.details)) return false;
  if (debug) write_detected_l_points(l.l_pair, n_main, n_aux);
  const int32_t n_L = pair_and_filter(l.l_pair, setup, n_main, n_aux);
  note_paired(result.details, "main L", n_L);
  note_paired(result.details, "aux L", n_L);
  if (debug) write_paired_l_points(l.l_pair, n_L);

  if (!calibrate_l_chart(l.l_pair, l.l_rect_pair.aux_points, n_L, setup, result)) return false;
  int32_t n_F = 0;
  if (!flat_chart_or_fail(setup, flat, result, n_F)) return false;
  l_and_flat_results(setup, l.l_pair, flat.flat_pair, l.l_rect_pair, flat.flat_work_pair, n_L,
                     n_F, result);

  if (debug) {
    const zorvel_key_points& m = l.l_pair.main_points;
    const zorvel_key_points& a = l.l_pair.aux_points;
    write_int_list(m.y.data(), n_L, "ref_kp_yf_l_chart.txt");
    write_int_list(m.x.data(), n_L, "ref_kp_xf_l_chart.txt");
    write_int_list(a.y.data(), n_L, "aux_kp_yf_l_chart.txt");
    write_int_list(a.x.data(), n_L, "aux_kp_xf_l_chart.txt");
  }
  return true;
}

bool calibrate_l_only(const zorvel_capture_pair& l_capture, const zorvel_calibration_setup& setup,
                      zorvel_calibration_result& result) {
  start_model(setup, result);
  l_chart_pairs l = prepare_l_chart(l_capture, setup);
  size_working_pair(l_capture, setup.working.rotated, l.l_rect_pair);

  int n_main = 0, n_aux = 0;
  if (!detect_l_chart(l.l_pair, setup, n_main, n_aux, result.details)) return false;
  const int32_t n_L = pair_and_filter(l.l_pair, setup, n_main, n_aux);
  note_paired(result.details, "main L", n_L);
  note_paired(result.details, "aux L", n_L);
  if (!calibrate_l_chart(l.l_pair, l.l_rect_pair.aux_points, n_L, setup, result)) return false;
  l_only_results(setup, l.l_pair, l.l_rect_pair, result);

  result.l_main_points = std::move(l.l_pair.main_points);
  result.l_aux_points = std::move(l.l_pair.aux_points);
  result.l_point_count = n_L;
  return true;
}

bool calibrate_flat_only(const zorvel_capture_pair& flat_capture,
                         const zorvel_calibration_setup& setup, zorvel_l_chart_calibration earlier,
                         zorvel_calibration_result& result) {
  flat_chart_pairs flat = prepare_flat_chart(flat_capture, setup);
  result.model = earlier.model;
  result.l_distance_error_percent = earlier.l_distance_error_percent;

  int32_t n_F = 0;
  if (!flat_chart_or_fail(setup, flat, result, n_F)) return false;
  flat_only_results(setup, earlier.main_points, earlier.aux_points, earlier.point_count,
                    flat.flat_pair, flat.flat_work_pair, n_F, result);
  return true;
}

}  // namespace zorvel
