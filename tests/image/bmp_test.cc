// BMP reading and writing: pixel mapping, padding, larger headers, every
// refusal with its message, truncation points, and checked writes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <thread>

#include "bmp_fixture.h"

namespace zorvel::test {
namespace {

// Through a pipe the size is unknown: the end shows only while reading rows.
parsed parse_pipe(const std::string& bytes, const std::string& name) {
  int ends[2];
  if (::pipe(ends) != 0) return {};
  std::thread feeder([&bytes, out = ::fdopen(ends[1], "wb")] {
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
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
    put_le(bytes, 26, offset == 0 ? 0 : 1, 2);  // planes 0: nothing depends on it either
    expect_fixture(parse_file(dir, bytes), 3, 2);
  }
  expect_fixture(parse_pipe(fixture_bmp(5, 3), "pipe"), 5, 3);
}

TEST(Bmp, RefusalsNameTheirCheckOrWhereTheDataEndsAndHandOutNoPlanes) {
  scratch_dir dir;
  const std::string good = fixture_bmp(3, 2);        // rows of 9 pixel + 3 pad bytes
  const std::string large = fixture_bmp(1001, 800);  // rows of 3004 bytes, several blocks
  const auto patched = [](std::string bytes, std::initializer_list<std::array<uint32_t, 3>> fields) {
    for (const auto& [at, value, width] : fields) put_le(bytes, at, value, static_cast<int>(width));
    return bytes;
  };
  const std::string size = "127) Invalid image dimensions ";
  const struct {
    std::string bytes, message;
  } cases[] = {
      {good.substr(0, 13), "97) Error reading BITMAPFILEHEADER in file"},
      {"\x89PNG\r\n\x1a\n" + good, "103) Invalid BMP file"},
      {good.substr(0, 53), "109) Error reading BITMAPINFOHEADER in file"},
      // A core header (12 bytes) or none: its fields are not where they are read.
      {patched(good, {{14, 12, 4}}), "112) Unsupported BMP header size 12 in file"},
      {patched(good, {{14, 0, 4}, {30, 1, 4}}), "112) Unsupported BMP header size 0 in file"},
      {patched(good, {{30, 1, 4}}), "115) Unsupported compression format 1 in file"},
      {patched(good, {{28, 32, 2}}), "121) Expected 24bpp in file"},
      {patched(good, {{18, 0, 4}}), size + "0 x 2 in file"},
      {patched(good, {{22, 0xFFFFFFFE, 4}}), size + "3 x -2 in file"},  // top-down
      {patched(good, {{18, 65536, 4}}), size + "65536 x 2 in file"},
      // Refused before allocating: the second is within the side limit, but 1.2 GB of planes.
      {patched(good.substr(0, 100), {{18, 65535, 4}, {22, 65535, 4}}), size + "65535 x 65535 in file"},
      {patched(good.substr(0, 100), {{18, 20000, 4}, {22, 20000, 4}}), size + "20000 x 20000 in file"},
      {good.substr(0, 54 + 12 + 5), "152) Error reading active 1,1 RGB pixels in file"},
      {good.substr(0, 54), "152) Error reading active 0,0 RGB pixels in file"},
      {good.substr(0, 54 + 10), "166) Error reading discard pixels in file"},
      {good.substr(0, 77), "166) Error reading discard pixels in file"},
      {large.substr(0, 54 + 700 * 3004 + 3 * 417 + 2), "152) Error reading active 700,417 RGB pixels in file"},
  };
  const std::string path = dir.file("in.bmp");
  for (const auto& c : cases) {
    for (const bool piped : {false, true}) {
      const parsed p = piped ? parse_pipe(c.bytes, path) : parse_file(dir, c.bytes);
      EXPECT_EQ(p.result, 0);
      EXPECT_EQ(p.printed, "(zorvel_bmp_read::parse:" + c.message + " " + path + "\n") << piped;
      uint8_t* plane = nullptr;
      EXPECT_EQ(p.reader->get_planes(&plane, &plane, &plane), 0);
    }
  }
}

TEST(Bmp, WritesExactBytesAndReportsFailures) {
  scratch_dir dir;
  parsed p;
  uint8_t *r, *g, *b;
  for (uint32_t width : {1u, 4u, 19u, 3u}) {  // the 3 x 2 image last: a 78-byte file
    p = parse_file(dir, fixture_bmp(width, 2));
    ASSERT_EQ(p.reader->get_planes(&r, &g, &b), 1);
    EXPECT_EQ(zorvel_bmp_write(dir.file("out.bmp")).write(r, g, b, width, 2), 1);
    EXPECT_EQ(read_file(dir.file("out.bmp")), fixture_bmp(width, 2)) << width;
  }
  EXPECT_EQ(zorvel_bmp_write(dir.file("other.bmp")).write(r, nullptr, b, 3, 2), 0);
  zorvel_bmp_write no_file(dir.file("absent/out.bmp"));
  EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(no_file.write(r, g, b, 3, 2), 0); }), "");
  // The 78 bytes sit in the stream buffer until the final flush fails.
  zorvel_bmp_write full("/dev/full");
  EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(full.write(r, g, b, 3, 2), 0); }),
            "(zorvel_bmp_write::write:432) Error writing buffered pixels in file /dev/full\n");
}

TEST(Bmp, AMissingFileParsesWithoutPlanes) {
  zorvel_bmp_read reader("/nonexistent/capture.bmp");
  EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(reader.parse(), 1); EXPECT_EQ(reader.rotate("right"), 1); }), "");
  uint8_t* plane = nullptr;
  EXPECT_EQ(reader.get_planes(&plane, &plane, &plane), 0);
}

}  // namespace
}  // namespace zorvel::test
