// The two steps between L-chart detection and calibration: pairing main and
// aux corners on all three labels, and keeping only the pairs inside the
// central window a camera of the target field of view would see.
#pragma once

#include <cstdint>

#include "detect/chart_pair.h"

namespace zorvel {

// Pairs every aux point (outer loop) with every main point of equal
// (Zw, Xw, Yw); both sets are rewritten in place so entry p of each is the
// p-th pair. Returns the number of pairs, at most the smaller capacity.
int32_t pair_l_chart_points(zorvel_key_points& main_points, zorvel_key_points& aux_points,
                            int32_t main_count, int32_t aux_count);

// Keeps the pairs whose main point (image coordinates) lies strictly inside
// the window of the target field of view (25 ... 65 degrees, else 40), in
// order, compacting both sets. Angles in degrees. Returns the kept count.
int32_t filter_points_by_fov(zorvel_key_points& main_points, zorvel_key_points& aux_points,
                             int32_t n, int32_t main_height, int32_t main_width,
                             double width_fov_deg, double height_fov_deg,
                             double target_fov_deg);

}  // namespace zorvel
