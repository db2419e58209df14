// The sampled decode against the reference path (full decode, quarter turn,
// then the picked pixels): every size, turn, padding, header length, mono
// captures, pipes, and the same refusals with the same messages.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <thread>

#include "bmp_fixture.h"
#include "detect/preprocess.h"

namespace zorvel::test {
namespace {

struct decoded {
  int result = -1;
  std::string printed;
  uint32_t width = 0, height = 0;  // planes
  std::vector<uint8_t> r, g, b;
};

// A reader of bytes through a file, or through a pipe, where nothing can be
// skipped: rows between picks are read through. The pipe's feeder ends when
// the reader closes its end (SIGPIPE ignored).
struct source {
  std::unique_ptr<zorvel_bmp_read> reader;
  std::thread feeder;
  ~source() {
    reader.reset();
    if (feeder.joinable()) feeder.join();
  }
};

void open_bytes(const scratch_dir& dir, const std::string& bytes, bool piped, source& out) {
  const std::string path = dir.file("in.bmp");
  write_file(path, bytes);
  if (!piped) {
    out.reader = std::make_unique<zorvel_bmp_read>(path);
    return;
  }
  std::signal(SIGPIPE, SIG_IGN);
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  out.feeder = std::thread([&bytes, fd = ends[1]] {
    for (size_t at = 0; at < bytes.size();) {
      const ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
      if (n <= 0) break;
      at += static_cast<size_t>(n);
    }
    ::close(fd);
  });
  out.reader = std::make_unique<zorvel_bmp_read>(unique_file(::fdopen(ends[0], "rb")), path);
}

using grid_fn = std::function<zorvel_sample_grid(uint32_t, uint32_t)>;

// The sampled decode, or the reference: full decode, turn, then pixel
// (rows[i], cols[j]) of the turned picture.
decoded decode(const scratch_dir& dir, const std::string& bytes, quarter_turn turn, const grid_fn& grid_of,
               bool piped, bool fast) {
  decoded out;
  source in;
  open_bytes(dir, bytes, piped, in);
  zorvel_bmp_read& reader = *in.reader;
  std::vector<uint8_t> scratch;
  zorvel_sample_grid grid;
  const auto keep_grid = [&](uint32_t w, uint32_t h) { return grid = grid_of(w, h); };
  out.printed = capture_stdout([&] { out.result = fast ? reader.parse_sampled(turn, keep_grid, scratch) : reader.parse(); });
  uint8_t *r = nullptr, *g = nullptr, *b = nullptr;
  if (out.result != 1 || reader.get_planes(&r, &g, &b) != 1) return out;
  uint32_t w = 0, h = 0;
  if (!fast) {
    reader.get_size(&w, &h);
    if (turn != quarter_turn::none) {
      reader.rotate(turn == quarter_turn::left ? "left" : "right");
      std::swap(w, h);
      reader.get_planes(&r, &g, &b);
    }
    keep_grid(w, h);
  }
  out.width = static_cast<uint32_t>(grid.cols.size());
  out.height = static_cast<uint32_t>(grid.rows.size());
  for (size_t i = 0; i < grid.rows.size(); ++i) {
    for (size_t j = 0; j < grid.cols.size(); ++j) {
      const size_t at = fast ? i * out.width + j : static_cast<size_t>(grid.rows[i]) * w + grid.cols[j];
      out.r.push_back(r[at]), out.g.push_back(g[at]), out.b.push_back(b[at]);
    }
  }
  return out;
}

// The sampled decode equals the reference, through a file and, for small
// inputs, through a pipe.
void expect_same_as_reference(const scratch_dir& dir, const std::string& bytes, quarter_turn turn,
                              const grid_fn& grid_of, const std::string& what, bool piped_too = true) {
  for (const bool piped : {false, true}) {
    if (piped && !piped_too) break;
    const decoded got = decode(dir, bytes, turn, grid_of, piped, true);
    const decoded want = decode(dir, bytes, turn, grid_of, piped, false);
    EXPECT_EQ(got.result, want.result) << what << piped;
    EXPECT_EQ(got.printed, want.printed) << what << piped;
    EXPECT_EQ(got.width * 100000 + got.height, want.width * 100000 + want.height) << what << piped;
    EXPECT_TRUE(got.r == want.r && got.g == want.g && got.b == want.b) << what << piped;
  }
}

// The fixture with blue and red replaced by green: a mono sensor's capture.
std::string mono(std::string bytes, uint32_t width, uint32_t height, uint32_t extra = 0) {
  const uint32_t stride = (3 * width + 3) / 4 * 4;
  for (uint32_t i = 0; i < height; ++i) {
    for (uint32_t x = 0; x < width; ++x) {
      const size_t at = 54 + extra + static_cast<size_t>(i) * stride + 3 * x;
      bytes[at] = bytes[at + 2] = bytes[at + 1];
    }
  }
  return bytes;
}

constexpr quarter_turn kTurns[] = {quarter_turn::none, quarter_turn::left, quarter_turn::right};

TEST(BmpSampled, EqualsDecodeTurnAndNearestResampling) {
  scratch_dir dir;
  const struct {
    uint32_t width, height, extra;
    bool mono;
  } images[] = {{1, 1, 0, false},    {3, 2, 0, false},    {5, 3, 84, false}, {19, 7, 0, true},
                {1283, 9, 0, false}, {9, 1283, 0, true},  {2, 1301, 84, false},
                {1301, 2, 0, false}, {2563, 17, 0, false}, {17, 2563, 0, true}};
  for (const auto& im : images) {
    std::string bytes = fixture_bmp(im.width, im.height, im.extra);
    if (im.mono) bytes = mono(bytes, im.width, im.height, im.extra);
    for (const quarter_turn turn : kTurns) {
      for (const bool rotated : {false, true}) {
        const auto grid_of = [rotated](uint32_t w, uint32_t h) {
          return working_sample_grid(static_cast<int32_t>(w), static_cast<int32_t>(h), rotated);
        };
        expect_same_as_reference(dir, bytes, turn, grid_of,
                                 std::to_string(im.width) + "x" + std::to_string(im.height) + " turn " +
                                     std::to_string(static_cast<int>(turn)) + " rotated " + std::to_string(rotated),
                                 im.width * im.height < 40000);
      }
    }
  }
  // Any grid: picks out of order, repeated, reversed.
  const std::string bytes = fixture_bmp(23, 41);
  for (const quarter_turn turn : kTurns) {
    const auto grid_of = [](uint32_t w, uint32_t h) {
      zorvel_sample_grid grid;
      for (uint32_t k = 0; k < 2 * h; ++k) grid.rows.push_back(static_cast<int32_t>((k * 7 + 3) % h));
      for (uint32_t k = 0; k < w + 20; ++k) grid.cols.push_back(static_cast<int32_t>(w - 1 - (k * 5) % w));
      return grid;
    };
    expect_same_as_reference(dir, bytes, turn, grid_of, "any grid", false);
  }
  // An index outside the turned picture: refused quietly, no planes.
  const decoded outside = decode(dir, bytes, quarter_turn::left, [](uint32_t w, uint32_t h) {
    return zorvel_sample_grid{{0, static_cast<int32_t>(h)}, {static_cast<int32_t>(w) - 1}};
  }, false, true);
  EXPECT_EQ(outside.result, 0);
  EXPECT_EQ(outside.printed, "");
  EXPECT_TRUE(outside.r.empty());
}

// Refused files print what the full decode prints, through a file or a pipe.
TEST(BmpSampled, RefusesWhatTheFullDecodeRefusesWithItsMessage) {
  scratch_dir dir;
  const std::string good = fixture_bmp(3, 2);
  const std::string large = fixture_bmp(1001, 800);
  std::string top_down = good, compressed = good;
  put_le(top_down, 22, 0xFFFFFFFE);
  put_le(compressed, 30, 1);
  const std::string cases[] = {good.substr(0, 13),         "\x89PNG\r\n\x1a\n" + good,
                               good.substr(0, 53),         compressed,
                               top_down,                   good.substr(0, 54),
                               good.substr(0, 54 + 12 + 5), good.substr(0, 54 + 10),
                               good.substr(0, 77),         large.substr(0, 54 + 700 * 3004 + 3 * 417 + 2)};
  const auto grid_of = [](uint32_t w, uint32_t h) {
    return working_sample_grid(static_cast<int32_t>(w), static_cast<int32_t>(h), false);
  };
  for (size_t k = 0; k < std::size(cases); ++k) {
    ASSERT_EQ(decode(dir, cases[k], quarter_turn::none, grid_of, false, false).result, 0) << k;
    for (const quarter_turn turn : kTurns) expect_same_as_reference(dir, cases[k], turn, grid_of, std::to_string(k));
  }
  // A file that does not open parses and hands out no planes, as parse does.
  zorvel_bmp_read missing(dir.file("missing.bmp"));
  std::vector<uint8_t> scratch;
  EXPECT_EQ(missing.parse_sampled(quarter_turn::none, grid_of, scratch), 1);
  uint8_t* plane = nullptr;
  EXPECT_EQ(missing.get_planes(&plane, &plane, &plane), 0);
}

}  // namespace
}  // namespace zorvel::test
