// Checkerboard corner detection on one working image and pairing of two
// labelled sets. Detectors return the number of labelled points, or -1 after
// printing "Origin detection failed\n".
#pragma once

#include <cstdint>

#include "detect/chart_pair.h"

namespace zorvel {

// red, green and blue are equalised in place. mono != 0 for a monochrome sensor.
int detect_l_chart_keypoints(uint8_t* red, uint8_t* green, uint8_t* blue, int32_t height,
                             int32_t width, zorvel_key_points& set, int32_t mono);
int detect_flat_chart_keypoints(uint8_t* red, uint8_t* green, uint8_t* blue, int32_t height,
                                int32_t width, zorvel_key_points& set, int32_t mono);

// Keeps the entries of a and b whose (Yw, Xw) labels agree, compacted in
// place in the order of a; returns the number of pairs.
int match_keypoints_by_label(zorvel_key_points& a, zorvel_key_points& b, int32_t count_a,
                             int32_t count_b);

// Debug lists in the working directory; a file that cannot be created is skipped.
void write_int_list(const int32_t* values, int32_t count, const char* file_name);
void write_rectified_keypoints_debug(const zorvel_chart_pair& main_pair,
                                     const zorvel_chart_pair& aux_pair, int32_t count);

}  // namespace zorvel
