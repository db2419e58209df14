// Debug files of the calibration (run mode 4), written into the working
// directory under fixed names. A file that cannot be written is skipped.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "detect/chart_pair.h"

namespace zorvel {

// BMP of three planes; nothing is written when the red plane does not exist.
void write_debug_image(const char* file_name, const std::vector<uint8_t>& r,
                       const std::vector<uint8_t>& g, const std::vector<uint8_t>& b,
                       int32_t width, int32_t height);

// The lines "1 " and the count ("%d \n"), then one value per line ("%f \n").
void write_double_list(const double* values, int32_t count, const char* file_name);

// The first n entries of set's columns y, x, Yw, Xw, Zw, one column per name
// in that order (fewer names write fewer columns), as integer lists.
void write_point_lists(const zorvel_key_points& set, int32_t n,
                       std::initializer_list<const char*> names);

}  // namespace zorvel
