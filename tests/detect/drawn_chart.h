// Checkerboards drawn directly in the tests: a board that fills the image,
// turned by a small angle, with the two light squares that touch the origin
// corner diagonally coloured green. Pixel (r, c) samples the area around the
// point (r, c), so a corner at (y, x) is expected at pixel (round y, round x).
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace zorvel::test {

struct drawn_corner {
  double row;
  double col;
  int32_t grid_row;  // squares from the origin corner, positive downwards
  int32_t grid_col;  // positive to the right
};

struct drawn_chart {
  int32_t height = 0;
  int32_t width = 0;
  std::vector<uint8_t> r, g, b;
  std::vector<drawn_corner> corners;  // every corner inside the image
};

struct board_layout {
  int32_t height = 960;
  int32_t width = 1280;
  double origin_row = 480.3;
  double origin_col = 640.2;
  double square_px = 64.0;
  double angle_deg = 2.0;     // board turned clockwise by this angle
  bool marker = true;         // green squares at the origin
  bool mono = false;          // grey levels only (marker drawn as light grey)
  double light = 0.92, dark = 0.06;
  double gain = 1.0;          // exposure: every level is multiplied by it
};

inline drawn_chart draw_board(const board_layout& layout) {
  drawn_chart chart;
  chart.height = layout.height;
  chart.width = layout.width;
  const size_t n = static_cast<size_t>(layout.height) * layout.width;
  chart.r.assign(n, 0);
  chart.g.assign(n, 0);
  chart.b.assign(n, 0);
  const double angle = layout.angle_deg * 3.14159265358979 / 180.0;
  const double ca = std::cos(angle), sa = std::sin(angle);
  const double s = layout.square_px;
  auto to_byte = [&](double level) {
    const double v = level * layout.gain * 255.0;
    return static_cast<uint8_t>(v > 255.0 ? 255.0 : v + 0.5);
  };
  constexpr int kSub = 4;  // 4 x 4 samples per pixel
  for (int32_t r = 0; r < layout.height; ++r) {
    for (int32_t c = 0; c < layout.width; ++c) {
      double acc[3] = {0, 0, 0};
      for (int sy = 0; sy < kSub; ++sy) {
        for (int sx = 0; sx < kSub; ++sx) {
          const double y = r - 0.5 + (sy + 0.5) / kSub - layout.origin_row;
          const double x = c - 0.5 + (sx + 0.5) / kSub - layout.origin_col;
          const double u = (x * ca - y * sa) / s;  // board column coordinate
          const double v = (x * sa + y * ca) / s;  // board row coordinate
          const auto iu = static_cast<int64_t>(std::floor(u));
          const auto iv = static_cast<int64_t>(std::floor(v));
          const bool light = ((iu + iv) & 1) == 0;
          const bool green = layout.marker && ((iu == 0 && iv == 0) || (iu == -1 && iv == -1));
          double rgb[3];
          if (!light) {
            rgb[0] = rgb[1] = rgb[2] = layout.dark;
          } else if (green && !layout.mono) {
            rgb[0] = 0.05, rgb[1] = 0.80, rgb[2] = 0.15;
          } else {
            rgb[0] = rgb[1] = rgb[2] = layout.light;
          }
          for (int p = 0; p < 3; ++p) acc[p] += rgb[p];
        }
      }
      const size_t at = static_cast<size_t>(r) * layout.width + c;
      chart.r[at] = to_byte(acc[0] / (kSub * kSub));
      chart.g[at] = to_byte(acc[1] / (kSub * kSub));
      chart.b[at] = to_byte(acc[2] / (kSub * kSub));
    }
  }
  // Corners: board point (u, v) integer -> image position.
  for (int32_t gv = -100; gv <= 100; ++gv) {
    for (int32_t gu = -100; gu <= 100; ++gu) {
      const double x = gu * s * ca + gv * s * sa + layout.origin_col;
      const double y = -gu * s * sa + gv * s * ca + layout.origin_row;
      if (y < 0 || x < 0 || y > layout.height - 1 || x > layout.width - 1) continue;
      chart.corners.push_back({y, x, gv, gu});
    }
  }
  return chart;
}

}  // namespace zorvel::test
