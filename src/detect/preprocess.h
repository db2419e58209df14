// Brings the captures of one chart to the working form: nearest-neighbour
// resampling so the normalised side is 1280 pixels, then removal of each
// camera's radial lens distortion with its dewarp polynomial.
#pragma once

#include <cstdint>

#include "common/vector_isa.h"
#include "detect/chart_pair.h"
#include "image/bmp.h"

namespace zorvel {

// One camera's radial lens model: the dewarp polynomial removes the
// distortion, the warp polynomial puts it back; radii are normalised by the
// reference focal length (working pixels).
struct zorvel_lens_model {
  double dewarp_coeff[5] = {};
  double warp_coeff[5] = {};
  float fl_dewarping_reference = 0.0f;
};

// How the captures of a module become working images.
struct zorvel_working_form {
  bool rotated = false;  // mounted a quarter turn: the 1280-pixel side is the height
  uint8_t crop_percent_for_aux = 0;  // the main camera is cropped like the aux camera
  zorvel_lens_model main_lens;
  zorvel_lens_model aux_lens;
};

// The nearest resampling of one camera's capture (width x height, after any
// quarter turn) to its working size, as a sampled decode takes it; empty
// tables when the capture cannot be resampled.
zorvel_sample_grid working_sample_grid(int32_t width, int32_t height, bool rotated);

// Fills pair from capture at working size and gives it two key-point sets of
// 1200 entries.
void normalize_capture_pair(const zorvel_capture_pair& capture, bool rotated,
                            zorvel_chart_pair& pair);

// The working sizes of both cameras and two key-point sets of 1200 entries,
// no planes: for pairs whose pixels are all written later.
void size_working_pair(const zorvel_capture_pair& capture, bool rotated, zorvel_chart_pair& pair);

// Single value that decides whether a camera is dewarped (D != 0 and D < 1.5).
double dewarp_indicator(const double coeff[5]);

// Dewarp kernel of one camera: dst = src sampled through the polynomial
// k = c0 + c1 r^2 + c2 r^4 + c3 r^6 with radii normalised by F.
void dewarp_planes(const uint8_t* src_r, const uint8_t* src_g, const uint8_t* src_b,
                   uint8_t* dst_r, uint8_t* dst_g, uint8_t* dst_b, int32_t width, int32_t height,
                   float F, uint8_t crop_percent, double c0, double c1, double c2, double c3,
                   vector_isa isa = best_vector_isa());

// Dewarps the aux then the main planes of pair in place; scratch receives the
// working planes.
void dewarp_pair(const zorvel_working_form& form, zorvel_chart_pair& pair,
                 zorvel_chart_pair& scratch);

// normalize_capture_pair followed by the dewarp of the aux camera and, when
// main_too, of the main camera (dewarp_pair's bytes). A camera of a sampled
// capture that is dewarped is sampled straight from the capture's planes, so
// its working copy is never made. scratch gets the working sizes and keeps
// its planes.
void dewarped_working_pair(const zorvel_capture_pair& capture, const zorvel_working_form& form,
                           bool main_too, zorvel_chart_pair& pair, zorvel_chart_pair& scratch);

}  // namespace zorvel
