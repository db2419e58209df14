// Quarter turns of a parsed capture and the direction texts that pick them.
#include <gtest/gtest.h>

#include "bmp_fixture.h"

namespace zorvel::test {
namespace {

TEST(Rotate, TurnsByCaseInsensitiveDirectionAcrossTiles) {
  const struct {
    const char* direction;
    char turn;  // 'r' clockwise, 'l' counter-clockwise, '-' none
  } cases[] = {{"right", 'r'}, {"RIGHT", 'r'}, {"Right", 'r'}, {"left", 'l'}, {"Left", 'l'}, {"LEFT", 'l'},
               {"none", '-'}, {"left ", '-'}, {"l", '-'}, {"", '-'}, {"\xC3\x89LEFT", '-'}};
  scratch_dir dir;
  for (const uint32_t W : {3u, 131u}) {  // 131 x 70 is not a multiple of the tile side
    const uint32_t H = W == 3 ? 2 : 70;
    for (const auto& c : cases) {
      parsed p = parse_file(dir, fixture_bmp(W, H));
      const std::string printed = capture_stdout([&] { EXPECT_EQ(p.reader->rotate(c.direction), 1); });
      EXPECT_EQ(printed, c.turn == '-' ? "\n do nothing" : "") << c.direction;
      uint8_t *r, *g, *b;
      ASSERT_EQ(p.reader->get_planes(&r, &g, &b), 1);
      uint32_t w = 0, h = 0;
      p.reader->get_size(&w, &h);
      EXPECT_EQ(w * 1000 + h, W * 1000 + H);  // the file's size, not the turned one
      for (uint32_t y = 0; y < H; ++y) {
        for (uint32_t x = 0; x < W; ++x) {
          const size_t to = c.turn == 'l'   ? (W - 1 - x) * H + y
                            : c.turn == 'r' ? x * H + (H - 1 - y)
                                            : y * W + x;
          ASSERT_EQ(r[to] + 256 * b[to], red_at(y, x) + 256 * blue_at(y, x)) << c.direction << " " << y << "," << x;
        }
      }
    }
  }
}

}  // namespace
}  // namespace zorvel::test
