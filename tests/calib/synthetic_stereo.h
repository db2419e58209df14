// Exact synthetic key points for calibration tests: two pinhole cameras with a
// known relative rotation and baseline photograph a folded L chart and a flat
// chart. Frames are (row, column, depth) = (down, right, forward), millimetres;
// the main camera sits at the origin, image positions are working pixels.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "detect/chart_pair.h"
#include "calib/calibration_model.h"

namespace zorvel::test {

using mat3 = std::array<double, 9>;

inline mat3 mat_mul(const mat3& a, const mat3& b) {
  mat3 out{};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 3; ++k) out[3 * r + c] += a[3 * r + k] * b[3 * k + c];
  return out;
}

// roll (optical axis) x pitch (column axis) x yaw (row axis), degrees.
inline mat3 rotation_from_angles(double pitch_deg, double yaw_deg, double roll_deg) {
  const double d = 3.141592653589793 / 180.0;
  const double cp = std::cos(pitch_deg * d), sp = std::sin(pitch_deg * d);
  const double cy = std::cos(yaw_deg * d), sy = std::sin(yaw_deg * d);
  const double cr = std::cos(roll_deg * d), sr = std::sin(roll_deg * d);
  const mat3 yaw{1, 0, 0, 0, cy, -sy, 0, sy, cy};
  const mat3 pitch{cp, 0, sp, 0, 1, 0, -sp, 0, cp};
  const mat3 roll{cr, -sr, 0, sr, cr, 0, 0, 0, 1};
  return mat_mul(roll, mat_mul(pitch, yaw));
}

struct synthetic_module {
  double f_main = 1000.0;  // working pixels
  double f_aux = 1000.0;
  double baseline_mm = 20.0;
  int32_t position_flag = 0;  // 0: aux at +column; 1: at -column
  double pitch_deg = 0.0, yaw_deg = 0.0, roll_deg = 0.0;
  int32_t width = 1280, height = 960;

  mat3 rot() const { return rotation_from_angles(pitch_deg, yaw_deg, roll_deg); }
  double aux_column_offset() const { return position_flag == 1 ? -baseline_mm : baseline_mm; }

  // Absolute working-image positions (row, column).
  void project_main(const std::array<double, 3>& p, double& row, double& col) const {
    row = f_main * p[0] / p[2] + height / 2;
    col = f_main * p[1] / p[2] + width / 2;
  }
  void project_aux(const std::array<double, 3>& p, double& row, double& col) const {
    const mat3 R = rot();
    const std::array<double, 3> d{p[0], p[1] - aux_column_offset(), p[2]};
    double q[3];
    for (int r = 0; r < 3; ++r) q[r] = R[3 * r] * d[0] + R[3 * r + 1] * d[1] + R[3 * r + 2] * d[2];
    row = f_aux * q[0] / q[2] + height / 2;
    col = f_aux * q[1] / q[2] + width / 2;
  }
};

struct labelled_point {
  int32_t yw, xw, zw;
  std::array<double, 3> world;
};

// Folded L chart: the centre line (Xw = 0, Zw = 0) at distance_mm, the left
// half (Xw < 0, Zw = 0) and the right half (Xw = Zw >= 1) turned toward the
// camera by half_angle_deg. Ordered like the detector: the centre line first
// (0, up, down), then the other columns.
inline std::vector<labelled_point> l_chart_points(double distance_mm, double square_mm,
                                                  int32_t half_rows = 6, int32_t left = 6,
                                                  int32_t right = 6,
                                                  double half_angle_deg = 30.0) {
  const double a = half_angle_deg * 3.141592653589793 / 180.0;
  auto point = [&](int32_t yw, int32_t xw, int32_t zw) {
    const double along = std::fabs(static_cast<double>(xw)) * square_mm;
    const double col = (xw < 0 ? -along : along) * std::cos(a);
    const double depth = distance_mm - along * std::sin(a);
    return labelled_point{yw, xw, zw, {yw * square_mm, col, depth}};
  };
  std::vector<labelled_point> pts;
  pts.push_back(point(0, 0, 0));
  for (int32_t r = 1; r <= half_rows; ++r) pts.push_back(point(-r, 0, 0));
  for (int32_t r = 1; r <= half_rows; ++r) pts.push_back(point(r, 0, 0));
  for (int32_t r = -half_rows; r <= half_rows; ++r) {
    for (int32_t c = 1; c <= left; ++c) pts.push_back(point(r, -c, 0));
    for (int32_t c = 1; c <= right; ++c) pts.push_back(point(r, c, c));
  }
  return pts;
}

