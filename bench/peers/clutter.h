// A working-size scene with no chart in view: overlapping tilted boxes of
// random shades, a light gradient and sensor-like noise, the kind of clutter
// in which a chessboard finder meets many quadrilaterals and none that join
// into the pattern. Always the same image (fixed rng state).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace zorvel::bench {

struct planar_image {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> r, g, b;
};

inline planar_image cluttered_scene(int32_t width, int32_t height) {
  std::mt19937 rng(20240611u);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<double> grey(static_cast<size_t>(width) * height);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) grey[static_cast<size_t>(y) * width + x] = 90.0 + 60.0 * x / width;
  }
  for (int box = 0; box < 600; ++box) {
    const double cx = unit(rng) * width, cy = unit(rng) * height;
    const double half_w = 4.0 + 60.0 * unit(rng) * unit(rng), half_h = 4.0 + 60.0 * unit(rng) * unit(rng);
    const double angle = unit(rng) * 3.14159265358979;
    const double shade = 10.0 + 235.0 * unit(rng);
    const double c = std::cos(angle), s = std::sin(angle);
    const double reach = half_w + half_h;
    const int32_t y0 = std::max(0, static_cast<int32_t>(cy - reach));
    const int32_t y1 = std::min(height - 1, static_cast<int32_t>(cy + reach));
    const int32_t x0 = std::max(0, static_cast<int32_t>(cx - reach));
    const int32_t x1 = std::min(width - 1, static_cast<int32_t>(cx + reach));
    for (int32_t y = y0; y <= y1; ++y) {
      for (int32_t x = x0; x <= x1; ++x) {
        const double u = (x - cx) * c + (y - cy) * s, v = -(x - cx) * s + (y - cy) * c;
        if (std::fabs(u) <= half_w && std::fabs(v) <= half_h) grey[static_cast<size_t>(y) * width + x] = shade;
      }
    }
  }
  std::normal_distribution<double> noise(0.0, 2.0);
  planar_image img;
  img.width = width;
  img.height = height;
  const size_t n = grey.size();
  img.r.resize(n);
  img.g.resize(n);
  img.b.resize(n);
  for (size_t i = 0; i < n; ++i) {
    const auto level = [&](double tint) {
      return static_cast<uint8_t>(std::clamp(grey[i] * tint + noise(rng), 0.0, 255.0));
    };
    img.r[i] = level(1.0);
    img.g[i] = level(0.97);
    img.b[i] = level(0.93);
  }
  return img;
}

}  // namespace zorvel::bench
