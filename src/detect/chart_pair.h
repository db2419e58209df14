// Key-point sets and the image pairs that carry a chart from capture to
// detection. Pixel positions are (row, column) of the working image, 0 at the
// top-left; labels count chart squares from the origin corner.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zorvel {

inline constexpr int32_t kWorkingSide = 1280;            // normalised side of a working image
inline constexpr int32_t kKeyPointCapacity = 1200;       // per chart-pair set
inline constexpr int32_t kRestoredPointCapacity = 500;   // L points from interim data

// Labelled corners of one image as parallel columns; entry 0 is the origin.
// The number of valid entries travels beside the set (detectors return it).
struct zorvel_key_points {
  std::vector<int32_t> y;   // row, pixels
  std::vector<int32_t> x;   // column, pixels
  std::vector<int32_t> Yw;  // row label: 0 on the origin's row, negative above
  std::vector<int32_t> Xw;  // column label: 0 on the origin's column, negative left
  std::vector<int32_t> Zw;  // depth label of the L chart; empty in the four-column form

  zorvel_key_points() = default;
  // Zero-filled columns of `capacity` entries; with_depth = false gives the
  // four-column form used for L-chart points restored from interim data.
  explicit zorvel_key_points(size_t capacity, bool with_depth = true)
      : y(capacity), x(capacity), Yw(capacity), Xw(capacity), Zw(with_depth ? capacity : 0) {}

  size_t capacity() const { return y.size(); }
};

// The oriented captures of one chart as the run hands them over: planes are
// borrowed from the BMP readers, row-major, width x height bytes each, or,
// when `sampled` is set, already reduced to the working size while decoding
// (the sizes stay the captures').
struct zorvel_capture_pair {
  const uint8_t* main_r = nullptr;
  const uint8_t* main_g = nullptr;
  const uint8_t* main_b = nullptr;
  const uint8_t* aux_r = nullptr;
  const uint8_t* aux_g = nullptr;
  const uint8_t* aux_b = nullptr;
  int32_t main_width = 0;
  int32_t main_height = 0;
  int32_t aux_width = 0;
  int32_t aux_height = 0;
  bool sampled = false;
};

// The working pair of one chart: planes at working resolution, owned here
// (an empty vector is a missing plane), and one key-point set per camera.
struct zorvel_chart_pair {
  std::vector<uint8_t> main_r, main_g, main_b;
  std::vector<uint8_t> aux_r, aux_g, aux_b;
  int32_t normalized_side = 0;  // 1280 once filled
  int32_t aux_width = 0;
  int32_t main_width = 0;
  int32_t main_height = 0;
  int32_t aux_height = 0;
  zorvel_key_points main_points;
  zorvel_key_points aux_points;
};

// Frees the six planes and both key-point sets; the record can be refilled.
inline void release_chart_pair(zorvel_chart_pair& pair) { pair = zorvel_chart_pair{}; }

}  // namespace zorvel
