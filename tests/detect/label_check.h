// Checks a labelled set against the true corners of a chart: every entry lies
// within 1.5 px of a corner and carries that corner's labels, and every corner
// of the region the scans cover is found exactly once.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "detect/chart_pair.h"
#include "drawn_chart.h"

namespace zorvel::test {

inline constexpr double kCornerTolerancePx = 1.5;

struct expected_labels {
  int32_t Yw, Xw, Zw;
};

// entries physical entries are checked for position; the last one is not
// counted in the set and skips the depth pass, so only its Yw is checked.
// label_of gives the labels a corner must carry (nullopt: never labelled);
// in_region says whether the scans must find it.
inline void check_labelled_set(const zorvel_key_points& set, int32_t entries,
                               const std::vector<drawn_corner>& corners,
                               const std::function<std::optional<expected_labels>(
                                   const drawn_corner&)>& label_of,
                               const std::function<bool(const drawn_corner&)>& in_region,
                               bool check_depth) {
  std::map<size_t, int> found;
  for (int32_t e = 0; e < entries; ++e) {
    SCOPED_TRACE("entry " + std::to_string(e) + " at (" + std::to_string(set.y[e]) + ", " +
                 std::to_string(set.x[e]) + ")");
    size_t nearest = 0;
    double best = 1e30;
    for (size_t k = 0; k < corners.size(); ++k) {
      const double d = std::hypot(corners[k].row - set.y[e], corners[k].col - set.x[e]);
      if (d < best) {
        best = d;
        nearest = k;
      }
    }
    ASSERT_LE(best, kCornerTolerancePx);
    ++found[nearest];
    const auto labels = label_of(corners[nearest]);
    ASSERT_TRUE(labels.has_value()) << "grid " << corners[nearest].grid_row << ","
                                    << corners[nearest].grid_col;
    EXPECT_EQ(set.Yw[e], labels->Yw);
    if (e == entries - 1) continue;
    EXPECT_EQ(set.Xw[e], labels->Xw);
    if (check_depth) EXPECT_EQ(set.Zw[e], labels->Zw);
  }
  for (size_t k = 0; k < corners.size(); ++k) {
    const int times = found.count(k) ? found[k] : 0;
    if (times > 1) ADD_FAILURE() << "corner found " << times << " times: grid " << corners[k].grid_row << "," << corners[k].grid_col;
    if (times == 0 && in_region(corners[k]) && label_of(corners[k]).has_value()) {
      ADD_FAILURE() << "corner missed: grid " << corners[k].grid_row << ","
                    << corners[k].grid_col << " at (" << corners[k].row << ", "
                    << corners[k].col << ")";
    }
  }
}

// Labels relative to the corner at grid (origin_row, origin_col).
inline std::function<std::optional<expected_labels>(const drawn_corner&)> flat_labels(
    int32_t origin_row, int32_t origin_col) {
  return [=](const drawn_corner& c) -> std::optional<expected_labels> {
    return expected_labels{c.grid_row - origin_row, c.grid_col - origin_col, 0};
  };
}

// The L chart skips the first column right of the origin: the second origin
// is two columns right and is labelled Xw = Zw = 1.
inline std::function<std::optional<expected_labels>(const drawn_corner&)> l_chart_labels(
    int32_t origin_row, int32_t origin_col) {
  return [=](const drawn_corner& c) -> std::optional<expected_labels> {
    const int32_t g = c.grid_col - origin_col;
    if (g == 1) return std::nullopt;
    if (g <= 0) return expected_labels{c.grid_row - origin_row, g, 0};
    return expected_labels{c.grid_row - origin_row, g - 1, g - 1};
  };
}

}  // namespace zorvel::test
