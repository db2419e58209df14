// The BMP writer: exact bytes, round trips through the reader for every row
// padding, and failures reported instead of passing as success.
#include <gtest/gtest.h>

#include <vector>

#include "bmp_fixture.h"
#include "image/bmp.h"
#include "support/test_support.h"

namespace zorvel {
namespace {

using test::capture_stdout;
using test::read_file;
using test::scratch_dir;

struct planes {
  std::vector<uint8_t> r, g, b;
};

planes fixture_planes(uint32_t width, uint32_t height) {
  planes p;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      p.r.push_back(test::fixture_red(y, x));
      p.g.push_back(test::fixture_green(y, x));
      p.b.push_back(test::fixture_blue(y, x));
    }
  }
  return p;
}

TEST(BmpWrite, WritesTheExactBytesOfA3x2Image) {
  scratch_dir dir;
  const planes p = fixture_planes(3, 2);
  {
    zorvel_bmp_write writer(dir.file("out.bmp"));
    EXPECT_EQ(writer.write(p.r.data(), p.g.data(), p.b.data(), 3, 2), 1);
  }
  const std::string bytes = read_file(dir.file("out.bmp"));
  ASSERT_EQ(bytes.size(), 78u);
  EXPECT_EQ(bytes, test::fixture_bmp(3, 2));
  EXPECT_EQ(bytes.substr(2, 4), std::string("\x4E\0\0\0", 4));   // file size 78
  EXPECT_EQ(bytes.substr(34, 4), std::string("\x18\0\0\0", 4));  // image size 24
  EXPECT_EQ(bytes.substr(63, 3), std::string(3, '\0'));           // padding of row 0
}

TEST(BmpWrite, RoundTripsEveryRowPadding) {
  scratch_dir dir;
  for (uint32_t width : {1u, 2u, 3u, 4u, 5u, 17u}) {
    const uint32_t height = 3;
    const planes p = fixture_planes(width, height);
    const std::string path = dir.file("w" + std::to_string(width) + ".bmp");
    {
      zorvel_bmp_write writer(path);
      ASSERT_EQ(writer.write(p.r.data(), p.g.data(), p.b.data(), width, height), 1);
    }
    const std::string bytes = read_file(path);
    const size_t stride = (3 * width + 3) / 4 * 4;
    EXPECT_EQ(bytes.size(), 54 + height * stride) << width;
    EXPECT_EQ(static_cast<uint8_t>(bytes[2]) + 256u * static_cast<uint8_t>(bytes[3]), bytes.size());

    zorvel_bmp_read reader(path);
    ASSERT_EQ(reader.parse(), 1);
    uint8_t *r, *g, *b;
    ASSERT_EQ(reader.get_planes(&r, &g, &b), 1);
    EXPECT_EQ(std::vector<uint8_t>(r, r + p.r.size()), p.r) << width;
    EXPECT_EQ(std::vector<uint8_t>(g, g + p.g.size()), p.g) << width;
    EXPECT_EQ(std::vector<uint8_t>(b, b + p.b.size()), p.b) << width;
  }
}

TEST(BmpWrite, ReportsWhatCannotBeWritten) {
  scratch_dir dir;
  const planes p = fixture_planes(3, 2);
  {
    zorvel_bmp_write writer(dir.file("out.bmp"));
    EXPECT_EQ(writer.write(p.r.data(), nullptr, p.b.data(), 3, 2), 0);
  }
  {
    zorvel_bmp_write writer(dir.file("absent/out.bmp"));
    EXPECT_EQ(capture_stdout([&] {
                EXPECT_EQ(writer.write(p.r.data(), p.g.data(), p.b.data(), 3, 2), 0);
              }),
              "");
  }
  // Small enough to sit in the stream buffer until the close, and large
  // enough to fail while writing rows.
  for (uint32_t side : {3u, 300u}) {
    const planes big = fixture_planes(side, side);
    zorvel_bmp_write writer("/dev/full");
    const std::string text = capture_stdout([&] {
      EXPECT_EQ(writer.write(big.r.data(), big.g.data(), big.b.data(), side, side), 0);
    });
    EXPECT_EQ(text.rfind("(zorvel_bmp_write::write:", 0), 0u) << text;
    EXPECT_NE(text.find("in file /dev/full\n"), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace zorvel
