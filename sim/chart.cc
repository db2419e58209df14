// Chart boards: ray intersection, pattern colours and corner labels.
#include "sim/chart.h"

#include <cmath>
#include <limits>

namespace zorvel::sim {

vec3 board_point(const board& b, double u, double v) {
  return add(b.anchor, add(scale(b.axis_u, u - b.anchor_u), scale(b.axis_v, v)));
}

chart_hit intersect(const chart& c, const vec3& origin, const vec3& dir) {
  chart_hit best;
  double best_t = std::numeric_limits<double>::infinity();
  for (size_t k = 0; k < c.boards.size(); ++k) {
    const board& b = c.boards[k];
    const vec3 n = cross(b.axis_u, b.axis_v);
    const double denom = dot(n, dir);
    if (std::fabs(denom) < 1e-12) continue;
    const double t = dot(n, sub(b.anchor, origin)) / denom;
    if (t <= 0.0 || t >= best_t) continue;
    const vec3 rel = sub(add(origin, scale(dir, t)), b.anchor);
    const double u = b.anchor_u + dot(rel, b.axis_u);
    const double v = dot(rel, b.axis_v);
    if (u < b.u_min || u > b.u_max || v < b.v_min || v > b.v_max) continue;
    best_t = t;
    best.board = static_cast<int32_t>(k);
    best.u = u;
    best.v = v;
  }
  return best;
}

namespace {
bool in_squares(const chart& c, int64_t i, int64_t j) {
  return i >= c.row_min && i < c.row_max && j >= c.col_min && j < c.col_max;
}
}  // namespace

reflectance colour_at(const chart& c, const chart_hit& h) {
  if (h.board < 0) return c.colours.background;
  const int64_t i = static_cast<int64_t>(std::floor(h.v / c.square_mm));
  const int64_t j = static_cast<int64_t>(std::floor(h.u / c.square_mm));
  if (!in_squares(c, i, j)) return c.colours.white;  // margin
  if (((i + j) & 1) != 0) return c.colours.black;
  if (c.marker && ((i == -1 && j == -1) || (i == 0 && j == 0))) return c.colours.green;
  return c.colours.white;
}

int64_t cell_key(const chart& c, const chart_hit& h) {
  if (h.board < 0) return -1;
  const int64_t board_part = (static_cast<int64_t>(h.board) + 1) * 1000000000000LL;
  const int64_t i = static_cast<int64_t>(std::floor(h.v / c.square_mm));
  const int64_t j = static_cast<int64_t>(std::floor(h.u / c.square_mm));
  if (!in_squares(c, i, j)) return board_part;
  return board_part + (i + 500000) * 1000000 + (j + 500000);
}

std::vector<chart_corner> chart_corners(const chart& c) {
  std::vector<chart_corner> out;
  for (int32_t i = c.row_min + 1; i < c.row_max; ++i) {
    for (int32_t j = c.col_min + 1; j < c.col_max; ++j) {
      chart_corner k;
      k.row = i;
      k.col = j;
      const double u = j * c.square_mm, v = i * c.square_mm;
      k.yw = i;
      if (!c.l_chart || j < c.fold_col) {
        k.world = board_point(c.boards[0], u, v);
        k.xw = j;
      } else if (j == c.fold_col) {
        k.world = board_point(c.boards[0], u, v);
        k.labelled = false;
      } else {
        k.world = board_point(c.boards[1], u, v);
        k.xw = j - c.fold_col;
        k.zw = k.xw;
      }
      out.push_back(k);
    }
  }
  return out;
}

namespace {
// Turns a board about the world point `pivot`.
board turned(board b, const mat3& r, const vec3& pivot) {
  b.anchor = add(pivot, times(r, sub(b.anchor, pivot)));
  b.axis_u = times(r, b.axis_u);
  b.axis_v = times(r, b.axis_v);
  return b;
}
}  // namespace

chart make_flat_chart(const flat_chart_design& d) {
  chart c;
  c.square_mm = d.square_mm;
  c.row_min = d.row_min;
  c.row_max = d.row_max;
  c.col_min = d.col_min;
  c.col_max = d.col_max;
  board b;
  b.anchor = d.origin;
  b.u_min = d.col_min * d.square_mm - d.margin_mm;
  b.u_max = d.col_max * d.square_mm + d.margin_mm;
  b.v_min = d.row_min * d.square_mm - d.margin_mm;
  b.v_max = d.row_max * d.square_mm + d.margin_mm;
  const mat3 r = rotation_from_angles_deg(d.tilt_pitch_deg, d.tilt_yaw_deg, d.tilt_roll_deg);
  c.boards.push_back(turned(b, r, d.origin));
  return c;
}

chart make_l_chart(const l_chart_design& d) {
  chart c;
  c.square_mm = d.square_mm;
  c.row_min = d.row_min;
  c.row_max = d.row_max;
  c.col_min = d.col_min;
  c.col_max = d.col_max;
  c.l_chart = true;
  c.fold_col = 1;
  const double a = d.half_angle_deg * kRadPerDeg;
  const double fold_u = c.fold_col * d.square_mm;
  // Left half rises in depth towards the fold, the right half falls again.
  board left;
  left.anchor = d.origin;
  left.anchor_u = 0.0;
  left.axis_u = {0.0, std::cos(a), std::sin(a)};
  left.u_min = d.col_min * d.square_mm - d.margin_mm;
  left.u_max = fold_u;
  left.v_min = d.row_min * d.square_mm - d.margin_mm;
  left.v_max = d.row_max * d.square_mm + d.margin_mm;
  board right = left;
  right.anchor = board_point(left, fold_u, 0.0);
  right.anchor_u = fold_u;
  right.axis_u = {0.0, std::cos(a), -std::sin(a)};
  right.u_min = fold_u;
  right.u_max = d.col_max * d.square_mm + d.margin_mm;
  const mat3 r = rotation_from_angles_deg(d.tilt_pitch_deg, d.tilt_yaw_deg, d.tilt_roll_deg);
  c.boards.push_back(turned(left, r, d.origin));
  c.boards.push_back(turned(right, r, d.origin));
  return c;
}

}  // namespace zorvel::sim
