// Ground truth of one rendered chart: every corner's true position in both
// working images (after resampling to 1280 and dewarping, that is the
// undistorted position in working pixels) with the labels the detector is
// expected to give it, and whether the detector's scans are expected to
// reach it.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/chart.h"
#include "sim/module.h"

namespace zorvel::sim {

enum class reach : int32_t {
  expected = 0,  // inside the scanned region, on an unbroken scan path
  marginal = 1,  // within a few pixels of the region's edge: may or may not be found
  outside = 2,   // not scanned, or beyond a marginal/outside corner on its path
};

struct corner_truth {
  int32_t yw = 0, xw = 0, zw = 0;
  bool labelled = true;  // false for the L chart's fold column
  vec3 world{0, 0, 0};
  double main_row = 0, main_col = 0;  // working pixels
  double aux_row = 0, aux_col = 0;
  reach main_reach = reach::outside;
  reach aux_reach = reach::outside;
};

std::vector<corner_truth> chart_truth(const chart& c, const camera_view& main,
                                      const camera_view& aux);

// Reach of the corners of one camera, from the detector's scan limits.
void classify_reach(const chart& c, const camera_view& v, std::vector<corner_truth>& corners,
                    bool aux);

const char* reach_name(reach r);

}  // namespace zorvel::sim
