// The scattered half of a bilinear warp: for each output pixel of a row, the
// four source bytes around its sample position as two byte pairs (top-left
// with top-right, bottom-left with bottom-right), for all three planes in
// one pass over the positions. The interpolation that follows runs on these
// contiguous pairs, where the compiler can use vectors.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/vector_isa.h"

namespace zorvel {

// Bytes p[0] and p[1] as p[0] | p[1] << 8.
ZORVEL_KERNEL_INLINE uint16_t byte_pair_at(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::big) v = static_cast<uint16_t>(v >> 8 | v << 8);
  return v;
}

// The taps of one row of samples, one array pair per plane.
struct bilinear_taps {
  uint16_t* top[3];
  uint16_t* bottom[3];
};

// top_left[i] is the offset of the top-left neighbour of sample i in planes
// of `stride` bytes per row; the caller guarantees the 2 x 2 block is inside.
ZORVEL_KERNEL_INLINE void gather_bilinear_taps(const uint8_t* const planes[3], size_t stride,
                                               const int32_t* top_left, size_t count,
                                               const bilinear_taps& taps) {
  const uint8_t *p0 = planes[0], *p1 = planes[1], *p2 = planes[2];
  for (size_t i = 0; i < count; ++i) {
    const size_t t = static_cast<size_t>(top_left[i]);
    const size_t b = t + stride;
    taps.top[0][i] = byte_pair_at(p0 + t);
    taps.bottom[0][i] = byte_pair_at(p0 + b);
    taps.top[1][i] = byte_pair_at(p1 + t);
    taps.bottom[1][i] = byte_pair_at(p1 + b);
    taps.top[2][i] = byte_pair_at(p2 + t);
    taps.bottom[2][i] = byte_pair_at(p2 + b);
  }
}

}  // namespace zorvel
