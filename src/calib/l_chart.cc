// L-chart calibration. The row equation of every pair gives a homogeneous
// 6-unknown system for the first and third rows of the aux-to-main projection;
// the yaw, which rows barely constrain, is set from the disparity the baseline
// should produce at the chart distance measured on the chart's centre line.
#include "calib/l_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "numerics/checked_convert.h"

namespace zorvel {
namespace {

constexpr double kPi = 3.141592653589793;

void ensure_capacity(zorvel_key_points& set, int32_t n) {
  const size_t needed = static_cast<size_t>(n);
  if (set.y.size() < needed) set.y.resize(needed);
  if (set.x.size() < needed) set.x.resize(needed);
  if (set.Yw.size() < needed) set.Yw.resize(needed);
  if (set.Xw.size() < needed) set.Xw.resize(needed);
  if (set.Zw.size() < needed) set.Zw.resize(needed);
}

bool refuse() {
  std::printf("%s", kLChartTooFewPoints);
  return false;
}

}  // namespace

void solve_homogeneous6(const zorvel_matrix& rows, int32_t n, double h[6]) {
  (void)n;  // rows carries its own row count
  const zorvel_matrix t = matrix_transpose(rows);
  zorvel_matrix normal;
  matrix_multiply(t, rows, normal);
  zorvel_matrix vectors(6, 6);
  double values[6] = {};
  jacobi_eigen6(normal, vectors, values);
  const int32_t k = index_of_min(values, 6);
  for (int32_t r = 0; r < 6; ++r) h[r] = vectors[r][k];
  if (h[0] < 0.0) {
    for (int32_t r = 0; r < 6; ++r) h[r] = -h[r];
  }
}

namespace {

// Centres both sets on their images (integer halves).
void centre_points(zorvel_chart_pair& pair, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    pair.aux_points.y[i] -= pair.aux_height / 2;
    pair.aux_points.x[i] -= pair.aux_width / 2;
    pair.main_points.y[i] -= pair.main_height / 2;
    pair.main_points.x[i] -= pair.main_width / 2;
  }
}

// The lowest and highest labelled corners of the aux centre line (Xw = 0,
// Zw = 0); both start at label 0, index 0.
struct centre_line {
  int32_t lowest = 0, highest = 0;
  int32_t i_low = 0, i_high = 0;
};

centre_line centre_line_extremes(const zorvel_key_points& aux, int32_t n) {
  centre_line c;
  for (int32_t i = 0; i < n; ++i) {
    if (aux.Xw[i] != 0 || aux.Zw[i] != 0) continue;
    if (aux.Yw[i] < c.lowest) {
      c.lowest = aux.Yw[i];
      c.i_low = i;
    }
    if (aux.Yw[i] > c.highest) {
      c.highest = aux.Yw[i];
      c.i_high = i;
    }
  }
  return c;
}

// First and third rows of the aux-to-main projection from the row equation
// of every pair, as M = [r1; r3 x r1; r3] with unit rows; scale receives the
// norm of the first row before normalising, the focal-length scale.
zorvel_matrix rotation_from_rows(const zorvel_key_points& main, const zorvel_key_points& aux,
                                 int32_t n, double f, double& scale) {
  zorvel_matrix rows(n, 6);
  for (int32_t i = 0; i < n; ++i) {
    const double ya = static_cast<double>(aux.y[i]);
    const double xa = static_cast<double>(aux.x[i]);
    const double ym = static_cast<double>(main.y[i]);
    double* row = rows[i];
    row[0] = f * ya;
    row[1] = f * xa;
    row[2] = f * f;
    row[3] = -ym * ya;
    row[4] = -ym * xa;
    row[5] = -f * ym;
  }
  double h[6];
  solve_homogeneous6(rows, n, h);

  const double norm3 = std::sqrt(h[3] * h[3] + h[4] * h[4] + h[5] * h[5]);
  for (double& v : h) v /= norm3;
  scale = std::sqrt(h[0] * h[0] + h[1] * h[1] + h[2] * h[2]);
  h[0] /= scale;
  h[1] /= scale;
  h[2] /= scale;

  const double* r1 = h;
  const double* r3 = h + 3;
  zorvel_matrix M(3, 3);
  M[0][0] = r1[0];
  M[0][1] = r1[1];
  M[0][2] = r1[2];
  M[1][0] = r3[1] * r1[2] - r3[2] * r1[1];
  M[1][1] = r3[2] * r1[0] - r3[0] * r1[2];
  M[1][2] = r3[0] * r1[1] - r3[1] * r1[0];
  M[2][0] = r3[0];
  M[2][1] = r3[1];
  M[2][2] = r3[2];
  return M;
}

// Mean horizontal disparity of the first k pairs once the aux columns go
// through M (focal length fs = f times the scale).
double mean_disparity(const zorvel_matrix& M, const zorvel_key_points& main,
                      const zorvel_key_points& aux, int32_t k, double f, double fs) {
  double disparity_sum = 0.0;
  for (int32_t i = 0; i < k; ++i) {
    const double y = static_cast<double>(aux.y[i]);
    const double x = static_cast<double>(aux.x[i]);
    const double w = M[2][0] * y + M[2][1] * x + M[2][2] * f;
    const double x2 = fs * (M[1][0] * y + M[1][1] * x + M[1][2] * f) / w;
    disparity_sum += static_cast<double>(main.x[i]) - x2;
  }
  return (1.0 / static_cast<double>(k)) * disparity_sum;
}

// M turned by the yaw psi. The yaw matrix keeps its -t*c and c - t^2
// entries: the stored rotations were always made with them.
zorvel_matrix with_yaw(const zorvel_matrix& M, double psi) {
  const double c = std::cos(psi);
  const double t = std::sin(psi);
  zorvel_matrix yaw(3, 3);
  yaw[0][0] = 1.0;
  yaw[1][1] = c;
  yaw[1][2] = -t * c;
  yaw[2][1] = t;
  yaw[2][2] = c - t * t;
  zorvel_matrix P;
  matrix_multiply(M, yaw, P);
  return P;
}

// The aux points through P alone, truncated toward zero, with the aux labels.
void rectify_by_rotation(const double* p, const zorvel_key_points& aux, int32_t n, double f,
                         double fs, double offset_row, double offset_col,
                         zorvel_key_points& out) {
  ensure_capacity(out, n);
  for (int32_t i = 0; i < n; ++i) {
    const double y = static_cast<double>(aux.y[i]);
    const double x = static_cast<double>(aux.x[i]);
    const double w = p[6] * y + p[7] * x + p[8] * f;
    out.y[i] = coordinate_from(fs * (p[0] * y + p[1] * x + p[2] * f) / w + offset_row);
    out.x[i] = coordinate_from(fs * (p[3] * y + p[4] * x + p[5] * f) / w + offset_col);
    out.Yw[i] = aux.Yw[i];
    out.Xw[i] = aux.Xw[i];
    out.Zw[i] = aux.Zw[i];
  }
}

// RMS vertical disparity of the corners within two squares of the origin
// (any depth label) once the aux points go back through inverse(rot).
double centre_rms(const zorvel_calibration_setup& setup, const zorvel_stereo_model& model,
                  const zorvel_key_points& main, const zorvel_key_points& aux, int32_t n,
                  double f) {
  const std::array<double, 9> check = matrix_invert3(model.rot);
  const float zero_block[18] = {};
  std::vector<double> y_proj(static_cast<size_t>(n)), x_proj(static_cast<size_t>(n));
  project_and_correct_points(check.data(), aux.y.data(), aux.x.data(), n, y_proj.data(),
                             x_proj.data(), zero_block, setup.aux.height, setup.aux.width,
                             static_cast<double>(model.main_focal_px), f,
                             static_cast<double>(model.projection_offset_x),
                             static_cast<double>(model.projection_offset_y));
  int32_t count = 0;
  double sum_sq = 0.0;
  for (int32_t i = 0; i < n; ++i) {
    if (std::abs(aux.Xw[i]) <= 2 && std::abs(aux.Yw[i]) <= 2) {
      const double dv = y_proj[i] - static_cast<double>(main.y[i]);
      sum_sq += dv * dv;
      ++count;
    }
  }
  return count >= 1 ? std::sqrt(sum_sq / static_cast<double>(count)) : 0.0;
}

}  // namespace

