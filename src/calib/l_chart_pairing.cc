// L-chart pairing by (Zw, Xw, Yw) and the field-of-view window.
#include "calib/l_chart_pairing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "numerics/checked_convert.h"

namespace zorvel {
namespace {

// 3.14 / 180: the window is computed with this approximation of pi.
constexpr double kDegreesToRadiansApprox = 0.017444444444444446;

void copy_entry(zorvel_key_points& dst, int32_t to, const zorvel_key_points& src, int32_t from) {
  dst.y[to] = src.y[from];
  dst.x[to] = src.x[from];
  dst.Yw[to] = src.Yw[from];
  dst.Xw[to] = src.Xw[from];
  if (!dst.Zw.empty() && !src.Zw.empty()) dst.Zw[to] = src.Zw[from];
}

}  // namespace

int32_t pair_l_chart_points(zorvel_key_points& main_points, zorvel_key_points& aux_points,
                            int32_t main_count, int32_t aux_count) {
  const zorvel_key_points main_copy = main_points;
  const zorvel_key_points aux_copy = aux_points;
  // Duplicate labels pair every combination; the list is bounded by what the
  // two sets can hold.
  const size_t room = std::min(main_points.capacity(), aux_points.capacity());
  std::vector<std::pair<int32_t, int32_t>> pairs;
  for (int32_t j = 0; j < aux_count; ++j) {
    for (int32_t i = 0; i < main_count; ++i) {
      if (main_copy.Zw[i] == aux_copy.Zw[j] && main_copy.Xw[i] == aux_copy.Xw[j] &&
          main_copy.Yw[i] == aux_copy.Yw[j] && pairs.size() < room) {
        pairs.emplace_back(i, j);
      }
    }
  }
  for (size_t p = 0; p < pairs.size(); ++p) {
    copy_entry(main_points, static_cast<int32_t>(p), main_copy, pairs[p].first);
    copy_entry(aux_points, static_cast<int32_t>(p), aux_copy, pairs[p].second);
  }
  return static_cast<int32_t>(pairs.size());
}

int32_t filter_points_by_fov(zorvel_key_points& main_points, zorvel_key_points& aux_points,
                             int32_t n, int32_t main_height, int32_t main_width,
                             double width_fov_deg, double height_fov_deg,
                             double target_fov_deg) {
  double target = target_fov_deg;
  if (target < 25.0 || target > 65.0) target = 40.0;
  std::printf("\n FOV Target is %f", target);
  std::printf("\n The FOV is %lf width and height is %ld %ld", target,
              static_cast<long>(main_width), static_cast<long>(main_height));

  const double T = std::tan(target * kDegreesToRadiansApprox * 0.5);
  const int32_t limit_x =
      checked_truncate(T / std::tan(width_fov_deg * kDegreesToRadiansApprox * 0.5) *
                           static_cast<double>(main_width),
                       INT32_MIN, INT32_MAX, 0) /
      2;
  const int32_t limit_y =
      checked_truncate(T / std::tan(height_fov_deg * kDegreesToRadiansApprox * 0.5) *
                           static_cast<double>(main_height),
                       INT32_MIN, INT32_MAX, 0) /
      2;

  int32_t kept = 0;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t d_y = std::abs(main_points.y[i] - main_height / 2);
    const int32_t d_x = std::abs(main_points.x[i] - main_width / 2);
    if (d_y < limit_y && d_x < limit_x) {
      copy_entry(main_points, kept, main_points, i);
      copy_entry(aux_points, kept, aux_points, i);
      ++kept;
    }
  }
  return kept;
}

}  // namespace zorvel
