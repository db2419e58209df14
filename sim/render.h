// Image formation of one simulated capture: the chart seen through one
// camera, anti-aliased by supersampling the pixels an edge crosses, lit with
// vignetting and uneven light, optionally blurred, with sensor noise that is
// a pure function of the noise key, and stored in file orientation.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/chart.h"
#include "sim/module.h"

namespace zorvel::sim {

struct imaging_model {
  double exposure = 1.0;            // multiplies every intensity
  double vignetting = 0.2;          // relative fall-off at the image corners (quadratic in radius)
  double uneven_light_min = 1.0;    // light falls linearly across the scene width to this share
  double blur_sigma_working = 0.0;  // Gaussian blur, working pixels
  double noise_read = 1.0;          // noise standard deviation, 8-bit units
  double noise_shot = 0.02;         // noise variance per 8-bit unit of signal
  int32_t supersample = 4;          // samples per pixel side on edge pixels (at least 3)
  int32_t threads = 0;              // 0: as many as the machine has
};

// A capture as stored in the BMP file: three planes, row-major, top row first.
struct capture_image {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> r, g, b;
};

// Renders what `view` sees of chart `c`. The planes are in file orientation:
// the library's quarter turn for rotation_flag brings them back to the scene.
// noise_key and stream (one per capture) decide the noise pattern.
capture_image render_capture(const chart& c, const camera_view& view, const imaging_model& img,
                             int32_t rotation_flag, uint64_t noise_key, uint64_t stream);

// The library's quarter turn ("right" for flag 1, "left" for 2) of a capture,
// returned as a new image; flag 0 returns a copy.
capture_image turn_like_library(const capture_image& file, int32_t rotation_flag);

// Standard normal variate that depends only on (key, stream, index).
double keyed_normal(uint64_t key, uint64_t stream, uint64_t index);

}  // namespace zorvel::sim