bool calibrate_l_chart(zorvel_chart_pair& l_pair, zorvel_key_points& out_points, int32_t n,
                       const zorvel_calibration_setup& setup, zorvel_calibration_result& result) {
  zorvel_key_points& main_points = l_pair.main_points;
  zorvel_key_points& aux_points = l_pair.aux_points;
  const int32_t main_width = l_pair.main_width;
  const int32_t aux_height = l_pair.aux_height;
  zorvel_stereo_model& model = result.model;
  if (n < 6) return refuse();
  const size_t sets_hold = std::min(main_points.capacity(), aux_points.capacity());
  if (static_cast<size_t>(n) > sets_hold || aux_points.Zw.size() < static_cast<size_t>(n)) {
    return refuse();  // more pairs than the sets hold: nothing to calibrate from
  }
  centre_points(l_pair, n);

  // Chart distance: the labelled centre-line span, scaled from d pixels to
  // the full aux height, fills the aux vertical field of view.
  const centre_line line = centre_line_extremes(aux_points, n);
  const double dy = static_cast<double>(aux_points.y[line.i_high] - aux_points.y[line.i_low]);
  const double dx = static_cast<double>(aux_points.x[line.i_high] - aux_points.x[line.i_low]);
  const double d = std::sqrt(dy * dy + dx * dx);
  // The mean disparity runs over the first i_high pairs: i_high is a count.
  const int32_t k = line.i_high;
  if (d == 0.0 || line.highest == line.lowest || k == 0) return refuse();

  const float span_mm =
      static_cast<float>(line.highest - line.lowest) * setup.charts.square_size_mm;
  const float half_fov_v = setup.aux.fov_v_deg * 0.5f / 180.0f;
  const double Z = (static_cast<double>(aux_height) / d) * static_cast<double>(span_mm) * 0.5 /
                   std::tan(static_cast<double>(half_fov_v) * kPi);

  // Width of the main view at Z and the baseline in main pixels there.
  const float half_fov_h = setup.main.fov_h_deg * 0.5f / 180.0f;
  const double W = std::tan(static_cast<double>(half_fov_h) * kPi) * (2.0 * Z);
  const double B =
      static_cast<double>(setup.charts.baseline_mm) / W * static_cast<double>(main_width);

  const double f = static_cast<double>(setup.aux.focal_px);
  double s = 0.0;
  const zorvel_matrix M = rotation_from_rows(main_points, aux_points, n, f, s);
  const double fs = f * s;
  const double mean = mean_disparity(M, main_points, aux_points, k, f, fs);

  // Yaw: the horizontal shift the baseline does not explain, in millimetres
  // on the chart, over Z.
  const double sign = std::pow(-1.0, static_cast<double>(setup.charts.main_aux_position_flag));
  const double psi = (sign * B - mean) / static_cast<double>(main_width) * W / Z;
  const zorvel_matrix P = with_yaw(M, psi);

  rectify_by_rotation(P.data(), aux_points, n, f, fs,
                      static_cast<double>(model.projection_offset_y),
                      static_cast<double>(model.projection_offset_x), out_points);

  // The model keeps the inverse and the main focal length.
  const std::array<double, 9> rot = matrix_invert3(P.data());
  for (int32_t j = 0; j < 9; ++j) model.rot[j] = rot[j];
  model.main_focal_px = static_cast<float>(fs);

  result.rms_vd_center_l = centre_rms(setup, model, main_points, aux_points, n, f);
  std::printf("\n RMS_VD_Center_L_Chart = %f", result.rms_vd_center_l);
  std::printf("\n RMS_VD_Center_L_Chart_END");
  return true;
}

double distance_error_percent(double focal_px, double baseline_mm, double aux_column,
                              double main_column, double nominal_mm) {
  const double z = std::fabs(focal_px * baseline_mm / (aux_column - main_column));
  return std::fabs((1.0 - z / nominal_mm) * 100.0);
}

void l_only_results(const zorvel_calibration_setup& setup, const zorvel_chart_pair& l_pair,
                    const zorvel_chart_pair& rectified_pair, zorvel_calibration_result& result) {
  result.l_distance_error_percent = static_cast<float>(distance_error_percent(
      static_cast<double>(result.model.main_focal_px),
      static_cast<double>(setup.charts.baseline_mm),
      static_cast<double>(rectified_pair.aux_points.x[0]),
      static_cast<double>(l_pair.main_points.x[0]),
      static_cast<double>(setup.charts.l_chart_distance_mm)));
  result.angles = relative_angles(result.model.rot);
}

}  // namespace zorvel
