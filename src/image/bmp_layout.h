// Byte layout shared by the BMP reader and writer: the 14-byte file header,
// the 40-byte information header (offsets within each) and row padding.
// All multi-byte fields are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <type_traits>

#include "common/little_endian.h"

namespace zorvel {

inline constexpr uint16_t kBmpSignature = 0x4D42;  // "BM"
inline constexpr uint32_t kBmpFileHeaderBytes = 14;
inline constexpr uint32_t kBmpInfoHeaderBytes = 40;
inline constexpr uint32_t kBmpHeadersBytes = kBmpFileHeaderBytes + kBmpInfoHeaderBytes;

// Within the file header.
inline constexpr size_t kBmpSignatureAt = 0;
inline constexpr size_t kBmpFileSizeAt = 2;
inline constexpr size_t kBmpPixelOffsetAt = 10;
// Within the information header.
inline constexpr size_t kBmpHeaderSizeAt = 0;
inline constexpr size_t kBmpWidthAt = 4;
inline constexpr size_t kBmpHeightAt = 8;
inline constexpr size_t kBmpPlanesAt = 12;
inline constexpr size_t kBmpBitsPerPixelAt = 14;
inline constexpr size_t kBmpCompressionAt = 16;
inline constexpr size_t kBmpImageSizeAt = 20;

// Largest accepted side, and largest total of the three decoded planes.
inline constexpr int32_t kMaxBmpSide = 65535;
inline constexpr uint64_t kMaxBmpPlanesBytes = uint64_t{1} << 30;

// Zero bytes after each row of 3 x width bytes, to a multiple of 4.
inline constexpr size_t bmp_row_padding(uint32_t width) {
  return (4 - (3 * static_cast<size_t>(width)) % 4) % 4;
}

// Size of an open stream, or -1 when it cannot be told (a pipe).
inline int64_t stream_size(std::FILE* file) {
  const long here = std::ftell(file);
  if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) return -1;
  const long end = std::ftell(file);
  if (std::fseek(file, here, SEEK_SET) != 0 || end < 0) return -1;
  return end;
}

}  // namespace zorvel
