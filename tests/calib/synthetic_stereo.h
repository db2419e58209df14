// Exact synthetic key points for calibration tests: two pinhole cameras with a
// known relative rotation and baseline photograph a folded L chart and a flat
// chart. Frames are (row, column, depth) = (down, right, forward), millimetres;
// the main camera sits at the origin, image positions are working pixels.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "calib/calibration_model.h"
#include "detect/chart_pair.h"
#include "sim/geometry.h"

namespace zorvel::test {

struct synthetic_module {
  double f_main = 1000.0, f_aux = 1000.0;  // working pixels
  double baseline_mm = 20.0;
  int32_t position_flag = 0;  // 1: aux at -column, else at +column
  double pitch_deg = 0.0, yaw_deg = 0.0, roll_deg = 0.0;  // working images 1280 x 960

  sim::mat3 rot() const { return sim::rotation_from_angles_deg(pitch_deg, yaw_deg, roll_deg); }
  // Absolute working-image position (row, column) of p in either camera.
  std::array<double, 2> project(const sim::vec3& p, bool aux) const {
    const double offset = position_flag == 1 ? -baseline_mm : baseline_mm;
    const sim::vec3 q = aux ? sim::times(rot(), {p[0], p[1] - offset, p[2]}) : p;
    const double f = aux ? f_aux : f_main;
    return {f * q[0] / q[2] + 480, f * q[1] / q[2] + 640};
  }
};

struct labelled_point {
  int32_t yw, xw, zw;
  sim::vec3 world;
};

// Folded L chart: the centre line (Xw = 0, Zw = 0) at distance_mm, the left
// half (Xw < 0, Zw = 0) and the right half (Xw = Zw >= 1) turned 30 degrees
// toward the camera; 13 rows, 6 columns a side. Ordered like the detector:
// the centre line first (0, up, down), then the other columns.
inline std::vector<labelled_point> l_chart_points(double distance_mm, double square_mm) {
  const double a = 30.0 * sim::kRadPerDeg;
  const auto point = [&](int32_t yw, int32_t xw, int32_t zw) {
    const double along = std::abs(xw) * square_mm;
    const double col = (xw < 0 ? -along : along) * std::cos(a);
    return labelled_point{yw, xw, zw, {yw * square_mm, col, distance_mm - along * std::sin(a)}};
  };
  std::vector<labelled_point> pts{point(0, 0, 0)};
  for (int32_t r = 1; r <= 6; ++r) pts.push_back(point(-r, 0, 0));
  for (int32_t r = 1; r <= 6; ++r) pts.push_back(point(r, 0, 0));
  for (int32_t r = -6; r <= 6; ++r) {
    for (int32_t c = 1; c <= 6; ++c) pts.push_back(point(r, -c, 0));
    for (int32_t c = 1; c <= 6; ++c) pts.push_back(point(r, c, c));
  }
  return pts;
}

// Flat chart facing the cameras at distance_mm, 17 x 23 corners, origin first.
inline std::vector<labelled_point> flat_chart_points(double distance_mm, double square_mm) {
  std::vector<labelled_point> pts{{0, 0, 0, {0.0, 0.0, distance_mm}}};
  for (int32_t r = -8; r <= 8; ++r) {
    for (int32_t c = -11; c <= 11; ++c) {
      if (r != 0 || c != 0) pts.push_back({r, c, 0, {r * square_mm, c * square_mm, distance_mm}});
    }
  }
  return pts;
}

// Rounded absolute positions of the points in both images, labels copied.
inline void fill_sets(const synthetic_module& m, const std::vector<labelled_point>& pts,
                      zorvel_key_points& main, zorvel_key_points& aux) {
  main = zorvel_key_points(kKeyPointCapacity);
  aux = zorvel_key_points(kKeyPointCapacity);
  for (size_t i = 0; i < pts.size(); ++i) {
    for (zorvel_key_points* s : {&main, &aux}) {
      const std::array<double, 2> at = m.project(pts[i].world, s == &aux);
      s->y[i] = static_cast<int32_t>(std::lround(at[0]));
      s->x[i] = static_cast<int32_t>(std::lround(at[1]));
      s->Yw[i] = pts[i].yw;
      s->Xw[i] = pts[i].xw;
      s->Zw[i] = pts[i].zw;
    }
  }
}

// The calibration's setup for this module and charts at 450 mm (L) and 800 mm
// (flat); fields of view as the run derives them (float factor, float atan).
inline zorvel_calibration_setup setup_for(const synthetic_module& m, float square_mm) {
  zorvel_calibration_setup s;
  const auto fov = [](float extent_px, float focal_px) {
    return 114.59155f * static_cast<float>(std::atan(static_cast<double>(extent_px / focal_px * 0.5f)));
  };
  for (zorvel_calib_camera* c : {&s.main, &s.aux}) {
    c->width = 1280;
    c->height = 960;
    c->focal_length_ratio_l = c->focal_length_ratio_flat = 1.0f;
    c->focal_px = static_cast<float>(c == &s.main ? m.f_main : m.f_aux);
    c->fov_h_deg = fov(1280.0f, c->focal_px);
    c->fov_v_deg = fov(960.0f, c->focal_px);
  }
  s.charts = {square_mm, static_cast<float>(m.baseline_mm), 450.0f, 800.0f, m.position_flag, 40};
  s.max_hd_variation_allowed = s.max_vd_variation_allowed = 1.0f;
  s.metrics = {80, 95};
  return s;
}

}  // namespace zorvel::test