// Flat chart facing the cameras at distance_mm, origin first.
inline std::vector<labelled_point> flat_chart_points(double distance_mm, double square_mm,
                                                     int32_t half_rows = 8,
                                                     int32_t half_cols = 11) {
  std::vector<labelled_point> pts;
  pts.push_back({0, 0, 0, {0.0, 0.0, distance_mm}});
  for (int32_t r = -half_rows; r <= half_rows; ++r) {
    for (int32_t c = -half_cols; c <= half_cols; ++c) {
      if (r == 0 && c == 0) continue;
      pts.push_back({r, c, 0, {r * square_mm, c * square_mm, distance_mm}});
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
    double row, col;
    m.project_main(pts[i].world, row, col);
    main.y[i] = static_cast<int32_t>(std::lround(row));
    main.x[i] = static_cast<int32_t>(std::lround(col));
    m.project_aux(pts[i].world, row, col);
    aux.y[i] = static_cast<int32_t>(std::lround(row));
    aux.x[i] = static_cast<int32_t>(std::lround(col));
    for (zorvel_key_points* s : {&main, &aux}) {
      s->Yw[i] = pts[i].yw;
      s->Xw[i] = pts[i].xw;
      s->Zw[i] = pts[i].zw;
    }
  }
}

// The calibration's setup for this module, with the fields of view derived
// the way the run derives them (float K, atan of a float argument narrowed
// to float).
inline zorvel_calibration_setup setup_for(const synthetic_module& m, double l_distance_mm,
                                          double flat_distance_mm, double square_mm) {
  zorvel_calibration_setup s;
  const float K = 114.59155f;
  const auto fov = [&](float extent_px, float focal_px) {
    return K * static_cast<float>(std::atan(static_cast<double>(extent_px / focal_px * 0.5f)));
  };
  for (zorvel_calib_camera* c : {&s.main, &s.aux}) {
    c->width = m.width;
    c->height = m.height;
    c->focal_length_ratio_l = c->focal_length_ratio_flat = 1.0f;
  }
  s.main.focal_px = static_cast<float>(m.f_main);
  s.aux.focal_px = static_cast<float>(m.f_aux);
  s.main.fov_h_deg = fov(1280.0f, s.main.focal_px);
  s.main.fov_v_deg = fov(static_cast<float>(m.height), s.main.focal_px);
  s.aux.fov_h_deg = fov(1280.0f, s.aux.focal_px);
  s.aux.fov_v_deg =
      fov(static_cast<float>(m.height) * 1280.0f / static_cast<float>(m.width), s.aux.focal_px);
  s.charts.square_size_mm = static_cast<float>(square_mm);
  s.charts.baseline_mm = static_cast<float>(m.baseline_mm);
  s.charts.main_aux_position_flag = m.position_flag;
  s.charts.l_chart_distance_mm = static_cast<float>(l_distance_mm);
  s.charts.flat_chart_distance_mm = static_cast<float>(flat_distance_mm);
  s.charts.fov_used_for_computation = 40;
  s.max_hd_variation_allowed = s.max_vd_variation_allowed = 1.0f;
  s.metrics = {80, 95};
  return s;
}

// A result whose model starts from the setup's focal lengths, as the
// calibrations start it.
inline zorvel_calibration_result result_for(const zorvel_calibration_setup& s) {
  zorvel_calibration_result r;
  r.model.main_focal_px = s.main.focal_px;
  r.model.aux_focal_px = s.aux.focal_px;
  return r;
}

}  // namespace zorvel::test
