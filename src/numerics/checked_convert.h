// The one place where calibration turns floating-point values into integers:
// truncation toward zero with explicit saturation, so that a huge or NaN
// value never becomes an arbitrary byte or undefined behaviour.
#pragma once

#include <cmath>
#include <cstdint>

namespace zorvel {

// trunc(v) saturated to [lo, hi]; NaN gives nan_value.
inline int32_t checked_truncate(double v, int32_t lo, int32_t hi, int32_t nan_value) {
  if (std::isnan(v)) return nan_value;
  if (v <= static_cast<double>(lo)) return lo;
  if (v >= static_cast<double>(hi)) return hi;
  return static_cast<int32_t>(v);  // truncation toward zero
}

// Tenths of a pixel in one unsigned byte: 255 when 10 v exceeds 255 (also for
// NaN, so a broken metric never reads as 0.00 and passes), else trunc(10 v).
inline uint8_t tenths_byte(double v) {
  return static_cast<uint8_t>(checked_truncate(10.0 * v, 0, 255, 255));
}

// Signed zone byte: trunc(d) while |d| < 127, else 127 (also for large
// negative d and for NaN).
inline int8_t zoned_tenths(double d) {
  if (!(std::fabs(d) < 127.0)) return 127;
  return static_cast<int8_t>(checked_truncate(d, -127, 127, 127));
}

// A projected coordinate written back into a key-point set or a stored
// 16-bit field: truncated toward zero, clamped to the 16-bit range, NaN -> 0.
inline int32_t coordinate_from(double v) { return checked_truncate(v, -32768, 32767, 0); }

// Integer key-point values narrowed into the 16-bit and 8-bit stored fields.
inline int16_t saturate_i16(int32_t v) {
  return static_cast<int16_t>(v < -32768 ? -32768 : (v > 32767 ? 32767 : v));
}
inline int8_t saturate_i8(int32_t v) {
  return static_cast<int8_t>(v < -128 ? -128 : (v > 127 ? 127 : v));
}

}  // namespace zorvel
