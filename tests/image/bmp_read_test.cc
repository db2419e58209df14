// The BMP reader: pixel mapping, padding, larger headers, every refusal with
// its message, and the exact place a truncated file ends.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <thread>

#include "bmp_fixture.h"
#include "image/bmp.h"
#include "support/test_support.h"

namespace zorvel {
namespace {

using test::capture_stdout;
using test::fixture_bmp;
using test::put_u16;
using test::put_u32;
using test::scratch_dir;
using test::write_file;

struct parsed {
  std::unique_ptr<zorvel_bmp_read> reader;
  int result = -1;
  std::string printed;
};

parsed parse_bytes(const scratch_dir& dir, const std::string& bytes) {
  const std::string path = dir.file("capture.bmp");
  write_file(path, bytes);
  parsed out;
  out.reader = std::make_unique<zorvel_bmp_read>(path);
  out.printed = capture_stdout([&] { out.result = out.reader->parse(); });
  return out;
}

void expect_fixture_planes(zorvel_bmp_read& reader, uint32_t width, uint32_t height) {
  uint8_t *r = nullptr, *g = nullptr, *b = nullptr;
  ASSERT_EQ(reader.get_planes(&r, &g, &b), 1);
  uint32_t w = 0, h = 0;
  reader.get_size(&w, &h);
  ASSERT_EQ(w, width);
  ASSERT_EQ(h, height);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const size_t i = static_cast<size_t>(y) * width + x;
      ASSERT_EQ(r[i], test::fixture_red(y, x)) << y << "," << x;
      ASSERT_EQ(g[i], test::fixture_green(y, x)) << y << "," << x;
      ASSERT_EQ(b[i], test::fixture_blue(y, x)) << y << "," << x;
    }
  }
}

TEST(BmpRead, DecodesEveryPaddingAndLargerHeaders) {
  scratch_dir dir;
  for (uint32_t width : {1u, 2u, 3u, 4u, 5u}) {
    for (uint32_t extra : {0u, 84u}) {  // 84: a 124-byte information header
      const parsed p = parse_bytes(dir, fixture_bmp(width, 3, extra));
      EXPECT_EQ(p.result, 1) << p.printed;
      EXPECT_EQ(p.printed, "");
      expect_fixture_planes(*p.reader, width, 3);
    }
  }
}

TEST(BmpRead, TopLeftPixelIsTheFirstPixelOfTheLastFileRow) {
  scratch_dir dir;
  std::string bytes = fixture_bmp(3, 2);
  // Last file row starts at 54 + 12: blue, green, red.
  bytes[66] = 1;
  bytes[67] = 2;
  bytes[68] = 3;
  const parsed p = parse_bytes(dir, bytes);
  ASSERT_EQ(p.result, 1);
  uint8_t *r, *g, *b;
  ASSERT_EQ(p.reader->get_planes(&r, &g, &b), 1);
  EXPECT_EQ(r[0], 3);
  EXPECT_EQ(g[0], 2);
  EXPECT_EQ(b[0], 1);
}

TEST(BmpRead, PixelOffsetOutsideTheFileReadsAfterTheHeaders) {
  scratch_dir dir;
  for (uint32_t offset : {0u, 40u, 54u, 1000000u}) {
    std::string bytes = fixture_bmp(3, 2);
    put_u32(bytes, 10, offset);
    const parsed p = parse_bytes(dir, bytes);
    EXPECT_EQ(p.result, 1) << offset;
    expect_fixture_planes(*p.reader, 3, 2);
  }
}

TEST(BmpRead, RefusesBadHeadersWithTheirMessages) {
  scratch_dir dir;
  const std::string path = dir.file("capture.bmp");
  const std::string tag = "(zorvel_bmp_read::parse:";
  const std::string good = fixture_bmp(3, 2);
  const auto refused = [&](const std::string& bytes) {
    const parsed p = parse_bytes(dir, bytes);
    EXPECT_EQ(p.result, 0);
    return p.printed;
  };
  EXPECT_EQ(refused(good.substr(0, 13)),
            tag + "97) Error reading BITMAPFILEHEADER in file " + path + "\n");
  EXPECT_EQ(refused(std::string("\x89PNG\r\n\x1a\n", 8) + std::string(100, '\0')),
            tag + "103) Invalid BMP file " + path + "\n");
  EXPECT_EQ(refused(good.substr(0, 53)),
            tag + "109) Error reading BITMAPINFOHEADER in file " + path + "\n");
  std::string rle = good;
  put_u32(rle, 30, 1);
  EXPECT_EQ(refused(rle), tag + "115) Unsupported compression format 1 in file " + path + "\n");
  std::string bpp32 = good;
  put_u16(bpp32, 28, 32);
  EXPECT_EQ(refused(bpp32), tag + "121) Expected 24bpp in file " + path + "\n");

  const auto with_size = [&](uint32_t width, uint32_t height) {
    std::string bytes = good;
    put_u32(bytes, 18, width);
    put_u32(bytes, 22, height);
    return refused(bytes);
  };
  const auto dimensions = [&](const std::string& w, const std::string& h) {
    return tag + "127) Invalid image dimensions " + w + " x " + h + " in file " + path + "\n";
  };
  EXPECT_EQ(with_size(0, 2), dimensions("0", "2"));
  EXPECT_EQ(with_size(3, 0xFFFFFFFEu), dimensions("3", "-2"));  // top-down
  EXPECT_EQ(with_size(65536, 1), dimensions("65536", "1"));
  EXPECT_EQ(with_size(20000, 20000), dimensions("20000", "20000"));  // 1.2 GB of planes
}

