// Quarter turns of a parsed capture and the direction texts that pick them.
#include <gtest/gtest.h>

#include "bmp_fixture.h"

namespace zorvel::test {
namespace {

struct turned {
  std::vector<uint8_t> r, b;
  std::string printed;
};

turned turn(uint32_t width, uint32_t height, const std::string& direction) {
  scratch_dir dir;
  parsed p = parse_file(dir, fixture_bmp(width, height));
  turned out;
  out.printed = capture_stdout([&] { EXPECT_EQ(p.reader->rotate(direction), 1); });
  uint8_t *r, *g, *b;
  EXPECT_EQ(p.reader->get_planes(&r, &g, &b), 1);
  uint32_t w = 0, h = 0;
  p.reader->get_size(&w, &h);
  EXPECT_EQ(w * 1000 + h, width * 1000 + height);  // the file's size, not the turned one
  out.r.assign(r, r + width * height);
  out.b.assign(b, b + width * height);
  return out;
}

TEST(Rotate, TurnsThe3x2ExampleByCaseInsensitiveDirection) {
  // Red plane of the 3 x 2 fixture: rows "a b c" / "d e f".
  constexpr uint8_t a = 0, b = 1, c = 2, d = 10, e = 11, f = 12;
  for (const char* right : {"right", "RIGHT", "Right"}) {
    EXPECT_EQ(turn(3, 2, right).r, (std::vector<uint8_t>{d, a, e, b, f, c})) << right;
  }
  for (const char* left : {"left", "Left", "LEFT"}) {
    EXPECT_EQ(turn(3, 2, left).r, (std::vector<uint8_t>{c, f, b, e, a, d})) << left;
  }
  for (const char* other : {"none", "left ", "l", "", "\xC3\x89LEFT"}) {
    const turned t = turn(3, 2, other);
    EXPECT_EQ(t.printed, "\n do nothing");
    EXPECT_EQ(t.r, (std::vector<uint8_t>{a, b, c, d, e, f})) << other;
  }
  EXPECT_EQ(to_lower_text("RiGhT-2 \xC3\x89"), "right-2 \xC3\x89");
}

TEST(Rotate, MatchesThePixelMappingAcrossTiles) {
  const uint32_t W = 131, H = 70;  // not multiples of the tile side
  for (const char* direction : {"left", "right"}) {
    const turned t = turn(W, H, direction);
    for (uint32_t y = 0; y < H; ++y) {
      for (uint32_t x = 0; x < W; ++x) {
        const size_t to = direction[0] == 'l' ? (W - 1 - x) * H + y : x * H + (H - 1 - y);
        ASSERT_EQ(t.b[to], blue_at(y, x)) << direction << " " << y << "," << x;
      }
    }
  }
}

}  // namespace
}  // namespace zorvel::test
