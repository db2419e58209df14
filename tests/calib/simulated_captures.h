// Simulated calibration captures for driver tests and benchmarks: the
// simulator renders the L and flat charts of a module, and the run record is
// filled the way the calibration run fills it from that module's
// configuration (unrotated captures).
#pragma once

#include <cmath>
#include <cstdint>
#include <random>

#include "detect/chart_pair.h"
#include "driver/calibration_records.h"
#include "driver/context.h"
#include "otp/otp_record.h"
#include "sim/bundle.h"
#include "sim/presets.h"

namespace zorvel::test {

struct simulated_calibration {
  sim::scenario scenario;
  sim::capture_image main_l, aux_l, main_flat, aux_flat;

  zorvel_capture_pair l_capture() const { return pair_of(main_l, aux_l); }
  zorvel_capture_pair flat_capture() const { return pair_of(main_flat, aux_flat); }

  static zorvel_capture_pair pair_of(const sim::capture_image& m, const sim::capture_image& a) {
    zorvel_capture_pair p;
    p.main_r = m.r.data();
    p.main_g = m.g.data();
    p.main_b = m.b.data();
    p.aux_r = a.r.data();
    p.aux_g = a.g.data();
    p.aux_b = a.b.data();
    p.main_width = m.width;
    p.main_height = m.height;
    p.aux_width = a.width;
    p.aux_height = a.height;
    return p;
  }
};

// The `good` preset at a main capture width of 1280, optionally with a random
// rotation (up to max_angle_deg about each axis) and baseline (15 ... 25 mm).
inline sim::scenario good_module(std::mt19937* rng = nullptr, double max_angle_deg = 2.0) {
  sim::scenario s;
  sim::make_scenario("good", &s);
  s = sim::with_main_width(s, 1280);
  if (rng) {
    std::uniform_real_distribution<double> angle(-max_angle_deg, max_angle_deg), baseline(15.0, 25.0);
    s.module.pitch_deg = angle(*rng);
    s.module.yaw_deg = angle(*rng);
    s.module.roll_deg = angle(*rng);
    s.module.baseline_mm = baseline(*rng);
  }
  return s;
}

inline simulated_calibration render_calibration(const sim::scenario& s, uint64_t noise_key = 1) {
  const sim::scene_charts charts = sim::make_charts(s);
  const sim::scene_views views = sim::make_views(s);
  auto one = [&](const sim::chart& c, const sim::camera_view& v, sim::capture_stream stream) {
    return sim::render_capture(c, v, s.imaging, s.module.rotation_flag, noise_key,
                               static_cast<uint64_t>(stream));
  };
  simulated_calibration out;
  out.scenario = s;
  out.main_l = one(charts.l_chart, views.main_l, sim::capture_stream::main_l);
  out.aux_l = one(charts.l_chart, views.aux_l, sim::capture_stream::aux_l);
  out.main_flat = one(charts.flat_chart, views.main_flat, sim::capture_stream::main_flat);
  out.aux_flat = one(charts.flat_chart, views.aux_flat, sim::capture_stream::aux_flat);
  return out;
}

// Part of the calibration run's record set-up: configuration copies, focal
// lengths in working pixels and fields of view (float K, atan of a float
// argument narrowed to float), rotation flag 0.
inline zorvel_calib_context calibration_context(const sim::scenario& s, uint8_t run_mode = 0) {
  const sim::module_spec& m = s.module;
  zorvel_calib_context c{};
  const float ratio_main_l = static_cast<float>(sim::focus_ratio(s.l_chart_distance_mm(), m.main.focal_length_mm));
  const float ratio_aux_l = static_cast<float>(sim::focus_ratio(s.l_chart_distance_mm(), m.aux.focal_length_mm));
  c.version = kLibraryVersion;
  c.main_focal_length_ratio = ratio_main_l;
  c.aux_focal_length_ratio = ratio_aux_l;
  c.main_focal_length_ratio_flat =
      static_cast<float>(sim::focus_ratio(s.flat_chart_distance_mm(), m.main.focal_length_mm));
  c.aux_focal_length_ratio_flat =
      static_cast<float>(sim::focus_ratio(s.flat_chart_distance_mm(), m.aux.focal_length_mm));
  c.main_focal_length_mm = static_cast<float>(m.main.focal_length_mm);
  c.aux_focal_length_mm = static_cast<float>(m.aux.focal_length_mm);
  c.main_pixel_pitch_mm = static_cast<float>(m.main.pixel_pitch_mm);
  c.aux_pixel_pitch_mm = static_cast<float>(m.aux.pixel_pitch_mm);
  c.main_width = m.main.width;
  c.main_height = m.main.height;
  c.aux_width = m.aux.width;
  c.aux_height = m.aux.height;
  for (int i = 0; i < 5; ++i) {
    c.dewarp_coeff_main[i] = m.main.lens.coeff[i];
    c.dewarp_coeff_aux[i] = m.aux.lens.coeff[i];
  }
  c.fl_dewarping_reference_main = static_cast<float>(m.main.lens.reference);
  c.fl_dewarping_reference_aux = static_cast<float>(m.aux.lens.reference);
  c.main_sensor_mono_flag = m.main.mono ? 1 : 0;
  c.aux_sensor_mono_flag = m.aux.mono ? 1 : 0;

  const float K = 114.59155f;
  auto fov = [K](float arg) { return K * static_cast<float>(std::atan(static_cast<double>(arg))); };
  const float f = c.main_focal_length_mm, p = c.main_pixel_pitch_mm;
  const float fa = c.aux_focal_length_mm * ratio_aux_l, pa = c.aux_pixel_pitch_mm;
  const float mw = static_cast<float>(c.main_width), mh = static_cast<float>(c.main_height);
  const float aw = static_cast<float>(c.aux_width), ah = static_cast<float>(c.aux_height);
  c.main_fov_v_deg = fov(mh * p / f * 0.5f);
  c.main_focal_length = f / (mw / 1280.0f * p);
  c.main_fov_h_deg = fov(1280.0f / c.main_focal_length * 0.5f);
  c.aux_focal_length = fa / (aw / 1280.0f * pa);
  c.aux_fov_h_deg = fov(1280.0f / c.aux_focal_length * 0.5f);
  c.aux_fov_v_deg = fov(ah * 1280.0f / aw / c.aux_focal_length * 0.5f);

  c.calib_square_size_mm = static_cast<float>(s.l_chart.square_mm);
  c.cam_baseline_mm = static_cast<float>(m.baseline_mm);
  c.l_chart_distance_mm = static_cast<float>(s.l_chart_distance_mm());
  c.flat_chart_distance_mm = static_cast<float>(s.flat_chart_distance_mm());
  c.main_aux_position_flag = m.position_flag;
  c.working_width = 1280;
  c.fov_used_for_computation = 40;
  c.max_hd_variation_allowed = c.max_vd_variation_allowed = 1.0f;
  c.percentage_fov_for_metric_calculation = s.limits.fov_percent;
  c.percentile_for_variation_in_disparity = s.limits.percentile;
  c.run_mode = run_mode;
  return c;
}

// The interim record an L-only run hands to a later flat-only run, built as
// the run builds it (the capture sizes, which the flat-only driver does not
// read, stay 0).
inline zorvel_otp_interim_data interim_from(const zorvel_calib_context& c) {
  return build_interim_record(zorvel_calib_config{}, c);
}

}  // namespace zorvel::test