TEST(BmpRead, RefusesAHostileSizeBeforeAllocating) {
  scratch_dir dir;
  std::string bytes = fixture_bmp(3, 2).substr(0, 54) + std::string(46, '\0');
  put_u32(bytes, 18, 65535);
  put_u32(bytes, 22, 65535);
  const parsed p = parse_bytes(dir, bytes);
  EXPECT_EQ(p.result, 0);
  EXPECT_NE(p.printed.find("Invalid image dimensions 65535 x 65535"), std::string::npos);
  uint8_t* r = nullptr;
  EXPECT_EQ(p.reader->get_planes(&r, &r, &r), 0);
  EXPECT_EQ(r, nullptr);
}

// The same bytes through a pipe: a stream whose size cannot be told, so
// the reader only learns of the end while reading rows.
parsed parse_through_pipe(const std::string& bytes, const std::string& name) {
  int ends[2];
  if (::pipe(ends) != 0) return {};
  std::thread feeder([&bytes, fd = ends[1]] {
    size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = ::write(fd, bytes.data() + sent, bytes.size() - sent);
      if (n <= 0) break;
      sent += static_cast<size_t>(n);
    }
    ::close(fd);
  });
  parsed out;
  out.reader = std::make_unique<zorvel_bmp_read>(unique_file(::fdopen(ends[0], "rb")), name);
  out.printed = capture_stdout([&] { out.result = out.reader->parse(); });
  feeder.join();
  return out;
}

TEST(BmpRead, NamesTheFileRowAndColumnWhereDataEnds) {
  scratch_dir dir;
  const std::string path = dir.file("capture.bmp");
  const std::string tag = "(zorvel_bmp_read::parse:";
  const std::string small = fixture_bmp(3, 2);  // rows of 9 pixel + 3 pad bytes
  // Rows of 3003 + 1 bytes span several read blocks; cut inside file row 700.
  const std::string large = fixture_bmp(1001, 800);
  const struct {
    std::string bytes, message;
  } cases[] = {
      {small.substr(0, 54 + 12 + 5), "152) Error reading active 1,1 RGB pixels"},
      {small.substr(0, 54), "152) Error reading active 0,0 RGB pixels"},
      {small.substr(0, 54 + 10), "166) Error reading discard pixels"},
      {small.substr(0, 77), "166) Error reading discard pixels"},
      {large.substr(0, 54 + 700 * 3004 + 3 * 417 + 2), "152) Error reading active 700,417 RGB pixels"},
  };
  for (const auto& c : cases) {
    const parsed from_file = parse_bytes(dir, c.bytes);
    EXPECT_EQ(from_file.result, 0);
    EXPECT_EQ(from_file.printed, tag + c.message + " in file " + path + "\n");
    // Refused before the planes were allocated.
    uint8_t* r = nullptr;
    EXPECT_EQ(from_file.reader->get_planes(&r, &r, &r), 0);

    const parsed from_pipe = parse_through_pipe(c.bytes, path);
    EXPECT_EQ(from_pipe.result, 0);
    EXPECT_EQ(from_pipe.printed, tag + c.message + " in file " + path + "\n");
  }
  // Complete rows read before the cut are decoded: file row 699 is picture row 100.
  const parsed p = parse_through_pipe(cases[4].bytes, path);
  uint8_t *r, *g, *b;
  ASSERT_EQ(p.reader->get_planes(&r, &g, &b), 1);
  EXPECT_EQ(r[100 * 1001 + 5], test::fixture_red(100, 5));
  EXPECT_EQ(b[100 * 1001 + 1000], test::fixture_blue(100, 1000));

  // And a complete image through a pipe decodes like the file.
  const parsed whole = parse_through_pipe(fixture_bmp(5, 3), path);
  EXPECT_EQ(whole.result, 1);
  expect_fixture_planes(*whole.reader, 5, 3);
}

TEST(BmpRead, AMissingFileParsesWithoutPlanes) {
  scratch_dir dir;
  zorvel_bmp_read reader(dir.file("absent.bmp"));
  EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(reader.parse(), 1); }), "");
  EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(reader.rotate("right"), 1); }), "");
  uint8_t* r = nullptr;
  EXPECT_EQ(reader.get_planes(&r, &r, &r), 0);
  uint32_t w = 7, h = 7;
  reader.get_size(&w, &h);
  EXPECT_EQ(w, 0u);
  EXPECT_EQ(h, 0u);
}

}  // namespace
}  // namespace zorvel
