// Calibration charts as planar boards in the world (main-camera frame, mm).
// A board carries part of one checkerboard whose pattern coordinates (u along
// columns, v along rows, mm) are 0 at the origin corner; square (i, j) covers
// v in [i, i + 1) and u in [j, j + 1) squares and is light when i + j is even,
// so the two light squares touching the origin diagonally are (-1, -1) and
// (0, 0): those are the green marker.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/geometry.h"

namespace zorvel::sim {

struct reflectance {
  float r = 0.0f, g = 0.0f, b = 0.0f;
};

struct chart_colours {
  reflectance white{0.92f, 0.92f, 0.92f};
  reflectance black{0.06f, 0.06f, 0.06f};
  reflectance green{0.05f, 0.80f, 0.15f};
  reflectance background{0.45f, 0.45f, 0.45f};
};

struct board {
  vec3 anchor{0, 0, 0};   // world position of pattern point (anchor_u, 0)
  double anchor_u = 0.0;  // mm
  vec3 axis_u{0, 1, 0};   // unit, world direction of increasing u
  vec3 axis_v{1, 0, 0};   // unit, world direction of increasing v (down the chart)
  double u_min = 0, u_max = 0, v_min = 0, v_max = 0;  // board extent, mm (margin included)
};

struct chart {
  double square_mm = 20.0;
  int32_t row_min = 0, row_max = 0;  // squares i in [row_min, row_max)
  int32_t col_min = 0, col_max = 0;  // squares j in [col_min, col_max)
  bool marker = true;
  bool l_chart = false;
  int32_t fold_col = 1;  // L chart: the corner column on the fold
  std::vector<board> boards;
  chart_colours colours;
};

// Ray hit: board index (-1 for the background) and pattern coordinates.
struct chart_hit {
  int32_t board = -1;
  double u = 0.0, v = 0.0;
};

chart_hit intersect(const chart& c, const vec3& origin, const vec3& dir);

// World position of pattern coordinates on a board.
vec3 board_point(const board& b, double u, double v);

// Colour at a hit, and a key that is equal for two hits inside the same
// uniformly coloured cell (so a pixel whose four corners share it is flat).
reflectance colour_at(const chart& c, const chart_hit& h);
int64_t cell_key(const chart& c, const chart_hit& h);

// Labelled chart corner: pattern indices and the labels the detector gives it.
struct chart_corner {
  int32_t row = 0, col = 0;  // corner between squares (row-1, row) and (col-1, col)
  vec3 world{0, 0, 0};
  int32_t yw = 0, xw = 0, zw = 0;
  bool labelled = true;  // false for the L chart's fold column, which is skipped
};

std::vector<chart_corner> chart_corners(const chart& c);

// A flat chart: one board, squares rows [row_min, row_max) x cols [col_min,
// col_max), origin corner at world point `origin`, tilted by yaw/pitch/roll
// (degrees) about its origin; margin of white around the squares.
struct flat_chart_design {
  double square_mm = 30.0;
  int32_t row_min = -8, row_max = 9, col_min = -12, col_max = 12;
  double margin_mm = 30.0;
  vec3 origin{0, 0, 800};
  double tilt_yaw_deg = 0.0, tilt_pitch_deg = 0.0, tilt_roll_deg = 0.0;
};
chart make_flat_chart(const flat_chart_design& d);

// An L chart: one checkerboard folded along corner column fold_col (= 1) into
// a V whose fold is farthest from the camera, each half turned half_angle_deg
// from fronto-parallel. The origin (corner column 0, the left half's last
// column) sits at world point `origin`; the chart may be turned about its
// origin by small extra angles.
struct l_chart_design {
  double square_mm = 20.0;
  int32_t row_min = -9, row_max = 10, col_min = -11, col_max = 14;
  double margin_mm = 20.0;
  double half_angle_deg = 30.0;
  vec3 origin{0, 0, 450};
  double tilt_yaw_deg = 0.0, tilt_pitch_deg = 0.0, tilt_roll_deg = 0.0;
};
chart make_l_chart(const l_chart_design& d);

}  // namespace zorvel::sim
