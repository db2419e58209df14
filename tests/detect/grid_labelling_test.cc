// Labelling scans on hand-placed key-point maps. The green plane carries
// straight edges (a generalised checkerboard) so the line searches lock onto
// known rows and columns.
#include "detect/grid_labelling.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace zorvel {
namespace {

constexpr int32_t kAny = -99;  // a depth label the case does not check

struct grid_case {
  const char* name;
  int32_t height, width;
  std::vector<int32_t> edge_rows, edge_cols;
  std::vector<std::array<int32_t, 2>> marks;  // key points (row, column)
  pixel_position origin;
  chart_kind kind;
  int32_t capacity;
  int32_t result;
  std::vector<std::array<int32_t, 5>> entries;  // y, x, Yw, Xw, Zw of entries 0 ...
  std::vector<std::array<int32_t, 3>> map_after;  // row, column, value
};

const grid_case kCases[] = {
    {"a corner exactly 10 rows away is taken, one 9 rows away never", 400, 600, {200}, {300},
     {{190, 301}, {109, 299}, {209, 300}, {240, 296}}, {200, 300}, chart_kind::flat, 1200, 3,
     {{200, 300, 0, 0, kAny}, {190, 301, -1, 0, kAny}, {109, 299, -2, 0, kAny}, {240, 296, 1, 0, kAny}},
     {{209, 300, 1}}},
    {"one find per band: leftmost on vertical scans, topmost on horizontal ones", 400, 600, {200}, {300},
     {{150, 303}, {150, 296}, {196, 250}, {204, 250}, {201, 200}}, {200, 300}, chart_kind::flat, 1200, 3,
     {{200, 300, 0, 0, kAny}, {150, 296, -1, 0, kAny}, {196, 250, 0, -1, kAny}, {201, 200, 0, -2, kAny}},
     {{150, 303, 0}, {204, 250, 0}}},
    {"500 empty columns end a scan", 300, 1200, {150}, {1000},
     {{150, 800}, {150, 180}, {150, 1100}, {151, 1140}}, {150, 1000}, chart_kind::flat, 1200, 3,
     {{150, 1000, 0, 0, kAny}, {150, 800, 0, -1, kAny}, {150, 1100, 0, 1, kAny}, {151, 1140, 0, 2, kAny}},
     {{150, 180, 1}}},
    // The first corner column right of the origin is skipped; the second is
    // the second origin (Xw = Zw = 1). The uncounted last entry keeps its raw
    // label and takes no depth label.
    {"L chart: second origin and depth labels", 400, 700, {200}, {300, 380},
     {{205, 340}, {195, 380}, {120, 381}, {199, 460}, {201, 230}, {202, 520}}, {200, 300}, chart_kind::l_chart, 1200, 5,
     {{200, 300, 0, 0, 0}, {201, 230, 0, -1, 0}, {195, 380, 0, 1, 1}, {120, 381, -1, 1, 1}, {199, 460, 0, 2, 2},
      {202, 520, 0, 2, 0}}, {}},
    {"L chart without a second corner column", 400, 700, {200}, {300}, {{205, 340}, {300, 400}},
     {200, 300}, chart_kind::l_chart, 1200, kNoSecondOrigin, {}, {}},
    {"appending stops when the set is full", 400, 900, {200}, {300},
     {{200, 80}, {200, 120}, {200, 160}, {200, 200}, {200, 240}, {200, 280}, {200, 340}}, {200, 300}, chart_kind::flat, 5, 4,
     {{200, 300, 0, 0, kAny}, {200, 280, 0, -1, kAny}, {200, 240, 0, -2, kAny}, {200, 200, 0, -3, kAny},
      {200, 160, 0, -4, kAny}}, {}},
    // A mono origin 3 columns from the left edge: the up line and the map
    // bands reach beyond the image; nothing outside is read or written.
    {"origin near the edge", 300, 400, {150}, {3}, {{100, 0}, {150, 60}}, {150, 3}, chart_kind::flat, 1200, 2,
     {{150, 3, 0, 0, kAny}, {100, 0, -1, 0, kAny}, {150, 60, 0, 1, kAny}}, {}},
};

TEST(LabelGrid, ScansFromTheOrigin) {
  for (const grid_case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> green(static_cast<size_t>(c.height) * c.width), map(green.size(), 0);
    for (size_t i = 0; i < green.size(); ++i) {
      int32_t crossings = 0;  // edges above and left of the pixel
      for (int32_t e : c.edge_rows) crossings += static_cast<int32_t>(i / c.width) >= e;
      for (int32_t e : c.edge_cols) crossings += static_cast<int32_t>(i % c.width) >= e;
      green[i] = crossings % 2 ? 200 : 20;
    }
    for (const auto& [r, col] : c.marks) map[r * c.width + col] = 1;
    zorvel_key_points set(static_cast<size_t>(c.capacity));
    const gradient_bands bands = compute_gradient_bands(green.data(), c.height, c.width);
    EXPECT_EQ(label_grid(map, bands, c.origin, c.kind, set), c.result);
    for (size_t e = 0; e < c.entries.size(); ++e) {
      const auto& want = c.entries[e];
      const std::array<int32_t, 5> got = {set.y[e], set.x[e], set.Yw[e], set.Xw[e],
                                          want[4] == kAny ? kAny : set.Zw[e]};
      EXPECT_EQ(got, want) << "entry " << e;
    }
    for (const auto& [r, col, value] : c.map_after) EXPECT_EQ(map[r * c.width + col], value) << r << "," << col;
  }
}

}  // namespace
}  // namespace zorvel
