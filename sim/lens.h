// Radial lens distortion in the form the library removes it: in working-image
// pixels, an undistorted position at normalised offset p = (pos - centre) / F
// is found in the capture at (1 + c0 + c1 r^2 + c2 r^4 + c3 r^6) p, r = |p|.
// The renderer needs the inverse of that mapping, found here by Newton steps.
#pragma once

#include <array>

namespace zorvel::sim {

struct dewarp_model {
  std::array<double, 5> coeff{};  // c0..c4; c4 only feeds the library's indicator
  float reference = 320.0f;       // F, working pixels

  bool active() const;  // true when any of c0..c3 is non-zero
};

// 1 + c0 + c1 r^2 + c2 r^4 + c3 r^6 for r^2 given.
double distortion_factor(const dewarp_model& m, double r2);

// Undistorted normalised offset -> distorted normalised offset.
void distort_normalised(const dewarp_model& m, double py, double px, double* dy, double* dx);

// Distorted normalised offset -> undistorted one, exact to ~1e-12 for the
// monotonic profiles a lens has within the image. Returns false when Newton
// does not converge (profile folds back).
bool undistort_normalised(const dewarp_model& m, double dy, double dx, double* py, double* px);

// Coefficients w0..w3 (w4 = 0) of the inverse polynomial the library uses to
// put the main camera's distortion back onto a rectified image: a pixel at
// distorted offset q (pixels) reads the undistorted image at
// (1 + w0 + w1 s^2 + w2 s^4 + w3 s^6) q with s = |q| / reference_px.
// Least squares over distorted radii up to max_radius_px, weighted so the
// residual is in pixels. All zero when the lens has no distortion.
std::array<double, 5> fit_warp_coefficients(const dewarp_model& m, double reference_px,
                                            double max_radius_px);

// The library's dewarp indicator: the camera is dewarped when it is non-zero
// and below 1.5.
double dewarp_indicator(const std::array<double, 5>& c);

// Picks c4 so that the indicator of (c0..c3, c4) is non-zero and below 1.5
// when the scan reaches c4; c0..c3 must not end the scan at zero themselves.
double choose_indicator_coefficient(const std::array<double, 5>& c);

}  // namespace zorvel::sim
