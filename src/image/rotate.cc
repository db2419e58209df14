// Quarter-turn rotation of a decoded capture in place, for camera modules
// mounted turned against the calibration's orientation.
#include <algorithm>
#include <cstdio>
#include <new>

#include "image/bmp.h"

namespace zorvel {
namespace {

// Square tiles keep both the rows read and the rows written in cache.
constexpr uint32_t kTile = 64;

enum class turn { left, right };

// src is W x H (row-major); dst becomes H wide and W tall.
//   left  (counter-clockwise): (y, x) -> row W - 1 - x, column y
//   right (clockwise):         (y, x) -> row x, column H - 1 - y
void turn_plane(const uint8_t* src, uint8_t* dst, uint32_t W, uint32_t H, turn direction) {
  for (uint32_t y0 = 0; y0 < H; y0 += kTile) {
    const uint32_t y1 = std::min(H, y0 + kTile);
    for (uint32_t x0 = 0; x0 < W; x0 += kTile) {
      const uint32_t x1 = std::min(W, x0 + kTile);
      for (uint32_t y = y0; y < y1; ++y) {
        const uint8_t* src_row = src + static_cast<size_t>(y) * W;
        for (uint32_t x = x0; x < x1; ++x) {
          const size_t at = direction == turn::left
                                ? static_cast<size_t>(W - 1 - x) * H + y
                                : static_cast<size_t>(x) * H + (H - 1 - y);
          dst[at] = src_row[x];
        }
      }
    }
  }
}

}  // namespace

std::string to_lower_text(const std::string& text) {
  std::string lowered = text;
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lowered;
}

const char* rotation_direction(uint32_t rotation_flag) {
  if (rotation_flag == 1) return "right";
  if (rotation_flag == 2) return "left";
  return "none";
}

int zorvel_bmp_read::rotate(const std::string& direction) {
  turn direction_turn;
  if (to_lower_text(direction) == "left") {
    direction_turn = turn::left;
  } else if (to_lower_text(direction) == "right") {
    direction_turn = turn::right;
  } else {
    std::printf("\n do nothing");
    return 1;
  }

  if (!image_.has_planes()) return 1;
  const uint32_t W = image_.width;
  const uint32_t H = image_.height;
  const size_t plane_bytes = image_.plane_bytes();
  // One scratch plane, reused for each colour: once it exists nothing can
  // fail, so the image is turned either completely or not at all.
  std::unique_ptr<uint8_t[]> turned;
  try {
    turned = std::make_unique_for_overwrite<uint8_t[]>(plane_bytes);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  for (uint8_t* plane : {image_.r.get(), image_.g.get(), image_.b.get()}) {
    turn_plane(plane, turned.get(), W, H, direction_turn);
    std::copy(turned.get(), turned.get() + plane_bytes, plane);
  }
  return 1;
}

}  // namespace zorvel
