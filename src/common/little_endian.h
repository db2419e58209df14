// Little-endian transfer of fixed-width scalars (integers, IEEE 754 floats)
// to and from byte buffers, by shifts on the bit pattern: the stored bytes do
// not depend on the byte order of the host.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>

namespace zorvel::le {

static_assert(std::numeric_limits<float>::is_iec559 && sizeof(float) == 4,
              "records store IEEE 754 single precision");
static_assert(std::numeric_limits<double>::is_iec559 && sizeof(double) == 8,
              "records store IEEE 754 double precision");

template <class T>
using bits_of = std::conditional_t<
    sizeof(T) == 1, uint8_t,
    std::conditional_t<sizeof(T) == 2, uint16_t,
                       std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>>>;

template <class T>
inline void put(uint8_t* out, T value) {
  static_assert(std::is_arithmetic_v<T> && sizeof(T) <= 8);
  const auto bits = std::bit_cast<bits_of<T>>(value);
  for (size_t i = 0; i < sizeof(T); ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
}

template <class T>
inline T get(const uint8_t* in) {
  static_assert(std::is_arithmetic_v<T> && sizeof(T) <= 8);
  bits_of<T> bits = 0;
  for (size_t i = 0; i < sizeof(T); ++i) {
    bits = static_cast<bits_of<T>>(bits | (static_cast<bits_of<T>>(in[i]) << (8 * i)));
  }
  return std::bit_cast<T>(bits);
}

}  // namespace zorvel::le
