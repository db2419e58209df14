// BMP reading and writing: pixel mapping, padding, larger headers, every
// refusal with its message, truncation points, and checked writes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "bmp_fixture.h"

namespace zorvel::test {
namespace {

// Through a pipe the size is unknown: the end shows only while reading rows.
parsed parse_pipe(const std::string& bytes, const std::string& name) {
  int ends[2];
  if (::pipe(ends) != 0) return {};
  std::thread feeder([&bytes, fd = ends[1]] {
    for (size_t sent = 0; sent < bytes.size();) {
      const ssize_t n = ::write(fd, bytes.data() + sent, bytes.size() - sent);
      if (n <= 0) break;
      sent += static_cast<size_t>(n);
    }
    ::close(fd);
  });
  parsed out = parse(std::make_unique<zorvel_bmp_read>(unique_file(::fdopen(ends[0], "rb")), name));
  feeder.join();
  return out;
}

void expect_fixture(const parsed& p, uint32_t width, uint32_t height) {
  ASSERT_EQ(p.result, 1) << p.printed;
  uint8_t *r, *g, *b;
  ASSERT_EQ(p.reader->get_planes(&r, &g, &b), 1);
  uint32_t w = 0, h = 0;
  p.reader->get_size(&w, &h);
  ASSERT_EQ(w * 1000 + h, width * 1000 + height);
  for (uint32_t i = 0; i < width * height; ++i) {
    const uint32_t y = i / width, x = i % width;
    ASSERT_EQ(r[i] + 256 * g[i] + 65536 * b[i], red_at(y, x) + 256 * green_at(y, x) + 65536 * blue_at(y, x))
        << y << "," << x;
  }
}

TEST(Bmp, ReadsEveryPaddingLargerHeadersAndIgnoresBadOffsets) {
  scratch_dir dir;
  for (uint32_t width : {1u, 2u, 3u, 4u, 5u, 19u}) {  // 19: eight-pixel steps and a tail
    expect_fixture(parse_file(dir, fixture_bmp(width, 3)), width, 3);
    expect_fixture(parse_file(dir, fixture_bmp(width, 3, 84)), width, 3);  // 124-byte header
  }
  for (uint32_t offset : {0u, 40u, 1000000u}) {  // not past the headers, or past the end
    std::string bytes = fixture_bmp(3, 2);
    put_le(bytes, 10, offset);
    expect_fixture(parse_file(dir, bytes), 3, 2);
  }
  expect_fixture(parse_pipe(fixture_bmp(5, 3), "pipe"), 5, 3);
}

TEST(Bmp, RefusesBadHeadersBeforeAllocating) {
  scratch_dir dir;
  const auto message = [&](int line, const std::string& text) {
    return "(zorvel_bmp_read::parse:" + std::to_string(line) + ") " + text + " " +
           dir.file("in.bmp") + "\n";
  };
  const std::string good = fixture_bmp(3, 2);
  const auto refused = [&](std::string bytes, size_t at = 0, uint32_t value = 0, int width = 4) {
    if (at) put_le(bytes, at, value, width);
    const parsed p = parse_file(dir, bytes);
    uint8_t* plane = nullptr;
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.reader->get_planes(&plane, &plane, &plane), 0);
    return p.printed;
  };
  EXPECT_EQ(refused(good.substr(0, 13)), message(97, "Error reading BITMAPFILEHEADER in file"));
  EXPECT_EQ(refused("\x89PNG\r\n\x1a\n" + good), message(103, "Invalid BMP file"));
  EXPECT_EQ(refused(good.substr(0, 53)), message(109, "Error reading BITMAPINFOHEADER in file"));
  EXPECT_EQ(refused(good, 30, 1), message(115, "Unsupported compression format 1 in file"));
  EXPECT_EQ(refused(good, 28, 32, 2), message(121, "Expected 24bpp in file"));
  const auto dimensions = [&](const std::string& size) {
    return message(127, "Invalid image dimensions " + size + " in file");
  };
  EXPECT_EQ(refused(good, 18, 0), dimensions("0 x 2"));
  EXPECT_EQ(refused(good, 22, 0xFFFFFFFE), dimensions("3 x -2"));  // top-down
  EXPECT_EQ(refused(good, 18, 65536), dimensions("65536 x 2"));
  std::string hostile = good.substr(0, 100);
  put_le(hostile, 18, 65535);
  EXPECT_EQ(refused(hostile, 22, 65535), dimensions("65535 x 65535"));
  put_le(hostile, 18, 20000);  // within the side limit, but 1.2 GB of planes
  EXPECT_EQ(refused(hostile, 22, 20000), dimensions("20000 x 20000"));
}

TEST(Bmp, NamesTheFileRowAndColumnWhereDataEnds) {
  scratch_dir dir;
  const std::string small = fixture_bmp(3, 2);    // rows of 9 pixel + 3 pad bytes
  const std::string large = fixture_bmp(1001, 800);  // rows of 3004 bytes, several blocks
  const struct {
    std::string bytes, message;
  } cases[] = {
      {small.substr(0, 54 + 12 + 5), "152) Error reading active 1,1 RGB pixels"},
      {small.substr(0, 54), "152) Error reading active 0,0 RGB pixels"},
      {small.substr(0, 54 + 10), "166) Error reading discard pixels"},
      {small.substr(0, 77), "166) Error reading discard pixels"},
      {large.substr(0, 54 + 700 * 3004 + 3 * 417 + 2), "152) Error reading active 700,417 RGB pixels"},
  };
  const std::string path = dir.file("in.bmp");
  for (const auto& c : cases) {
    const std::string expected = "(zorvel_bmp_read::parse:" + c.message + " in file " + path + "\n";
    EXPECT_EQ(parse_file(dir, c.bytes).printed, expected);
    const parsed piped = parse_pipe(c.bytes, path);
    EXPECT_EQ(piped.printed, expected);
    uint8_t* plane = nullptr;
    EXPECT_EQ(piped.reader->get_planes(&plane, &plane, &plane), 0);
  }
}

TEST(Bmp, WritesExactBytesAndReportsFailures) {
  scratch_dir dir;
  for (uint32_t width : {1u, 4u, 19u, 3u}) {  // the 3 x 2 image last: a 78-byte file
    const parsed p = parse_file(dir, fixture_bmp(width, 2));
    uint8_t *r, *g, *b;
    ASSERT_EQ(p.reader->get_planes(&r, &g, &b), 1);
    zorvel_bmp_write writer(dir.file("out.bmp"));
    EXPECT_EQ(writer.write(r, g, b, width, 2), 1);
    EXPECT_EQ(read_file(dir.file("out.bmp")), fixture_bmp(width, 2)) << width;
  }
  const parsed p = parse_file(dir, fixture_bmp(3, 2));
  uint8_t *r, *g, *b;
  ASSERT_EQ(p.reader->get_planes(&r, &g, &b), 1);
  zorvel_bmp_write no_plane(dir.file("other.bmp"));
  EXPECT_EQ(no_plane.write(r, nullptr, b, 3, 2), 0);
  zorvel_bmp_write no_file(dir.file("absent/out.bmp"));
  EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(no_file.write(r, g, b, 3, 2), 0); }), "");
  // The 78 bytes sit in the stream buffer until the final flush fails.
  zorvel_bmp_write full("/dev/full");
  EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(full.write(r, g, b, 3, 2), 0); }),
            "(zorvel_bmp_write::write:432) Error writing buffered pixels in file /dev/full\n");
}

TEST(Bmp, AMissingFileParsesWithoutPlanes) {
  zorvel_bmp_read reader("/nonexistent/capture.bmp");
  EXPECT_EQ(capture_stdout([&] {
              EXPECT_EQ(reader.parse(), 1);
              EXPECT_EQ(reader.rotate("right"), 1);
            }),
            "");
  uint8_t* plane = nullptr;
  EXPECT_EQ(reader.get_planes(&plane, &plane, &plane), 0);
}

}  // namespace
}  // namespace zorvel::test
