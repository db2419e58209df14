// Brings the captures of one chart to the working form: nearest-neighbour
// resampling so the normalised side is 1280 pixels, then removal of each
// camera's radial lens distortion with its dewarp polynomial.
#pragma once

#include <cstdint>

#include "detect/chart_pair.h"
#include "driver/context.h"

namespace zorvel {

// Fills pair from capture at working size (orientation from
// context.swap_dimensions) and gives it two key-point sets of 1200 entries.
int normalize_capture_pair(const zorvel_capture_pair& capture, const zorvel_calib_context& context,
                           zorvel_chart_pair& pair);

// Single value that decides whether a camera is dewarped (D != 0 and D < 1.5).
double dewarp_indicator(const double coeff[5]);

// Dewarp kernel of one camera: dst = src sampled through the polynomial
// k = c0 + c1 r^2 + c2 r^4 + c3 r^6 with radii normalised by F.
void dewarp_planes(const uint8_t* src_r, const uint8_t* src_g, const uint8_t* src_b,
                   uint8_t* dst_r, uint8_t* dst_g, uint8_t* dst_b, int32_t width, int32_t height,
                   float F, uint8_t crop_percent, double c0, double c1, double c2, double c3);

// Dewarps the aux then the main planes of pair in place; scratch receives the
// working planes.
int dewarp_pair(const zorvel_calib_context& context, zorvel_chart_pair& pair,
                zorvel_chart_pair& scratch, float aux_scale, float main_scale);

// Verification variant: prints the aux indicator and dewarps the aux planes only.
int dewarp_aux_only(const zorvel_calib_context& context, zorvel_chart_pair& pair,
                    zorvel_chart_pair& scratch, float aux_scale);

// Two four-column sets of 500 entries (main first, then aux) for L-chart
// points restored from interim data.
int allocate_restored_point_sets(zorvel_key_points out[2]);

}  // namespace zorvel
