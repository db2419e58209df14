// Calibration drivers: working pairs, detection, pairing, the chart
// calibrations and the result steps, in the order each chart combination needs.
#include "calib/drivers.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <initializer_list>
#include <vector>

#include "detect/debug_output.h"
#include "calib/flat_chart.h"
#include "calib/l_chart.h"
#include "calib/l_chart_pairing.h"
#include "calib/results.h"
#include "detect/keypoints.h"
#include "detect/preprocess.h"
#include "driver/context.h"

namespace zorvel {
namespace {

// Releases the handed-over pairs when the driver returns, on every path.
class pair_release {
 public:
  pair_release(std::initializer_list<zorvel_chart_pair*> pairs) : pairs_(pairs) {}
  ~pair_release() {
    for (zorvel_chart_pair* p : pairs_) release_chart_pair(*p);
  }
  pair_release(const pair_release&) = delete;
  pair_release& operator=(const pair_release&) = delete;

 private:
  std::vector<zorvel_chart_pair*> pairs_;
};

// Runs a driver body; exceptions from the numerics or allocation end the
// driver with -1 and no message of its own.
template <typename Body>
int32_t guarded(Body&& body) {
  try {
    return body();
  } catch (const std::exception&) {
    return -1;
  }
}

// Detects the L-chart key points of l_pair, aux first. Returns false after
// printing the failing camera's message.
bool detect_l_chart(zorvel_chart_pair& l_pair, const zorvel_calib_context& context,
                    int& n_main, int& n_aux) {
  n_aux = detect_l_chart_keypoints(l_pair.aux_r.data(), l_pair.aux_g.data(), l_pair.aux_b.data(),
                                   l_pair.aux_height, l_pair.aux_width, l_pair.aux_points,
                                   context.aux_sensor_mono_flag);
  if (n_aux < 1) {
    std::printf("Aux L chart image key point detection failed\n");
    return false;
  }
  n_main = detect_l_chart_keypoints(l_pair.main_r.data(), l_pair.main_g.data(),
                                    l_pair.main_b.data(), l_pair.main_height, l_pair.main_width,
                                    l_pair.main_points, context.main_sensor_mono_flag);
  if (n_main < 1) {
    std::printf("Main L chart image key point detection failed\n");
    return false;
  }
  return true;
}

// Pairing on all three labels, then the field-of-view window; returns n_L.
int32_t pair_and_filter(zorvel_chart_pair& l_pair, const zorvel_calib_context& context,
                        int n_main, int n_aux) {
  const int32_t n = pair_l_chart_points(l_pair.main_points, l_pair.aux_points, n_main, n_aux);
  return filter_points_by_fov(l_pair.main_points, l_pair.aux_points, n, l_pair.main_height,
                              l_pair.main_width, static_cast<double>(context.main_fov_h_deg),
                              static_cast<double>(context.main_fov_v_deg),
                              static_cast<double>(context.fov_used_for_computation));
}

int32_t run_l_chart_calibration(zorvel_chart_pair& l_pair, zorvel_chart_pair& l_rect_pair,
                                zorvel_calib_context& context, int32_t n_L) {
  return calibrate_l_chart(l_pair.main_points, l_pair.aux_points, l_rect_pair.aux_points, n_L,
                           l_pair.main_width, l_pair.aux_width, l_pair.main_height,
                           l_pair.aux_height, context);
}

int32_t flat_chart_or_fail(zorvel_calib_context& context, zorvel_chart_pair& flat_pair,
                           zorvel_chart_pair& flat_work_pair) {
  const int32_t n_F = calibrate_flat_chart(context, flat_pair, flat_work_pair);
  if (n_F < 1) std::printf("Error in Flat chart image key point detection!\n");
  return n_F;
}

}  // namespace

int32_t calibrate_l_and_flat(const zorvel_capture_pair& l_capture,
                             const zorvel_capture_pair& flat_capture,
                             zorvel_calib_context& context, zorvel_chart_pair& l_pair,
                             zorvel_chart_pair& l_rect_pair, zorvel_chart_pair& flat_pair,
                             zorvel_chart_pair& flat_work_pair, zorvel_chart_pair& l_scratch,
                             zorvel_chart_pair& flat_scratch) {
  pair_release release{&l_pair, &l_rect_pair, &flat_pair, &flat_work_pair, &l_scratch,
                       &flat_scratch};
  return guarded([&]() -> int32_t {
    const bool debug = context.run_mode == 4;
    normalize_capture_pair(l_capture, context.swap_dimensions != 0, l_pair);
    dewarp_pair(working_form_of(context), l_pair, l_scratch);
    normalize_capture_pair(flat_capture, context.swap_dimensions != 0, flat_pair);
    dewarp_pair(working_form_of(context), flat_pair, flat_scratch);
    normalize_capture_pair(flat_capture, context.swap_dimensions != 0, flat_work_pair);
    normalize_capture_pair(l_capture, context.swap_dimensions != 0, l_rect_pair);
    if (debug) {
      write_debug_image("orig-main-L.bmp", l_pair.main_r, l_pair.main_g, l_pair.main_b,
                        l_pair.main_width, l_pair.main_height);
      write_debug_image("orig-aux-L.bmp", l_pair.aux_r, l_pair.aux_g, l_pair.aux_b,
                        l_pair.aux_width, l_pair.aux_height);
      write_debug_image("orig-main-Flat.bmp", flat_pair.main_r, flat_pair.main_g,
                        flat_pair.main_b, flat_pair.main_width, flat_pair.main_height);
      write_debug_image("orig-aux-Flat.bmp", flat_pair.aux_r, flat_pair.aux_g, flat_pair.aux_b,
                        flat_pair.aux_width, flat_pair.aux_height);
    }

    int n_main = 0, n_aux = 0;
    if (!detect_l_chart(l_pair, context, n_main, n_aux)) return -1;
    if (debug) {
      const zorvel_key_points& m = l_pair.main_points;
      const zorvel_key_points& a = l_pair.aux_points;
      write_point_lists(m, n_main,
                        {"ref_kp_y.txt", "ref_kp_x.txt", "ref_kp_Yw.txt", "ref_kp_Xw.txt",
                         "ref_kp_Zw.txt"});
      write_point_lists(a, n_aux,
                        {"aux_kp_y.txt", "aux_kp_x.txt", "aux_kp_Yw.txt", "aux_kp_Xw.txt",
                         "aux_kp_Zw.txt"});
    }

    const int32_t n_L = pair_and_filter(l_pair, context, n_main, n_aux);
    if (debug) {
      write_point_lists(l_pair.main_points, n_L,
                        {"ref_kp_ym.txt", "ref_kp_xm.txt", "ref_kp_Yw_m.txt", "ref_kp_Xw_m.txt",
                         "ref_kp_Zw_m.txt"});
      write_point_lists(l_pair.aux_points, n_L,
                        {"aux_kp_ym.txt", "aux_kp_xm.txt", "aux_kp_Yw_m.txt", "aux_kp_Xw_m.txt",
                         "aux_kp_Zw_m.txt"});
    }

    if (run_l_chart_calibration(l_pair, l_rect_pair, context, n_L) != 0) return -1;
    const int32_t n_F = flat_chart_or_fail(context, flat_pair, flat_work_pair);
    if (n_F < 1) return -1;
    l_and_flat_results(context, l_pair, flat_pair, l_rect_pair, flat_work_pair, n_L, n_F);

    if (debug) {
      write_int_list(l_pair.main_points.y.data(), n_L, "ref_kp_yf_l_chart.txt");
      write_int_list(l_pair.main_points.x.data(), n_L, "ref_kp_xf_l_chart.txt");
      write_int_list(l_pair.aux_points.y.data(), n_L, "aux_kp_yf_l_chart.txt");
      write_int_list(l_pair.aux_points.x.data(), n_L, "aux_kp_xf_l_chart.txt");
    }
    return 0;
  });
}

int32_t calibrate_l_only(const zorvel_capture_pair& l_capture, zorvel_calib_context& context,
                         zorvel_chart_pair& l_pair, zorvel_chart_pair& l_rect_pair,
                         zorvel_chart_pair& scratch) {
  pair_release release{&l_pair, &l_rect_pair, &scratch};
  return guarded([&]() -> int32_t {
    normalize_capture_pair(l_capture, context.swap_dimensions != 0, l_pair);
    dewarp_pair(working_form_of(context), l_pair, scratch);
    normalize_capture_pair(l_capture, context.swap_dimensions != 0, l_rect_pair);

    int n_main = 0, n_aux = 0;
    if (!detect_l_chart(l_pair, context, n_main, n_aux)) return -1;
    const int32_t n_L = pair_and_filter(l_pair, context, n_main, n_aux);
    if (run_l_chart_calibration(l_pair, l_rect_pair, context, n_L) != 0) return -1;
    l_only_results(context, l_pair, l_rect_pair, n_L);

    store_l_chart_points(context, l_pair.main_points, l_pair.aux_points, n_L);
    return 0;
  });
}

int32_t calibrate_flat_only(const zorvel_capture_pair& flat_capture,
                            zorvel_calib_context& context, zorvel_chart_pair& flat_pair,
                            zorvel_chart_pair& flat_work_pair, zorvel_chart_pair& scratch,
                            std::array<zorvel_key_points, 2>& stored_points,
                            zorvel_otp_interim_data interim) {
  pair_release release{&flat_pair, &flat_work_pair, &scratch};
  struct points_release {
    std::array<zorvel_key_points, 2>& sets;
    ~points_release() { sets = {}; }
  } release_points{stored_points};
  return guarded([&]() -> int32_t {
    // 1. Two four-column sets for the stored L-chart points.
    stored_points[0] = zorvel_key_points(kRestoredPointCapacity, false);
    stored_points[1] = zorvel_key_points(kRestoredPointCapacity, false);

    // 2. Working pairs.
    normalize_capture_pair(flat_capture, context.swap_dimensions != 0, flat_pair);
    dewarp_pair(working_form_of(context), flat_pair, scratch);
    normalize_capture_pair(flat_capture, context.swap_dimensions != 0, flat_work_pair);

    // 3. The model of the earlier L-only run; its points are already centred.
    context.main_focal_length = interim.main_focal_length_px;
    context.aux_focal_length = interim.aux_focal_length_px;
    context.l_chart_distance_error_percent = interim.l_distance_error_percent;
    for (int32_t j = 0; j < 9; ++j) context.rot[j] = static_cast<double>(interim.rot[j]);
    context.projection_offset_x = interim.projection_offset_x;
    context.projection_offset_y = interim.projection_offset_y;
    // The record holds at most 200 points, whatever its count says.
    const int32_t k = static_cast<int32_t>(
        std::min<uint32_t>(interim.l_chart_point_count, kMaxStoredLChartPoints));
    zorvel_key_points& sm = stored_points[0];
    zorvel_key_points& sa = stored_points[1];
    for (int32_t i = 0; i < k; ++i) {
      sm.y[i] = interim.main_l_point_y[i];
      sm.x[i] = interim.main_l_point_x[i];
      sm.Yw[i] = interim.main_l_label_yw[i];
      sm.Xw[i] = interim.main_l_label_xw[i];
      sa.y[i] = interim.aux_l_point_y[i];
      sa.x[i] = interim.aux_l_point_x[i];
      sa.Yw[i] = interim.aux_l_label_yw[i];
      sa.Xw[i] = interim.aux_l_label_xw[i];
    }

    // 4.-5. Flat chart and results.
    const int32_t n_F = flat_chart_or_fail(context, flat_pair, flat_work_pair);
    if (n_F < 1) return -1;
    flat_only_results(context, stored_points.data(), flat_pair, flat_work_pair, k, n_F);
    return 0;
  });
}

}  // namespace zorvel
