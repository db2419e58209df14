// Per-pixel rectification of the aux image through the calibrated rotation
// and geometry correction, the aux-plane copy, and the fit of the correction
// polynomial in projected coordinates. Pixel (row, column), 0 at the top-left.
#pragma once

#include <cstdint>

#include "common/vector_isa.h"
#include "detect/chart_pair.h"

namespace zorvel {

// Fills destination's aux planes (W x H each, resized when smaller) from
// source's aux planes: every destination pixel looks up its source position
// through R (9 doubles, row-major), depth Z, focal length fa, the offsets and
// the 18-float correction g (column polynomial 0..8, row polynomial 9..17),
// then interpolates bilinearly. Returns 0, or -1 (nothing written) when the
// source planes are smaller than W x H or W or H is below 2.
int rectify_aux(const zorvel_chart_pair& source, zorvel_chart_pair& destination, float Z,
                const double R[9], float fa, int32_t H, int32_t W, float o_row, float o_col,
                const float g[18], vector_isa isa = best_vector_isa());

// Copies source's three aux planes (width x height bytes each) over
// destination's, resizing them when smaller.
void copy_aux_planes(const zorvel_chart_pair& source, zorvel_chart_pair& destination,
                     int32_t height, int32_t width);

// Fits the image form of the correction g (which maps points) over a grid of
// 13 steps per side of a width x height image, through R at depth Z with
// focal length f and the two offsets (added to rows, then columns); out
// receives 18 floats. Returns the number of grid points, or 0 (out
// untouched) when a side is below 13 pixels.
int32_t fit_inverse_correction(const double R[9], const float g[18], float out[18], int32_t width,
                               int32_t height, float Z, float f, float row_offset,
                               float col_offset);

}  // namespace zorvel
