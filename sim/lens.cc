// Forward and inverse radial distortion in the library's dewarp form.
#include "sim/lens.h"

#include <cmath>
#include <utility>

namespace zorvel::sim {

bool dewarp_model::active() const {
  return coeff[0] != 0.0 || coeff[1] != 0.0 || coeff[2] != 0.0 || coeff[3] != 0.0;
}

double distortion_factor(const dewarp_model& m, double r2) {
  const auto& c = m.coeff;
  return 1.0 + c[0] + c[1] * r2 + c[2] * r2 * r2 + c[3] * r2 * r2 * r2;
}

void distort_normalised(const dewarp_model& m, double py, double px, double* dy, double* dx) {
  const double k = distortion_factor(m, py * py + px * px);
  *dy = k * py;
  *dx = k * px;
}

bool undistort_normalised(const dewarp_model& m, double dy, double dx, double* py, double* px) {
  const double rd = std::sqrt(dy * dy + dx * dx);
  if (rd == 0.0 || !m.active()) {
    const double k = distortion_factor(m, 0.0);
    *py = dy / k;
    *px = dx / k;
    return true;
  }
  // Solve g(r) = r * factor(r^2) - rd = 0 for the undistorted radius r.
  const auto& c = m.coeff;
  double r = rd / distortion_factor(m, rd * rd);
  bool converged = false;
  for (int it = 0; it < 50; ++it) {
    const double r2 = r * r;
    const double g = r * distortion_factor(m, r2) - rd;
    const double dg = 1.0 + c[0] + 3.0 * c[1] * r2 + 5.0 * c[2] * r2 * r2 + 7.0 * c[3] * r2 * r2 * r2;
    if (dg <= 0.0) break;
    const double step = g / dg;
    r -= step;
    if (std::fabs(step) < 1e-14 * (1.0 + r)) {
      converged = true;
      break;
    }
  }
  const double k = r / rd;
  *py = dy * k;
  *px = dx * k;
  return converged;
}

std::array<double, 5> fit_warp_coefficients(const dewarp_model& m, double reference_px,
                                            double max_radius_px) {
  std::array<double, 5> w{};
  if (!m.active()) return w;
  // Normal equations of min sum (rho_d * (basis . w) - (rho_u - rho_d))^2.
  double ata[4][5] = {};
  const int samples = 400;
  for (int k = 1; k <= samples; ++k) {
    const double rho_d = max_radius_px * k / samples;
    double py = 0, px = 0;
    undistort_normalised(m, 0.0, rho_d / static_cast<double>(m.reference), &py, &px);
    const double rho_u = px * static_cast<double>(m.reference);
    const double s2 = (rho_d / reference_px) * (rho_d / reference_px);
    const double basis[4] = {rho_d, rho_d * s2, rho_d * s2 * s2, rho_d * s2 * s2 * s2};
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) ata[r][c] += basis[r] * basis[c];
      ata[r][4] += basis[r] * (rho_u - rho_d);
    }
  }
  // Gauss-Jordan with partial pivoting on the 4 x 5 system.
  for (int c = 0; c < 4; ++c) {
    int pivot = c;
    for (int r = c + 1; r < 4; ++r)
      if (std::fabs(ata[r][c]) > std::fabs(ata[pivot][c])) pivot = r;
    for (int k = 0; k < 5; ++k) std::swap(ata[c][k], ata[pivot][k]);
    for (int r = 0; r < 4; ++r) {
      if (r == c) continue;
      const double f = ata[r][c] / ata[c][c];
      for (int k = c; k < 5; ++k) ata[r][k] -= f * ata[c][k];
    }
  }
  for (int c = 0; c < 4; ++c) w[c] = ata[c][4] / ata[c][c];
  return w;
}

double dewarp_indicator(const std::array<double, 5>& c) {
  if (c[0] > 0) return c[0];
  if (c[1] - c[0] > 0) return c[1];
  if (c[2] - c[1] > 0) return c[2];
  if (c[3] - c[2] > 0) return c[3];
  if (c[4] - c[3] > 0) return c[4];
  return -c[4];
}

double choose_indicator_coefficient(const std::array<double, 5>& c) {
  // A small value of either sign that the scan returns as a non-zero D.
  return c[3] < 0.001 ? 0.001 : -0.001;
}

}  // namespace zorvel::sim
