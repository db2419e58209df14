// Grid column lengths and the index-wise scale difference.
#include "stereo/scale_difference.h"

#include <cmath>
#include <limits>
#include <map>

namespace zorvel {

int32_t grid_column_lengths(const zorvel_key_points& points, int32_t n,
                            std::vector<double>& lengths, int32_t min_count) {
  // Point indices per label, in point order; the map iterates labels in
  // increasing order, and empty labels between lo and hi never qualify.
  std::map<int32_t, std::vector<int32_t>> columns;
  for (int32_t i = 0; i < n; ++i) columns[points.Xw[i]].push_back(i);

  int32_t appended = 0;
  for (const auto& [label, members] : columns) {
    (void)label;
    if (static_cast<int64_t>(members.size()) <= static_cast<int64_t>(min_count)) continue;
    int32_t top = members[0];
    int32_t bottom = members[0];
    for (const int32_t i : members) {
      if (points.y[i] < points.y[top]) top = i;
      if (points.y[i] > points.y[bottom]) bottom = i;
    }
    const double dx = static_cast<double>(points.x[top]) - static_cast<double>(points.x[bottom]);
    const double dy = static_cast<double>(points.y[top]) - static_cast<double>(points.y[bottom]);
    lengths.push_back(std::sqrt(dx * dx + dy * dy));
    ++appended;
  }
  return appended;
}

zorvel_scale_difference scale_difference(const zorvel_key_points& main_points,
                                         const zorvel_key_points& aux_points, int32_t n,
                                         int32_t min_count, zorvel_percent_order order) {
  std::vector<double> a, b;
  grid_column_lengths(main_points, n, a, min_count);
  const int32_t c_b = grid_column_lengths(aux_points, n, b, min_count);
  zorvel_scale_difference result;
  result.aux_columns = c_b;
  if (c_b == 0) {
    result.percent = std::numeric_limits<double>::quiet_NaN();
    return result;
  }
  const bool per_column = order == zorvel_percent_order::per_column;
  double sum = 0.0;
  for (int32_t j = 0; j < c_b; ++j) {
    const double main_length = static_cast<size_t>(j) < a.size() ? a[j] : 0.0;
    const double relative = std::fabs(1.0 - b[j] / main_length);
    sum += per_column ? relative * 100.0 : relative;
  }
  result.percent = per_column ? (1.0 / static_cast<double>(c_b)) * sum
                              : sum / static_cast<double>(c_b) * 100.0;
  return result;
}

}  // namespace zorvel
