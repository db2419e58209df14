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
#include <vector>

#include "common/vector_isa.h"

namespace zorvel {

// Bytes p[0] and p[1] as p[0] | p[1] << 8.
ZORVEL_KERNEL_INLINE uint16_t byte_pair_at(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::big) v = static_cast<uint16_t>(v >> 8 | v << 8);
  return v;
}

// The taps of one row of up to `count` samples, one array pair per plane.
class bilinear_taps {
 public:
  explicit bilinear_taps(size_t count) : count_(count), pairs_(6 * count) {}

  uint16_t* top(int plane) { return pairs_.data() + static_cast<size_t>(plane) * count_; }
  uint16_t* bottom(int plane) { return pairs_.data() + static_cast<size_t>(3 + plane) * count_; }

 private:
  size_t count_;
  std::vector<uint16_t> pairs_;
};

// top_left[i] is the offset of the top-left neighbour of sample i in planes
// of `stride` bytes per row; the caller guarantees the 2 x 2 block is inside.
ZORVEL_KERNEL_INLINE void gather_bilinear_taps(const uint8_t* const planes[3], size_t stride,
                                               const int32_t* top_left, size_t count,
                                               bilinear_taps& taps) {
  const uint8_t *p0 = planes[0], *p1 = planes[1], *p2 = planes[2];
  uint16_t *t0 = taps.top(0), *t1 = taps.top(1), *t2 = taps.top(2);
  uint16_t *b0 = taps.bottom(0), *b1 = taps.bottom(1), *b2 = taps.bottom(2);
  for (size_t i = 0; i < count; ++i) {
    const size_t t = static_cast<size_t>(top_left[i]);
    const size_t b = t + stride;
    t0[i] = byte_pair_at(p0 + t);
    b0[i] = byte_pair_at(p0 + b);
    t1[i] = byte_pair_at(p1 + t);
    b1[i] = byte_pair_at(p1 + b);
    t2[i] = byte_pair_at(p2 + t);
    b2[i] = byte_pair_at(p2 + b);
  }
}

}  // namespace zorvel
