// The two chart detectors: equalise, score saddles, keep window maxima, find
// the origin and label the grid. They differ only in window geometry, list
// capacity and the labelling of one or two boards.
#include <cstdio>
#include <vector>

#include "detect/corner_candidates.h"
#include "detect/grid_labelling.h"
#include "detect/keypoints.h"
#include "detect/line_search.h"
#include "detect/origin_search.h"

namespace zorvel {
namespace {

int origin_failed() {
  std::printf("Origin detection failed\n");
  return -1;
}

int detect_chart(uint8_t* red, uint8_t* green, uint8_t* blue, int32_t height, int32_t width,
                 zorvel_key_points& set, int32_t mono, const corner_window& window,
                 chart_kind kind) {
  if (height <= 0 || width <= 0 || !red || !green || !blue) return origin_failed();
  const size_t n = static_cast<size_t>(height) * width;
  equalize_brightness(red, green, blue, static_cast<int64_t>(n));

  std::vector<uint8_t> key_point_map(n, 0);
  candidate_list candidates;
  {
    saddle_candidates saddle = compute_saddle_response(green, height, width);
    candidates = keep_window_maxima(saddle, height, width, window, key_point_map);
  }

  pixel_position origin;
  if (mono != 0) {
    int32_t chosen[2];
    find_origin_mono(candidates.cols.data(), candidates.rows.data(),
                     candidates.contrasts.data(), candidates.count(), chosen);
    origin = {chosen[0], chosen[1]};
  } else {
    origin = find_origin_by_marker(red, green, blue, key_point_map.data(), height, width);
  }
  if (origin.row == 0 || origin.col == 0) return origin_failed();

  const gradient_bands bands = compute_gradient_bands(green, height, width);
  const int32_t result = label_grid(key_point_map, bands, origin, kind, set);
  if (result == kNoSecondOrigin) return origin_failed();
  return result;
}

}  // namespace

int detect_l_chart_keypoints(uint8_t* red, uint8_t* green, uint8_t* blue, int32_t height,
                             int32_t width, zorvel_key_points& set, int32_t mono) {
  return detect_chart(red, green, blue, height, width, set, mono, kLChartWindow,
                      chart_kind::l_chart);
}

int detect_flat_chart_keypoints(uint8_t* red, uint8_t* green, uint8_t* blue, int32_t height,
                                int32_t width, zorvel_key_points& set, int32_t mono) {
  return detect_chart(red, green, blue, height, width, set, mono, kFlatChartWindow,
                      chart_kind::flat);
}

}  // namespace zorvel
