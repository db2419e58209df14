// Hand-built BMP files for the image tests, independent of the writer, and
// the reader's result. Pixel (row y from the top, column x) is red 10y + x,
// green 100 + 10y + x, blue 200 - 10y - x: flips, transpositions and R/B
// swaps all show.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "image/bmp.h"
#include "support/test_support.h"

namespace zorvel::test {

inline uint8_t red_at(uint32_t y, uint32_t x) { return static_cast<uint8_t>(10 * y + x); }
inline uint8_t green_at(uint32_t y, uint32_t x) { return static_cast<uint8_t>(100 + 10 * y + x); }
inline uint8_t blue_at(uint32_t y, uint32_t x) { return static_cast<uint8_t>(200 - 10 * y - x); }

inline void put_le(std::string& s, size_t at, uint32_t v, int bytes = 4) {
  for (int i = 0; i < bytes; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Writer-style headers, `extra` header bytes before the pixels (the pixel
// offset pointing past them), bottom-up rows padded to 4 bytes.
inline std::string fixture_bmp(uint32_t width, uint32_t height, uint32_t extra = 0) {
  const uint32_t stride = (3 * width + 3) / 4 * 4;
  std::string s(54 + extra + stride * height, '\0');
  s[0] = 'B', s[1] = 'M';
  put_le(s, 2, static_cast<uint32_t>(s.size()));
  put_le(s, 10, 54 + extra);
  put_le(s, 14, 40 + extra);
  put_le(s, 18, width);
  put_le(s, 22, height);
  put_le(s, 26, 1, 2);
  put_le(s, 28, 24, 2);
  put_le(s, 34, stride * height);
  for (uint32_t i = 0; i < height; ++i) {
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t y = height - 1 - i;
      put_le(s, 54 + extra + i * stride + 3 * x, blue_at(y, x) | green_at(y, x) << 8 | red_at(y, x) << 16, 3);
    }
  }
  return s;
}

struct parsed {
  std::unique_ptr<zorvel_bmp_read> reader;
  int result = -1;
  std::string printed;
};

inline parsed parse(std::unique_ptr<zorvel_bmp_read> reader) {
  parsed out;
  out.reader = std::move(reader);
  out.printed = capture_stdout([&] { out.result = out.reader->parse(); });
  return out;
}

inline parsed parse_file(const scratch_dir& dir, const std::string& bytes) {
  write_file(dir.file("in.bmp"), bytes);
  return parse(std::make_unique<zorvel_bmp_read>(dir.file("in.bmp")));
}

}  // namespace zorvel::test
