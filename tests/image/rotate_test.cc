// Quarter turns of a parsed capture and the direction texts that pick them.
#include <gtest/gtest.h>

#include "bmp_fixture.h"
#include "image/bmp.h"
#include "support/test_support.h"

namespace zorvel {
namespace {

using test::capture_stdout;
using test::scratch_dir;
using test::write_file;

// Red plane of the 3 x 2 fixture: rows "a b c" / "d e f" with a..f = 0 1 2 10 11 12.
constexpr uint8_t a = 0, b = 1, c = 2, d = 10, e = 11, f = 12;

struct loaded {
  std::unique_ptr<zorvel_bmp_read> reader;
  uint8_t *r = nullptr, *g = nullptr, *bl = nullptr;
};

loaded load(const scratch_dir& dir, uint32_t width, uint32_t height) {
  const std::string path = dir.file("capture.bmp");
  write_file(path, test::fixture_bmp(width, height));
  loaded out;
  out.reader = std::make_unique<zorvel_bmp_read>(path);
  EXPECT_EQ(out.reader->parse(), 1);
  EXPECT_EQ(out.reader->get_planes(&out.r, &out.g, &out.bl), 1);
  return out;
}

std::vector<uint8_t> plane(const uint8_t* p, size_t n) { return std::vector<uint8_t>(p, p + n); }

TEST(Rotate, TurnsThe3x2ExampleBothWays) {
  scratch_dir dir;
  for (const char* right : {"right", "RIGHT", "Right"}) {
    loaded img = load(dir, 3, 2);
    EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(img.reader->rotate(right), 1); }), "");
    EXPECT_EQ(plane(img.r, 6), (std::vector<uint8_t>{d, a, e, b, f, c})) << right;
    // Green and blue planes move the same way.
    EXPECT_EQ(img.g[0], test::fixture_green(1, 0));
    EXPECT_EQ(img.bl[5], test::fixture_blue(0, 2));
    uint32_t w = 0, h = 0;
    img.reader->get_size(&w, &h);
    EXPECT_EQ(w, 3u);  // the file's size, not the turned one
    EXPECT_EQ(h, 2u);
  }
  for (const char* left : {"left", "Left", "LEFT"}) {
    loaded img = load(dir, 3, 2);
    EXPECT_EQ(img.reader->rotate(left), 1);
    EXPECT_EQ(plane(img.r, 6), (std::vector<uint8_t>{c, f, b, e, a, d})) << left;
    EXPECT_EQ(img.g[0], test::fixture_green(0, 2));
    EXPECT_EQ(img.bl[5], test::fixture_blue(1, 0));
  }
}

TEST(Rotate, AnyOtherTextDoesNothing) {
  scratch_dir dir;
  for (const char* text : {"none", "left ", "l", "", "rightt", "\xC3\x89LEFT"}) {
    loaded img = load(dir, 3, 2);
    EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(img.reader->rotate(text), 1); }), "\n do nothing");
    EXPECT_EQ(plane(img.r, 6), (std::vector<uint8_t>{a, b, c, d, e, f})) << text;
  }
}

TEST(Rotate, MatchesThePixelMappingAcrossTiles) {
  // Sides that are not multiples of the tile size; compare against the
  // index formulas directly.
  scratch_dir dir;
  const uint32_t W = 131, H = 70;
  for (const char* direction : {"left", "right"}) {
    loaded img = load(dir, W, H);
    const std::vector<uint8_t> before = plane(img.bl, W * H);
    img.reader->rotate(direction);
    std::vector<uint8_t> expected(W * H);
    for (uint32_t y = 0; y < H; ++y) {
      for (uint32_t x = 0; x < W; ++x) {
        const size_t to = direction[0] == 'l' ? (W - 1 - x) * H + y : x * H + (H - 1 - y);
        expected[to] = before[y * W + x];
      }
    }
    EXPECT_EQ(plane(img.bl, W * H), expected) << direction;
  }
}

TEST(Rotate, LowersOnlyAsciiLetters) {
  EXPECT_EQ(to_lower_text("RiGhT-2 \xC3\x89"), "right-2 \xC3\x89");
  EXPECT_EQ(to_lower_text(""), "");
}

}  // namespace
}  // namespace zorvel
