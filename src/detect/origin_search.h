// Choice of the chart origin among the detected corners: on a colour sensor
// the corner whose surroundings are greenest (the chart's green mark), on a
// monochrome sensor the weakest-contrast corner of the middle of the list.
#pragma once

#include <cstdint>

namespace zorvel {

struct pixel_position {
  int32_t row = 0;
  int32_t col = 0;
};

// Scans key_point_map (1 = corner) over rows 150 ... height - 151 and columns
// 200 ... width - 201 for the smallest (B + R) / (G + 1) over a 6 x 6 block.
// Returns (0, 0) when there is none (also when height is below 301).
pixel_position find_origin_by_marker(const uint8_t* red, const uint8_t* green,
                                     const uint8_t* blue, const uint8_t* key_point_map,
                                     int32_t height, int32_t width);

// Scores the candidates of the middle half of the list against their nearest
// neighbours and writes the chosen one's row to out[0] and column to out[1];
// (0, 0) when the list is empty.
void find_origin_mono(const int32_t* columns, const int32_t* rows, const double* contrasts,
                      int32_t n, int32_t out[2]);

}  // namespace zorvel
