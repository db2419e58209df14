// Origin of the chart: green marker on colour sensors, weakest contrast of
// the middle of the candidate list on monochrome sensors.
#include "detect/origin_search.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "numerics/matrix.h"

namespace zorvel {
namespace {

constexpr int32_t kMarkerRowMargin = 150;
constexpr int32_t kMarkerColMargin = 200;
constexpr int32_t kNeighbours = 7;  // sorted positions 1 ... 7 are compared

struct neighbour_record {
  double distance;
  double contrast;
  int32_t index;  // record number: breaks distance ties in list order
};

}  // namespace

pixel_position find_origin_by_marker(const uint8_t* red, const uint8_t* green,
                                     const uint8_t* blue, const uint8_t* key_point_map,
                                     int32_t height, int32_t width) {
  pixel_position origin;
  if (height - kMarkerRowMargin <= kMarkerRowMargin) return origin;
  double best = 100000.0;
  for (int32_t row = kMarkerRowMargin; row <= height - kMarkerRowMargin - 1; ++row) {
    const uint8_t* map_row = key_point_map + static_cast<size_t>(row) * width;
    for (int32_t col = kMarkerColMargin; col <= width - kMarkerColMargin - 1; ++col) {
      if (map_row[col] != 1) continue;
      // 6 x 6 block: rows and columns -3 ... +2 around the corner.
      int32_t sum_r = 0, sum_g = 0, sum_b = 0;
      for (int32_t r = row - 3; r <= row + 2; ++r) {
        const size_t base = static_cast<size_t>(r) * width;
        for (int32_t c = col - 3; c <= col + 2; ++c) {
          sum_r += red[base + c];
          sum_g += green[base + c];
          sum_b += blue[base + c];
        }
      }
      const double greenness = (sum_b + sum_r) / (sum_g + 1.0);
      if (greenness < best) {
        best = greenness;
        origin = {row, col};
      }
    }
  }
  return origin;
}

void find_origin_mono(const int32_t* columns, const int32_t* rows, const double* contrasts,
                      int32_t n, int32_t out[2]) {
  out[0] = 0;
  out[1] = 0;
  if (n <= 0) return;
  const int32_t q = n / 4;
  std::vector<double> score(static_cast<size_t>(n), 0.0);
  std::vector<neighbour_record> records(static_cast<size_t>(n - 1));
  double t = 0.0;  // carried from one scored candidate to the next
  for (int32_t i = q; i < 3 * q; ++i) {
    // Records outside the middle half (and i itself) are zero records.
    for (int32_t j = 0; j < n - 1; ++j) {
      neighbour_record& rec = records[j];
      rec.index = j;
      if (j >= q && j < 3 * q && j != i) {
        const double dr = static_cast<double>(rows[i]) - rows[j];
        const double dc = static_cast<double>(columns[i]) - columns[j];
        rec.distance = std::sqrt(dr * dr + dc * dc);
        rec.contrast = contrasts[j];
      } else {
        rec.distance = 0.0;
        rec.contrast = 0.0;
      }
    }
    // Only sorted positions 0 ... 7 matter; ties keep list order.
    const size_t keep = std::min<size_t>(records.size(), kNeighbours + 1);
    std::partial_sort(records.begin(), records.begin() + static_cast<ptrdiff_t>(keep),
                      records.end(), [](const neighbour_record& a, const neighbour_record& b) {
                        return a.distance < b.distance ||
                               (a.distance == b.distance && a.index < b.index);
                      });
    const double v = contrasts[i];
    for (int32_t k = 1; k <= kNeighbours; ++k) {
      // Positions beyond the records count as zero records.
      const double p = static_cast<size_t>(k) < records.size() ? records[k].contrast : 0.0;
      const double d = p - v;
      t = (d + t > 0) ? d : -d;
    }
    score[i] = t - 70.0 * v;
  }
  for (double& s : score) {
    if (s == 0.0) s = -100000.0;
  }
  const int32_t chosen = index_of_max(score.data(), n);
  out[0] = rows[chosen];
  out[1] = columns[chosen];
}

}  // namespace zorvel
