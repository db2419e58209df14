// Autofocus checks shared by both runs: the focal-length ratio a thin lens of
// focal length f (mm) has when focused at distance d (mm), and how far a
// programmed ratio is from it, in percent. Single precision throughout.
#pragma once

#include <cmath>

#include "calib/flat_chart.h"

namespace zorvel {

// d / (d - f), or 1.0 when d - f or f is 0 or the ratio leaves [0.95, 1.035].
inline float theoretical_fl_ratio(float distance_mm, float focal_mm) {
  return fl_ratio_at_distance(distance_mm, focal_mm);
}

// |T - R| / T x 100.
inline float ratio_deviation_percent(float theoretical, float programmed) {
  return std::fabs(theoretical - programmed) / theoretical * 100.0f;
}

}  // namespace zorvel
