// Hand-built BMP files for the reader tests, independent of the writer.
// Pixel (row y from the top, column x) has red 10y + x, green 100 + 10y + x
// and blue 200 - 10y - x, so flips, transpositions and R/B swaps all show.
#pragma once

#include <cstdint>
#include <string>

namespace zorvel::test {

inline uint8_t fixture_red(uint32_t y, uint32_t x) { return static_cast<uint8_t>(10 * y + x); }
inline uint8_t fixture_green(uint32_t y, uint32_t x) {
  return static_cast<uint8_t>(100 + 10 * y + x);
}
inline uint8_t fixture_blue(uint32_t y, uint32_t x) {
  return static_cast<uint8_t>(200 - 10 * y - x);
}

inline void put_u16(std::string& s, size_t at, uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
inline void put_u32(std::string& s, size_t at, uint32_t v) {
  put_u16(s, at, v & 0xFFFF);
  put_u16(s, at + 2, v >> 16);
}

// Headers as a writer would make them, extra_header bytes between the
// information header and the pixels (with the pixel offset pointing past
// them), then bottom-up rows padded to 4 bytes.
inline std::string fixture_bmp(uint32_t width, uint32_t height, uint32_t extra_header = 0) {
  const uint32_t pad = (4 - (3 * width) % 4) % 4;
  const uint32_t stride = 3 * width + pad;
  const uint32_t offset = 54 + extra_header;
  std::string s(offset + stride * height, '\0');
  s[0] = 'B';
  s[1] = 'M';
  put_u32(s, 2, static_cast<uint32_t>(s.size()));
  put_u32(s, 10, offset);
  put_u32(s, 14, 40 + extra_header);
  put_u32(s, 18, width);
  put_u32(s, 22, height);
  put_u16(s, 26, 1);
  put_u16(s, 28, 24);
  put_u32(s, 34, stride * height);
  for (uint32_t i = 0; i < height; ++i) {
    const uint32_t y = height - 1 - i;
    for (uint32_t x = 0; x < width; ++x) {
      const size_t at = offset + static_cast<size_t>(i) * stride + 3 * x;
      s[at] = static_cast<char>(fixture_blue(y, x));
      s[at + 1] = static_cast<char>(fixture_green(y, x));
      s[at + 2] = static_cast<char>(fixture_red(y, x));
    }
  }
  return s;
}

}  // namespace zorvel::test
